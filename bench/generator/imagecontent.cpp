#include "generator/imagecontent.h"

#include "generator/exifwriter.h"
#include "generator/gifencoder.h"
#include "generator/prose.h"
#include "generator/seededrandom.h"

#include <QBuffer>
#include <QDateTime>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>

#include <stdexcept>

namespace {

// Qt maps PNG quality to zlib effort: 80 writes files about a fifth larger than the default
// in a third of the time, which is what makes tens of thousands of screenshots quick.
constexpr int kFastPng = 80;

QFont font(int pixels, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(pixels, 6));
    f.setBold(bold);
    return f;
}

QByteArray encode(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        throw std::runtime_error("cannot encode " + std::string(format) + ": " + writer.errorString().toStdString());
    return bytes;
}

// Every channel raised by a fixed amount, as a quick edit in a photo editor does.
QImage brightened(QImage image)
{
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRgb(std::min(255, qRed(c) + 40), std::min(255, qGreen(c) + 40), std::min(255, qBlue(c) + 40));
        }
    }
    return image;
}

QByteArray withCameraFacts(const QByteArray &jpeg, const PlannedFile &file)
{
    return ExifWriter::withExif(
        jpeg, { file.make, file.camera, file.orientation, file.modified, file.width, file.height });
}

} // namespace

namespace ImageContent {

QImage landscape(quint64 seed, int width, int height)
{
    SeededRandom r(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor::fromHsv(r.between(180, 240), r.between(60, 200), r.between(150, 255)));
    sky.setColorAt(1, QColor::fromHsv(r.between(0, 60), r.between(30, 160), r.between(180, 255)));
    p.fillRect(image.rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromHsv(r.between(30, 60), r.between(40, 200), 255));
    const double sun = height * r.between(0.04, 0.1);
    p.drawEllipse(QPointF(width * r.unit(), height * r.between(0.1, 0.4)), sun, sun);

    // Hills from far to near, each lower and darker than the one behind it.
    const int layers = r.between(2, 4);
    const int hue = r.between(70, 150);
    for (int layer = 0; layer < layers; ++layer) {
        const double base = height * (0.45 + 0.5 * layer / layers);
        QPainterPath ridge(QPointF(0, height));
        const int points = r.between(5, 10);
        for (int i = 0; i <= points; ++i)
            ridge.lineTo(width * i / double(points), base - height * r.between(0.0, 0.18));
        ridge.lineTo(width, height);
        ridge.closeSubpath();
        p.setBrush(QColor::fromHsv((hue + layer * 12) % 360, r.between(60, 160), 200 - layer * 40));
        p.drawPath(ridge);
    }

    // Trees and houses in front.
    const int things = r.between(2, 8);
    for (int i = 0; i < things; ++i) {
        const double x = width * r.unit();
        const double ground = height * r.between(0.8, 0.97);
        const double size = height * r.between(0.05, 0.15);
        if (r.chance(0.6)) {
            p.setBrush(QColor::fromHsv(r.between(20, 35), 120, 90));
            p.drawRect(QRectF(x - size * 0.06, ground - size * 0.4, size * 0.12, size * 0.4));
            p.setBrush(QColor::fromHsv(r.between(90, 140), r.between(120, 220), r.between(60, 140)));
            p.drawPolygon(QPolygonF({ QPointF(x - size * 0.35, ground - size * 0.3), QPointF(x, ground - size * 1.2),
                QPointF(x + size * 0.35, ground - size * 0.3) }));
        } else {
            p.setBrush(QColor::fromHsv(r.between(0, 359), r.between(20, 120), r.between(150, 240)));
            p.drawRect(QRectF(x, ground - size * 0.6, size, size * 0.6));
            p.setBrush(QColor::fromHsv(r.between(0, 20), r.between(120, 200), r.between(90, 160)));
            p.drawPolygon(QPolygonF({ QPointF(x - size * 0.1, ground - size * 0.6),
                QPointF(x + size * 0.5, ground - size), QPointF(x + size * 1.1, ground - size * 0.6) }));
        }
    }
    return image;
}

QImage desktop(quint64 seed, int width, int height)
{
    SeededRandom r(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient wallpaper(0, 0, width, height);
    wallpaper.setColorAt(0, QColor::fromHsv(r.between(0, 359), 120, 160));
    wallpaper.setColorAt(1, QColor::fromHsv(r.between(0, 359), 160, 90));
    p.fillRect(image.rect(), wallpaper);

    const int bar = std::max(24, height / 36);
    p.fillRect(0, 0, width, bar, QColor(24, 24, 24));
    p.setPen(QColor(235, 235, 235));
    p.setFont(font(bar * 6 / 10));
    p.drawText(QRect(0, 0, width, bar), Qt::AlignCenter,
        QStringLiteral("%1:%2")
            .arg(r.between(0, 23), 2, 10, QLatin1Char('0'))
            .arg(r.between(0, 59), 2, 10, QLatin1Char('0')));

    const int windows = r.between(1, 3);
    for (int i = 0; i < windows; ++i) {
        const int w = width * r.between(35, 70) / 100;
        const int h = height * r.between(35, 70) / 100;
        const QRect frame(r.between(0, width - w), r.between(bar, height - h), w, h);
        p.fillRect(frame.adjusted(4, 4, 4, 4), QColor(0, 0, 0, 60));
        p.fillRect(frame, QColor(250, 250, 250));
        const QRect title(frame.left(), frame.top(), frame.width(), bar * 3 / 2);
        p.fillRect(title, QColor(228, 228, 228));
        p.setPen(QColor(40, 40, 40));
        p.setFont(font(bar * 6 / 10, true));
        p.drawText(title, Qt::AlignCenter, Prose::title(r));
        p.setFont(font(bar * 55 / 100));
        const int lineHeight = bar;
        int y = title.bottom() + lineHeight;
        while (y + lineHeight < frame.bottom()) {
            p.drawText(QRect(frame.left() + bar / 2, y, frame.width() - bar, lineHeight),
                Qt::AlignLeft | Qt::AlignVCenter, Prose::sentence(r));
            y += lineHeight * 3 / 2;
        }
    }
    return image;
}

QImage diagram(quint64 seed, int width, int height)
{
    SeededRandom r(seed);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(252, 252, 248));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(30, 30, 30));
    p.setFont(font(height / 20, true));
    p.drawText(QRect(0, height / 30, width, height / 10), Qt::AlignCenter, Prose::title(r));

    const int boxes = r.between(3, 6);
    QList<QRectF> placed;
    p.setFont(font(height / 32));
    for (int i = 0; i < boxes; ++i) {
        const QRectF box(
            width * (0.05 + 0.9 * i / boxes), height * r.between(0.25, 0.7), width * 0.8 / boxes, height * 0.14);
        p.setBrush(QColor::fromHsv(r.between(0, 359), 70, 240));
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.drawRoundedRect(box, 8, 8);
        p.drawText(box, Qt::AlignCenter, Prose::topic(r));
        if (!placed.isEmpty())
            p.drawLine(placed.last().center() + QPointF(placed.last().width() / 2, 0),
                box.center() - QPointF(box.width() / 2, 0));
        placed.append(box);
    }
    return image;
}

QByteArray make(const PlannedFile &file, const PlannedFile *origin)
{
    switch (file.content) {
    case Content::photo:
        return withCameraFacts(encode(landscape(file.seed, file.width, file.height), "jpeg", 88), file);
    case Content::photoResized:
        return encode(landscape(origin->seed, origin->width, origin->height)
                          .scaled(file.width, file.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
            "jpeg", 85);
    case Content::photoRecompressed:
        return encode(landscape(origin->seed, origin->width, origin->height), "jpeg", 30);
    case Content::photoBrightened:
        return withCameraFacts(
            encode(brightened(landscape(origin->seed, origin->width, origin->height)), "jpeg", 90), file);
    case Content::screenshot:
        return encode(desktop(file.seed, file.width, file.height), "png", kFastPng);
    case Content::drawing:
        return encode(diagram(file.seed, file.width, file.height), "png", kFastPng);
    case Content::gif:
        return GifEncoder::encode(diagram(file.seed, file.width, file.height));
    case Content::webp:
        return encode(landscape(file.seed, file.width, file.height), "webp", 80);
    default:
        throw std::logic_error("not an image");
    }
}

QByteArray icon(quint64 seed)
{
    return encode(diagram(seed, 128, 128), "png", kFastPng);
}

} // namespace ImageContent
