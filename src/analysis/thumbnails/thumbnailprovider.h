#pragma once

#include "library/filekind.h"
#include "platform/timestamp.h"
#include "readers/contentreaders.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <stop_token>

// One file's thumbnail from wherever it can come from, in this order: the desktop's shared
// thumbnail cache (what any program wrote for the file in its present state), a failure already
// recorded there by this version, then the generator, whose image is written back to the shared
// cache (or the failure recorded) so other programs and later runs find it.
//
// Stateless and safe on worker threads; no widgets.
namespace ThumbnailProvider {

struct Request
{
    QByteArray path;
    Timestamp modified;
    // Recorded in the thumbnails written (Thumb::Size); negative: unknown.
    qint64 size = -1;
    FileKind kind = FileKind::other;
    // The longest side, in pixels, the caller will show.
    int edge = 256;
    // Failures are recorded per program version, so an improved version tries again.
    QString version;
    // Thumbnails made ahead of the view wait for idle helpers.
    ContentReaders::Need need = ContentReaders::Need::shown;
};

enum class Source { sharedCache, generated, none };

struct Result
{
    Source source = Source::none;
    // Set when `source` is not `none`: at least `edge` pixels on its longer side unless the
    // original or the cached image is smaller.
    QImage image;
    // True when nothing could be made of the file in this state (and asking again will not help
    // until it changes); false for an unsupported type, unreadable contents or a cancellation.
    bool failed = false;
    bool cancelled = false;
};

Result provide(const Request &request, std::stop_token stop = {});

} // namespace ThumbnailProvider
