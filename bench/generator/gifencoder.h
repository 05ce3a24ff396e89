#pragma once

#include <QByteArray>
#include <QImage>

// Writes a single-frame GIF, which Qt can read but not write. Colours are reduced to a fixed
// 5×5×5 cube. The LZW stream holds literal codes only and clears the table before it would
// need codes wider than a byte: larger than a compressing encoder's output, but every decoder
// reads it and the encoder stays trivial.
namespace GifEncoder {
QByteArray encode(const QImage &image);
// The palette index a colour is reduced to.
int paletteIndex(QRgb colour);
QRgb paletteColour(int index);
} // namespace GifEncoder
