#pragma once

#include <QByteArray>
#include <QImage>

// Pictures for tests: a smooth, colourful scene made of soft blobs over a sky-like gradient,
// different for each seed, and their encodings.
namespace SyntheticPhoto {

QImage make(quint32 seed, int width = 640, int height = 480);
QImage flat(QRgb colour, int width = 320, int height = 240);
// Multiplies every channel, clamped.
QImage scaledBrightness(const QImage &image, double factor);
// Encoded image bytes; `format` is "jpg", "png" and so on.
QByteArray encode(const QImage &image, const char *format, int quality = 90);

} // namespace SyntheticPhoto
