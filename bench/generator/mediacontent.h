#pragma once

#include "generator/mediatemplates.h"
#include "generator/plannedfile.h"

#include <QByteArray>

// Audio and video files. WAV voice recordings are synthesised; the other formats are copies of
// a recording made unique the way real files differ: MP3 and FLAC tracks carry their own title,
// artist and album tags, Ogg streams their own serial number, and MP4, MOV, M4A, MKV and WebM
// files a trailing padding element with their own bytes. Playing time and picture size stay
// those of the recording. Thread-safe.
namespace MediaContent {
// Throws std::runtime_error when the recording is missing or not in the expected format.
QByteArray make(const PlannedFile &file, const MediaTemplates &templates);
} // namespace MediaContent
