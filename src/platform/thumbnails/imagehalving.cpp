#include "platform/thumbnails/imagehalving.h"

namespace {

bool halfCovers(QSize image, QSize size)
{
    return image.width() / 2 >= size.width() && image.height() / 2 >= size.height();
}

QImage halved(const QImage &image)
{
    QImage half(image.width() / 2, image.height() / 2, image.format());
    for (int y = 0; y < half.height(); ++y) {
        const auto *upper = reinterpret_cast<const quint32 *>(image.constScanLine(2 * y));
        const auto *lower = reinterpret_cast<const quint32 *>(image.constScanLine(2 * y + 1));
        auto *out = reinterpret_cast<quint32 *>(half.scanLine(y));
        for (int x = 0; x < half.width(); ++x) {
            const quint32 a = upper[2 * x], b = upper[2 * x + 1], c = lower[2 * x], d = lower[2 * x + 1];
            // Two channels at a time, each in a 16-bit lane wide enough for four bytes and the
            // rounding; what a lane's shift pushes into the one below is masked away.
            const quint32 evens
                = ((a & 0x00ff00ff) + (b & 0x00ff00ff) + (c & 0x00ff00ff) + (d & 0x00ff00ff) + 0x00020002) >> 2;
            const quint32 odds = (((a >> 8) & 0x00ff00ff) + ((b >> 8) & 0x00ff00ff) + ((c >> 8) & 0x00ff00ff)
                                     + ((d >> 8) & 0x00ff00ff) + 0x00020002)
                >> 2;
            out[x] = (evens & 0x00ff00ff) | ((odds & 0x00ff00ff) << 8);
        }
    }
    return half;
}

} // namespace

namespace ImageHalving {

QImage halvedWhileCovering(QImage image, QSize size)
{
    if (image.isNull() || size.isEmpty() || !halfCovers(image.size(), size))
        return image;
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    while (halfCovers(image.size(), size))
        image = halved(image);
    return image;
}

} // namespace ImageHalving
