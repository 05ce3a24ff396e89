#include "analysis/similar/thumbnailloader.h"

#include "platform/regularfile.h"
#include "platform/thumbnails/imagehalving.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>

namespace {

// Qt's JPEG reader takes a quality below 50 as leave to use libjpeg's fast integer transform
// and plain (not smoothed) chroma upsampling.
constexpr int kFastDecodeQuality = 49;

QSize fitted(QSize size, int longestSide)
{
    if (size.width() <= longestSide && size.height() <= longestSide)
        return size;
    return size.scaled(longestSide, longestSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// The smallest of the JPEG decoder's reductions of `stored` (1/8, 1/4, 1/2) whose shorter side
// keeps `detailSide` pixels; `stored` when none does. Only halvings: libjpeg-turbo has fast
// transforms for them, and Qt's reader, which derives the reduction from the requested size,
// cannot round a power of two up to the next reduction. Rounded down, so the reader picks exactly
// that reduction and at most one pixel is left to scale away.
QSize jpegReduction(QSize stored, int detailSide)
{
    const qint64 shorter = std::min(stored.width(), stored.height());
    for (const int eighths : {1, 2, 4}) {
        if (shorter * eighths / 8 >= detailSide)
            return QSize(int(qint64(stored.width()) * eighths / 8), int(qint64(stored.height()) * eighths / 8));
    }
    return stored;
}

enum class Reduction { fit, detail };

std::optional<QImage> decode(const QByteArray &path, int longestSide, Reduction reduction, int detailSide)
{
    // QFile cannot name a path that is not valid UTF-8; opening the bytes ourselves can.
    const RegularFile regular(path);
    QFile file;
    if (!regular.isOpen() || !file.open(regular.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return std::nullopt;

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(ThumbnailLoader::kAllocationLimitMegabytes);

    const QSize stored = reader.size();
    if (stored.isValid()) {
        if (qint64(stored.width()) * stored.height() > ThumbnailLoader::kMaximumPixels)
            return std::nullopt;
        // The scaled size is given in stored (unrotated) coordinates; keeping the aspect ratio
        // makes it valid in both.
        QSize target = fitted(stored, longestSide);
        if (reduction == Reduction::detail && reader.format() == "jpeg") {
            // Too narrow to reduce: fitting it is as cheap as it gets.
            if (const QSize reduced = jpegReduction(stored, detailSide); reduced != stored)
                target = reduced;
            reader.setQuality(kFastDecodeQuality);
        } else if (reduction == Reduction::detail && reader.format() == "png") {
            // PNG has no reduced decode: Qt's reader decodes it whole and scales smoothly from
            // the full size. Halving it below costs a fraction of that.
            target = stored;
        }
        if (target != stored)
            reader.setScaledSize(target);
    }

    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (reduction == Reduction::detail)
        image = ImageHalving::halvedWhileCovering(std::move(image), QSize(detailSide, detailSide));
    // Handlers without scaled decoding, or without a size before decoding, give the full image.
    if (image.width() > longestSide || image.height() > longestSide)
        image = image.scaled(fitted(image.size(), longestSide), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

std::optional<QImage> ThumbnailLoader::load(const QByteArray &path, int longestSide)
{
    return decode(path, longestSide, Reduction::fit, 0);
}

std::optional<QImage> ThumbnailLoader::loadReduced(const QByteArray &path, int longestSide, int detailSide)
{
    return decode(path, longestSide, Reduction::detail, std::max(detailSide, 1));
}
