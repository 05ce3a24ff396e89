#include "analysis/thumbnails/thumbnailgenerator.h"

#include "analysis/thumbnails/imagethumbnailer.h"
#include "analysis/thumbnails/pdfthumbnailer.h"
#include "analysis/thumbnails/thumbnailsource.h"
#include "analysis/thumbnails/videothumbnailer.h"
#include "library/localfileaccess.h"

namespace ThumbnailGenerator {
namespace {

using Source = ThumbnailSource::Kind;

Source sourceOf(const QByteArray &path, FileKind kind)
{
    return ThumbnailSource::of(path, kind);
}

} // namespace

bool handles(const QByteArray &path, FileKind kind)
{
    return sourceOf(path, kind) != Source::none;
}

Result make(const QByteArray &path, FileKind kind, int maxEdge, std::stop_token stop)
{
    const Source source = sourceOf(path, kind);
    if (source == Source::none || maxEdge <= 0)
        return {};
    if (stop.stop_requested())
        return {Outcome::cancelled, {}};
    if (!LocalFileAccess::canReadContents(path))
        return {};

    QImage image;
    switch (source) {
    case Source::image:
        image = ImageThumbnailer::make(path, maxEdge);
        break;
    case Source::pdf:
        image = PdfThumbnailer::make(path, maxEdge);
        break;
    case Source::video:
        image = VideoThumbnailer::make(path, maxEdge, stop);
        break;
    case Source::none:
        break;
    }
    if (stop.stop_requested())
        return {Outcome::cancelled, {}};
    if (image.isNull())
        return {Outcome::failed, {}};
    // Every source promises to fit; a decoder that ignored the scaled size is caught here.
    if (image.width() > maxEdge || image.height() > maxEdge)
        image = image.scaled(maxEdge, maxEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return {Outcome::made, image};
}

} // namespace ThumbnailGenerator
