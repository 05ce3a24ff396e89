#pragma once

#include "library/media/mediafacts.h"

#include <QByteArray>

// Camera model and pixel size of an image, from its Exif data and format header (Exiv2).
// The size is the one the user sees, with the Exif orientation applied. A corrupt or
// unsupported file gives empty facts. Thread-safe.
namespace ImageMetadataReader {
MediaFacts read(const QByteArray &path);
}
