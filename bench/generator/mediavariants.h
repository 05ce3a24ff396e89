#pragma once

#include "generator/plannedfile.h"

#include <QList>
#include <QString>

// The few recordings each audio and video format is made from. A library's media files are
// copies of these, each made unique by its own tags or padding, so their playing time and
// picture size are known exactly.
struct MediaVariant
{
    double duration = 0; // seconds
    int width = 0; // video only
    int height = 0;
    QString make; // recording device, for phone videos
    QString camera;
};

namespace MediaVariants {

// Formats made from recordings: mp3, ogg, m4a, flac, mp4, mkv, webm and mov.
bool isTemplated(Content format);
QList<MediaVariant> of(Content format);

} // namespace MediaVariants
