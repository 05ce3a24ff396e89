#include "analysis/similar/thumbnailloader.h"

#include "platform/regularfile.h"

#include <QFile>
#include <QImageReader>

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
    const RegularFile regular(path);
    QFile file;
    if (!regular.isOpen() || !file.open(regular.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return std::nullopt;

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
