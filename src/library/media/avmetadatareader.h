#pragma once

#include "library/media/mediafacts.h"

#include <QByteArray>

// Playing time of audio and video files, and the pixel size and recording device of videos,
// from the container's headers (FFmpeg's libavformat). Reading is bounded in bytes and time: a
// corrupt or hostile file gives empty facts. Thread-safe.
namespace AvMetadataReader {
MediaFacts read(const QByteArray &path);
}
