#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>

#include "platform/timestamp.h"

// The desktop's shared thumbnail cache ($XDG_CACHE_HOME/thumbnails), as the freedesktop
// thumbnail specification lays it out: one PNG per file, named after the MD5 of the file's URI,
// in a folder per size, carrying the file's URI and modification time (Thumb::URI, Thumb::MTime)
// and, where known, its size and type (Thumb::Size, Thumb::Mimetype). Nautilus, Dolphin and
// Tessary read and write the same files. The keys are written as plain tEXt chunks, the only
// kind GLib's check reads; a thumbnail an earlier Tessary wrote with compressed keys is written
// again with plain ones when it is next found.
//
// Stateless functions of values; safe on any thread.
namespace ThumbnailStore {

enum class Size { normal = 128, large = 256, xLarge = 512, xxLarge = 1024 };

// What a thumbnail records about its file beyond its URI and modification time, where known.
struct Details
{
    // Thumb::Size, in bytes; negative: unknown.
    qint64 fileSize = -1;
    // Thumb::Mimetype; empty: unknown.
    QByteArray mimeType;
};

// The folder of the cache ($XDG_CACHE_HOME/thumbnails).
QString cacheFolder();
// The lossless file URI of `path` as the thumbnail files record it.
QByteArray uriOf(QByteArrayView path);

// The cached thumbnail of the file at `path`, from the smallest size folder whose images are at
// least `minimumEdge` pixels (falling back to the largest smaller one), used only when its
// Thumb::URI equals the file's URI and its Thumb::MTime equals `modified` in whole seconds. A null
// image otherwise (missing, stale, unreadable, or larger than the size allows). A thumbnail found
// that Tessary wrote with compressed keys is rewritten with plain ones.
QImage find(QByteArrayView path, const Timestamp &modified, int minimumEdge);

// Writes `image` (scaled down to fit `size` when larger) as the file's thumbnail, with the
// Thumb:: keys, atomically, folder 0700 and file 0600. False when it could not be written.
bool write(QByteArrayView path, const Timestamp &modified, const QImage &image, Size size, const Details &details = {});

// Records under fail/tessary-<version>/ that the file at `path` in this state could not be made
// into a thumbnail, and asks whether that was recorded.
bool writeFailure(QByteArrayView path, const Timestamp &modified, const QString &version);
bool hasFailure(QByteArrayView path, const Timestamp &modified, const QString &version);

} // namespace ThumbnailStore
