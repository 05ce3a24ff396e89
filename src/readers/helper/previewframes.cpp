#include "readers/helper/previewframes.h"

#include "analysis/thumbnails/imagethumbnailer.h"
#include "platform/regularfile.h"

#include <QFile>
#include <QImageReader>

namespace PreviewFrames {
namespace {

QImage fitted(const QImage &frame, int edge)
{
    if (frame.width() <= edge && frame.height() <= edge)
        return frame;
    return frame.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Browsers show frames asking for less than this at a tenth of a second; so does the preview.
int shownDelay(int delayMs)
{
    return delayMs < 20 ? 100 : delayMs;
}

} // namespace

std::optional<Chunk> read(const QByteArray &path, int edge, int first, qint64 budgetBytes, std::stop_token stop)
{
    if (edge <= 0 || first < 0)
        return std::nullopt;
    {
        const RegularFile file(path);
        QFile device;
        if (!file.isOpen() || !device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            return std::nullopt;
        QImageReader reader(&device);
        const QByteArray format = reader.format();
        const QSize size = reader.size();
        const bool animated = reader.supportsAnimation() && reader.imageCount() != 1
            && (format == "gif" || format == "webp") && size.isValid()
            && qint64(size.width()) * size.height() <= kMaxAnimationPixels;
        if (animated) {
            Chunk chunk;
            qint64 bytes = 0;
            for (int index = 0; index < kMaxFrames && !stop.stop_requested(); ++index) {
                const QImage frame = reader.read();
                if (frame.isNull())
                    break;
                if (index < first)
                    continue;
                if (!chunk.frames.isEmpty() && bytes >= budgetBytes) {
                    chunk.more = true;
                    break;
                }
                AnimationFrame shown { fitted(frame, edge), shownDelay(reader.nextImageDelay()) };
                bytes += shown.image.sizeInBytes();
                chunk.frames.append(std::move(shown));
            }
            if (chunk.frames.isEmpty())
                return std::nullopt;
            return chunk;
        }
    }
    if (first > 0)
        return std::nullopt;
    const QImage still = ImageThumbnailer::make(path, edge);
    if (still.isNull())
        return std::nullopt;
    return Chunk { { AnimationFrame { still, 0 } }, false };
}

} // namespace PreviewFrames
