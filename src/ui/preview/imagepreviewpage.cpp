#include "ui/preview/imagepreviewpage.h"

#include "readers/contentreaders.h"

#include <QFutureWatcher>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace {

// A picture is asked for again only when the view grew this much past what was asked.
constexpr double kRegrowth = 1.25;
constexpr int kMinimumEdge = 256;

} // namespace

ImagePreviewPage::ImagePreviewPage(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Image"));
    m_frameTimer.setSingleShot(true);
    connect(&m_frameTimer, &QTimer::timeout, this, &ImagePreviewPage::advance);
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(150);
    connect(&m_resizeTimer, &QTimer::timeout, this, [this] {
        // A still picture that was scaled down to the view is asked for again at the new size.
        const QImage shown = image();
        if (m_path.isEmpty() || isAnimated() || shown.isNull() || m_asking)
            return;
        const bool scaledDown = std::max(shown.width(), shown.height()) >= m_edge;
        if (scaledDown && neededEdge() > m_edge * kRegrowth)
            request(0);
    });
}

ImagePreviewPage::~ImagePreviewPage()
{
    clear();
}

void ImagePreviewPage::clear()
{
    ++m_generation;
    m_path.clear();
    m_frames.clear();
    m_firstIndex = 0;
    m_current = 0;
    m_more = false;
    m_asking = false;
    m_loaded = false;
    m_frameTimer.stop();
    m_resizeTimer.stop();
    update();
}

void ImagePreviewPage::setPath(const QByteArray &path)
{
    clear();
    m_path = path;
    request(0);
}

QImage ImagePreviewPage::image() const
{
    return m_current < m_frames.size() ? m_frames[m_current].image : QImage();
}

int ImagePreviewPage::neededEdge() const
{
    const int side = int(std::ceil(std::max(width(), height()) * devicePixelRatioF()));
    return std::clamp(side, kMinimumEdge, kMaxEdge);
}

void ImagePreviewPage::request(int first)
{
    m_asking = true;
    const quint64 generation = m_generation;
    const QByteArray path = m_path;
    const int edge = first == 0 || m_edge == 0 ? neededEdge() : m_edge;
    auto *watcher = new QFutureWatcher<ContentReaders::PreviewFrames>(this);
    connect(watcher, &QFutureWatcher<ContentReaders::PreviewFrames>::finished, this,
        [this, watcher, generation, first, edge] {
            watcher->deleteLater();
            if (generation != m_generation)
                return;
            m_asking = false;
            const ContentReaders::PreviewFrames answer = watcher->result();
            if (first == 0)
                m_edge = edge;
            received(first, answer.frames, answer.more);
        });
    watcher->setFuture(
        QtConcurrent::run([path, edge, first] { return ContentReaders::previewFrames(path, edge, first); }));
}

void ImagePreviewPage::received(int first, const QList<AnimationFrame> &frames, bool more)
{
    if (first == 0 && (m_frames.isEmpty() || !isAnimated())) {
        // The first answer, or a still picture asked for again at another size (which keeps
        // the picture it has when the new one cannot be read).
        if (frames.isEmpty() && m_loaded)
            return;
        m_frames = frames;
        m_firstIndex = 0;
        m_current = 0;
        m_more = more;
        update();
        if (isAnimated())
            m_frameTimer.start(m_frames[0].delayMs);
        if (!std::exchange(m_loaded, true))
            Q_EMIT loaded();
        return;
    }
    if (frames.isEmpty()) {
        // The rest could not be read: the animation stops where it is.
        m_more = false;
        return;
    }
    if (first == 0) {
        // The animation came round after its start was dropped.
        m_frames = frames;
        m_firstIndex = 0;
        m_current = 0;
        update();
        m_frameTimer.start(m_frames[0].delayMs);
    } else {
        m_frames += frames;
    }
    m_more = more;
    // Frames already played go once the kept ones grow past their budget.
    qint64 bytes = 0;
    for (const AnimationFrame &frame : std::as_const(m_frames))
        bytes += frame.image.sizeInBytes();
    while (bytes > kKeptFrameBytes && m_current > 0) {
        bytes -= m_frames.first().image.sizeInBytes();
        m_frames.removeFirst();
        ++m_firstIndex;
        --m_current;
    }
    if (!m_frameTimer.isActive())
        advance();
}

void ImagePreviewPage::advance()
{
    const bool atEnd = m_current + 1 >= m_frames.size();
    // The next part is asked for while the last frames of this one play.
    if (m_more && !m_asking && m_frames.size() - m_current <= 4)
        request(m_firstIndex + int(m_frames.size()));
    if (atEnd && m_more)
        return; // waits for the next part, which starts the timer again
    if (atEnd && m_firstIndex > 0) {
        if (!m_asking)
            request(0);
        return;
    }
    m_current = atEnd ? 0 : m_current + 1;
    update();
    m_frameTimer.start(m_frames[m_current].delayMs);
}

void ImagePreviewPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_path.isEmpty())
        m_resizeTimer.start();
}

void ImagePreviewPage::paintEvent(QPaintEvent *)
{
    const QImage frame = image();
    if (frame.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Device pixels of the image shown one to one at most.
    const QSizeF natural = QSizeF(frame.size()) / devicePixelRatioF();
    QSizeF shown = natural;
    if (natural.width() > width() || natural.height() > height())
        shown = natural.scaled(QSizeF(size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.drawImage(target, frame);
}
