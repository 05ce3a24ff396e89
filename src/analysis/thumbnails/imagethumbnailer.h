#pragma once

#include <QByteArray>
#include <QImage>

// Decodes an image file into a thumbnail. Formats that can decode at a reduced scale (JPEG) do
// so, which is what makes photographs fast; the Exif orientation is applied. Images whose header
// claims more than kMaxPixels are refused before any pixel is decoded, and the decoder may
// allocate at most kAllocationLimitMB, so truncated files and decompression bombs give a null
// image instead of exhausting memory. Thread-safe.
namespace ImageThumbnailer {

constexpr qint64 kMaxPixels = 200'000'000;
constexpr int kAllocationLimitMB = 256;

// A null image when the file cannot be opened or decoded.
QImage make(const QByteArray &path, int maxEdge);

} // namespace ImageThumbnailer
