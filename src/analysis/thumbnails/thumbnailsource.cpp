#include "analysis/thumbnails/thumbnailsource.h"

namespace ThumbnailSource {

Kind of(const QByteArray &path, FileKind kind)
{
    if (kind == FileKind::images)
        return Kind::image;
    if (kind == FileKind::videos)
        return Kind::video;
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    if (dot > slash + 1 && path.mid(dot + 1).toLower() == "pdf")
        return Kind::pdf;
    return Kind::none;
}

} // namespace ThumbnailSource
