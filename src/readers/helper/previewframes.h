#pragma once

#include "readers/readerrequest.h"

#include <QByteArray>

#include <optional>
#include <stop_token>

// The picture the preview shows, decoded here and sent as pixels: a still picture as one frame,
// an animated GIF or WebP as its frames with their delays, from a given frame on, each fitted
// in `edge` x `edge` and as many as fit in a byte budget (at least one). The orientation of a
// still picture is applied.
namespace PreviewFrames {

struct Chunk
{
    QList<AnimationFrame> frames;
    // More frames follow the last one sent.
    bool more = false;
};

// Frames whose source is larger than this are not animated: the first frame is shown still.
inline constexpr qint64 kMaxAnimationPixels = 16'000'000;
// Frames of one animation; the rest are never shown.
inline constexpr int kMaxFrames = 5'000;

// Absent when the file is no picture that can be decoded (or `first` is past its frames).
std::optional<Chunk> read(const QByteArray &path, int edge, int first, qint64 budgetBytes, std::stop_token stop);

} // namespace PreviewFrames
