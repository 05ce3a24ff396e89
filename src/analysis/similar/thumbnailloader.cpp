#include "analysis/similar/thumbnailloader.h"

#include <QFile>
#include <QImageReader>

#include <fcntl.h>
#include <unistd.h>

namespace {

QSize fitted(QSize size, int longestSide)
{
    if (size.width() <= longestSide && size.height() <= longestSide)
        return size;
    return size.scaled(longestSide, longestSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

} // namespace

std::optional<QImage> ThumbnailLoader::load(const QByteArray &path, int longestSide)
{
    // QFile cannot name a path that is not valid UTF-8; opening the bytes ourselves can.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMegabytes);

    const QSize stored = reader.size();
    if (stored.isValid()) {
        if (qint64(stored.width()) * stored.height() > kMaximumPixels)
            return std::nullopt;
        // The scaled size is given in stored (unrotated) coordinates; keeping the aspect ratio
        // makes it valid in both.
        const QSize target = fitted(stored, longestSide);
        if (target != stored)
            reader.setScaledSize(target);
    }

    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    // Handlers without scaled decoding, or without a size before decoding, give the full image.
    if (image.width() > longestSide || image.height() > longestSide)
        image = image.scaled(fitted(image.size(), longestSide), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}
