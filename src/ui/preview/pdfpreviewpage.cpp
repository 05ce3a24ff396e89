#include "ui/preview/pdfpreviewpage.h"

#include "readers/contentreaders.h"

#include <QFutureWatcher>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace {

constexpr double kTallestPage = 100; // height over width

} // namespace

// The scrolled widget: as tall as all pages, painting the ones the exposed area touches.
class PdfPagesCanvas : public QWidget
{
public:
    explicit PdfPagesCanvas(PdfPreviewPage *owner) : QWidget(owner), m_owner(owner) { }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        for (int index = 0; index < m_owner->pageCount(); ++index) {
            const QRect rect = m_owner->pageRect(index);
            if (!rect.intersects(event->rect()))
                continue;
            const QImage image = m_owner->rendered(index);
            if (image.isNull())
                painter.fillRect(rect, Qt::white);
            else
                painter.drawImage(rect, image);
        }
    }

private:
    PdfPreviewPage *m_owner = nullptr;
};

PdfPreviewPage::PdfPreviewPage(QWidget *parent) : QScrollArea(parent)
{
    setAccessibleName(QStringLiteral("PDF pages"));
    setWidget(new PdfPagesCanvas(this));
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

PdfPreviewPage::~PdfPreviewPage() = default;

void PdfPreviewPage::clear()
{
    ++m_generation;
    m_path.clear();
    m_pageSizes.clear();
    m_pageRects.clear();
    m_rendered.clear();
    m_wanted.clear();
    m_rendering.clear();
    m_width = 0;
    widget()->resize(0, 0);
    verticalScrollBar()->setValue(0);
}

void PdfPreviewPage::setPath(const QByteArray &path)
{
    clear();
    const quint64 generation = m_generation;
    auto *watcher = new QFutureWatcher<std::optional<QList<QSizeF>>>(this);
    connect(watcher, &QFutureWatcher<std::optional<QList<QSizeF>>>::finished, this, [this, watcher, generation, path] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        const std::optional<QList<QSizeF>> sizes = watcher->result();
        if (!sizes || sizes->isEmpty()) {
            Q_EMIT loaded(false);
            return;
        }
        m_pageSizes = *sizes;
        m_path = path;
        layout(viewport()->width());
        Q_EMIT loaded(true);
    });
    watcher->setFuture(QtConcurrent::run([path] { return ContentReaders::pdfPageSizes(path); }));
}

void PdfPreviewPage::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (!m_path.isEmpty() && viewport()->width() != m_width)
        layout(viewport()->width());
}

QList<QRect> PdfPreviewPage::layoutPages(const QList<QSizeF> &sizes, int width, int *height)
{
    QList<QRect> rects;
    const int pageWidth = std::max(1, width - 2 * kPageGap);
    qint64 y = kPageGap;
    for (const QSizeF &size : sizes) {
        double ratio = size.height() / size.width();
        if (!std::isfinite(ratio) || ratio <= 0)
            ratio = 1;
        const qint64 pageHeight = std::clamp<qint64>(
            std::llround(pageWidth * std::min(ratio, kTallestPage)), 1, qint64(pageWidth * kTallestPage));
        if (y + pageHeight + kPageGap > QWIDGETSIZE_MAX)
            break;
        rects.append(QRect(kPageGap, int(y), pageWidth, int(pageHeight)));
        y += pageHeight + kPageGap;
    }
    *height = int(y);
    return rects;
}

void PdfPreviewPage::layout(int width)
{
    if (width != m_width) {
        // Pixels for the old width are of no use; answers still on their way are dropped.
        ++m_generation;
        m_rendered.clear();
        m_rendering.clear();
        m_wanted.clear();
    }
    m_width = width;
    int height = 0;
    m_pageRects = layoutPages(m_pageSizes, width, &height);
    m_pageSizes.resize(m_pageRects.size());
    widget()->resize(width, height);
    widget()->update();
}

QRect PdfPreviewPage::pageRect(int index) const
{
    return index >= 0 && index < m_pageRects.size() ? m_pageRects[index] : QRect();
}

QImage PdfPreviewPage::rendered(int index)
{
    if (m_path.isEmpty())
        return {};
    if (const auto found = m_rendered.constFind(index); found != m_rendered.constEnd())
        return *found;
    if (!m_rendering.contains(index) && !m_wanted.contains(index)) {
        m_wanted.append(index);
        // Asked for once painting is over, so a paint event never waits.
        QMetaObject::invokeMethod(this, &PdfPreviewPage::renderNext, Qt::QueuedConnection);
    }
    return {};
}

void PdfPreviewPage::renderNext()
{
    while (!m_wanted.isEmpty() && m_rendering.size() < kRenderingAtOnce) {
        const int index = m_wanted.takeFirst();
        const QRect rect = pageRect(index);
        // Scrolled out of sight while it waited: painting asks again if it comes back.
        if (!rect.intersects(QRect(0, -widget()->y(), m_width, viewport()->height())))
            continue;
        m_rendering.insert(index);
        const quint64 generation = m_generation;
        const qreal ratio = devicePixelRatioF();
        const QByteArray path = m_path;
        const int width = int(rect.width() * ratio);
        auto *watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, generation, index, ratio] {
            watcher->deleteLater();
            if (generation != m_generation)
                return;
            m_rendering.remove(index);
            QImage image = watcher->result();
            image.setDevicePixelRatio(ratio);
            keepNearest(index);
            m_rendered.insert(index, image);
            widget()->update(pageRect(index));
            renderNext();
        });
        watcher->setFuture(
            QtConcurrent::run([path, index, width] { return ContentReaders::pdfPage(path, index, width); }));
    }
}

// Keeps the pages nearest `index`; the rest are rendered again if they come back.
void PdfPreviewPage::keepNearest(int index)
{
    while (m_rendered.size() >= kKeptPages) {
        int farthest = m_rendered.constBegin().key();
        for (auto it = m_rendered.constBegin(); it != m_rendered.constEnd(); ++it) {
            if (std::abs(it.key() - index) > std::abs(farthest - index))
                farthest = it.key();
        }
        m_rendered.remove(farthest);
    }
}
