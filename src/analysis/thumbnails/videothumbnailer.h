#pragma once

#include <QByteArray>
#include <QImage>

#include <stop_token>

// Decodes one frame of a video as a thumbnail through FFmpeg: about a tenth into the video
// (one second in when the length is unknown), rotated as the container's display matrix asks.
// Only self-contained container formats are read (AvInput): a playlist posing as a video never
// brings in another file's picture.
// Demuxing and decoding are held to a time limit and stop when `stop` is requested.
// Thread-safe; decodes on the calling thread only.
namespace VideoThumbnailer {

// A null image when no frame could be decoded.
QImage make(const QByteArray &path, int maxEdge, std::stop_token stop = {});

} // namespace VideoThumbnailer
