#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>

#include "platform/timestamp.h"

// The desktop's shared thumbnail cache ($XDG_CACHE_HOME/thumbnails), as the freedesktop
// thumbnail specification lays it out: one PNG per file, named after the MD5 of the file's URI,
// in a folder per size, carrying the file's URI and modification time (Thumb::URI, Thumb::MTime).
// Nautilus, Dolphin and Tessary read and write the same files.
//
// Stateless functions of values; safe on any thread.
namespace ThumbnailStore {

enum class Size { normal = 128, large = 256, xLarge = 512, xxLarge = 1024 };

// The folder of the cache ($XDG_CACHE_HOME/thumbnails).
QString cacheFolder();
// The lossless file URI of `path` as the thumbnail files record it.
QByteArray uriOf(QByteArrayView path);

// The cached thumbnail of the file at `path`, from the smallest size folder whose images are at
// least `minimumEdge` pixels (falling back to the largest smaller one), used only when its
// Thumb::URI equals the file's URI and its Thumb::MTime equals `modified` in whole seconds. A null
// image otherwise (missing, stale, unreadable, or larger than the size allows).
QImage find(QByteArrayView path, const Timestamp &modified, int minimumEdge);

// Writes `image` (scaled down to fit `size` when larger) as the file's thumbnail, with the
// Thumb:: keys, atomically, folder 0700 and file 0600. False when it could not be written.
bool write(QByteArrayView path, const Timestamp &modified, const QImage &image, Size size);

// Records under fail/tessary-<version>/ that the file at `path` in this state could not be made
// into a thumbnail, and asks whether that was recorded.
bool writeFailure(QByteArrayView path, const Timestamp &modified, const QString &version);
bool hasFailure(QByteArrayView path, const Timestamp &modified, const QString &version);

} // namespace ThumbnailStore
