#pragma once

#include "library/filekind.h"

#include <QByteArray>
#include <QImage>

#include <stop_token>

// Makes a thumbnail from a file's contents: images (scaled while decoding where the format
// allows, Exif orientation applied), the first page of a PDF, a frame of a video.
//
// Stateless and safe on worker threads; no widgets. The file is opened by its exact path bytes,
// only when LocalFileAccess says its contents are on this computer, never through a symbolic
// link and never blocking on something that is not a regular file. `stop` is observed before
// the file is opened and between the steps of decoding.
namespace ThumbnailGenerator {

enum class Outcome {
    made,        // `image` holds the thumbnail
    failed,      // a kind the generator handles, but this file could not be decoded
    unsupported, // nothing here makes thumbnails of this kind of file, or its contents are not local
    cancelled,   // `stop` was requested
};

struct Result
{
    Outcome outcome = Outcome::unsupported;
    QImage image;
};

// The thumbnail of the file at `path` of `kind`, fitting in `maxEdge` x `maxEdge` pixels with
// its aspect ratio kept (smaller images keep their size).
Result make(const QByteArray &path, FileKind kind, int maxEdge, std::stop_token stop = {});

// Whether `make` may make a thumbnail of such a file (decided from the kind and the extension).
bool handles(const QByteArray &path, FileKind kind);

} // namespace ThumbnailGenerator
