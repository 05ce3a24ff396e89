#include "ui/preview/imagepreviewpage.h"

#include "platform/regularfile.h"
#include "readers/contentreaders.h"

#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QMovie>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

#include <fcntl.h>
#include <unistd.h>

ImagePreviewPage::ImagePreviewPage(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Image"));
}

ImagePreviewPage::~ImagePreviewPage()
{
    clear();
}

void ImagePreviewPage::clear()
{
    ++m_generation;
    if (m_movie != nullptr) {
        m_movie->stop();
        delete m_movie;
        m_movie = nullptr;
    }
    m_movieFile.reset();
    m_image = QImage();
    update();
}

void ImagePreviewPage::setPath(const QByteArray &path)
{
    clear();
    if (startMovie(path))
        return;
    const quint64 generation = m_generation;
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return;
        m_image = watcher->result();
        update();
        Q_EMIT loaded();
    });
    watcher->setFuture(QtConcurrent::run([path] { return ContentReaders::previewImage(path, kMaxEdge); }));
}

bool ImagePreviewPage::startMovie(const QByteArray &path)
{
    // QMovie reads from a device, opened here by the path's exact bytes.
    RegularFile regular(path);
    if (!regular.isOpen())
        return false;
    auto file = std::make_unique<QFile>();
    const int fd = ::dup(regular.fd());
    if (fd < 0 || !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    {
        QImageReader probe(file.get());
        const QByteArray format = probe.format();
        if (!probe.supportsAnimation() || probe.imageCount() == 1 || (format != "gif" && format != "webp"))
            return false;
        const QSize size = probe.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > kMaxMoviePixels)
            return false;
    }
    file->seek(0);
    m_movieFile = std::move(file);
    m_movie = new QMovie(m_movieFile.get(), QByteArray(), this);
    connect(m_movie, &QMovie::frameChanged, this, [this] { update(); });
    m_movie->start();
    return true;
}

void ImagePreviewPage::paintEvent(QPaintEvent *)
{
    const QImage frame = m_movie != nullptr ? m_movie->currentImage() : m_image;
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
