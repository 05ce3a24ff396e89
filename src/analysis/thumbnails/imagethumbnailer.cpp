#include "analysis/thumbnails/imagethumbnailer.h"

#include "platform/regularfile.h"

#include <QFile>
#include <QImageReader>

#include <mutex>

namespace ImageThumbnailer {

QImage make(const QByteArray &path, int maxEdge)
{
    static std::once_flag limitSet;
    std::call_once(limitSet, [] { QImageReader::setAllocationLimit(kAllocationLimitMB); });

    const RegularFile file(path);
    if (!file.isOpen())
        return {};
    QFile device;
    if (!device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    QImageReader reader(&device);
    reader.setAutoTransform(true);

    const QSize stored = reader.size();
    if (!stored.isValid())
        return {};
    if (qint64(stored.width()) * stored.height() > kMaxPixels)
        return {};
    // The scaled size is in stored (unrotated) coordinates; keeping the aspect ratio makes it
    // right after the rotation too.
    if (stored.width() > maxEdge || stored.height() > maxEdge)
        reader.setScaledSize(stored.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));

    QImage image = reader.read();
    if (image.isNull())
        return {};
    return image;
}

} // namespace ImageThumbnailer
