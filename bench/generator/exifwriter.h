#pragma once

#include "platform/timestamp.h"

#include <QByteArray>
#include <QString>

// Adds an Exif block to a JPEG held in memory, the way a camera records it: maker, model,
// orientation, the time of capture and the stored pixel size. Thread-safe.
namespace ExifWriter {

struct Fields
{
    QString make;
    QString model;
    int orientation = 1;
    Timestamp taken;
    int width = 0;
    int height = 0;
};

// Throws std::runtime_error when the JPEG cannot be parsed.
QByteArray withExif(const QByteArray &jpeg, const Fields &fields);

} // namespace ExifWriter
