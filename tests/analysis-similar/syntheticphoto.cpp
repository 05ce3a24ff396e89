#include "syntheticphoto.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace SyntheticPhoto {

QImage make(quint32 seed, int width, int height)
{
    QRandomGenerator random(seed);
    struct Blob
    {
        double x, y, radius, r, g, b;
    };
    std::vector<Blob> blobs(12);
    for (Blob &blob : blobs) {
        blob = {random.bounded(1.0), random.bounded(1.0), 0.05 + random.bounded(0.25),
                random.bounded(1.0) - 0.5, random.bounded(1.0) - 0.5, random.bounded(1.0) - 0.5};
    }
    const double top[3] = {random.bounded(1.0), random.bounded(1.0), random.bounded(1.0)};
    const double bottom[3] = {random.bounded(1.0), random.bounded(1.0), random.bounded(1.0)};

    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double fy = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            double c[3] = {top[0] + (bottom[0] - top[0]) * fy, top[1] + (bottom[1] - top[1]) * fy,
                           top[2] + (bottom[2] - top[2]) * fy};
            for (const Blob &blob : blobs) {
                const double d2 = ((fx - blob.x) * (fx - blob.x) + (fy - blob.y) * (fy - blob.y)) / (blob.radius * blob.radius);
                const double weight = std::exp(-d2);
                c[0] += blob.r * weight;
                c[1] += blob.g * weight;
                c[2] += blob.b * weight;
            }
            const auto channel = [](double v) { return std::clamp(int(v * 255 + 0.5), 0, 255); };
            line[x] = qRgb(channel(c[0]), channel(c[1]), channel(c[2]));
        }
    }
    return image;
}

QImage flat(QRgb colour, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage scaledBrightness(const QImage &source, double factor)
{
    QImage image = source.convertToFormat(QImage::Format_RGB32);
    const auto scale = [factor](int c) { return std::clamp(int(c * factor + 0.5), 0, 255); };
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(scale(qRed(line[x])), scale(qGreen(line[x])), scale(qBlue(line[x])));
    }
    return image;
}

QByteArray encode(const QImage &image, const char *format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

} // namespace SyntheticPhoto
