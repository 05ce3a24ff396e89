#include "analysis/thumbnails/thumbnailprovider.h"

#include "analysis/thumbnails/thumbnailsource.h"
#include "library/localfileaccess.h"
#include "platform/thumbnails/thumbnailstore.h"
#include "readers/contentreaders.h"

#include <QFile>
#include <QMimeDatabase>

namespace ThumbnailProvider {
namespace {

ThumbnailStore::Details detailsOf(const Request &request)
{
    ThumbnailStore::Details details;
    details.fileSize = request.size;
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QFile::decodeName(request.path), QMimeDatabase::MatchExtension);
    if (!type.isDefault())
        details.mimeType = type.name().toLatin1();
    return details;
}

} // namespace

Result provide(const Request &request, std::stop_token stop)
{
    Result result;
    if (stop.stop_requested()) {
        result.cancelled = true;
        return result;
    }
    if (!LocalFileAccess::canReadContents(request.path))
        return result;

    QImage cached = ThumbnailStore::find(request.path, request.modified, request.edge);
    if (!cached.isNull()) {
        result.source = Source::sharedCache;
        result.image = std::move(cached);
        return result;
    }
    if (ThumbnailSource::of(request.path, request.kind) == ThumbnailSource::Kind::none)
        return result;
    if (ThumbnailStore::hasFailure(request.path, request.modified, request.version)) {
        result.failed = true;
        return result;
    }

    // What is written back has the standard size of its folder, so programs that read that
    // folder get the resolution they expect; sizes beyond it are made for this caller alone.
    const ThumbnailStore::Size folder
        = request.edge <= int(ThumbnailStore::Size::large) ? ThumbnailStore::Size::large : ThumbnailStore::Size::xLarge;
    const int edge = std::max(request.edge, int(folder));
    ContentReaders::Thumbnail made = ContentReaders::thumbnail(request.path, request.kind, edge, stop, request.need);
    switch (made.outcome) {
    case ContentReaders::Thumbnail::Outcome::made:
        ThumbnailStore::write(request.path, request.modified, made.image, folder, detailsOf(request));
        result.source = Source::generated;
        result.image = std::move(made.image);
        break;
    case ContentReaders::Thumbnail::Outcome::failed:
        ThumbnailStore::writeFailure(request.path, request.modified, request.version);
        result.failed = true;
        break;
    case ContentReaders::Thumbnail::Outcome::cancelled:
        result.cancelled = true;
        break;
    case ContentReaders::Thumbnail::Outcome::unsupported:
        break;
    }
    return result;
}

} // namespace ThumbnailProvider
