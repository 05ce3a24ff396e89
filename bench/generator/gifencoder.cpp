#include "generator/gifencoder.h"

namespace {

constexpr int kLevels = 5;
constexpr int kMinimumCodeSize = 7; // 128 palette entries: codes start 8 bits wide
constexpr int kClear = 1 << kMinimumCodeSize;
constexpr int kEnd = kClear + 1;
// After a clear code a decoder adds one table entry per code read; the width would grow to
// 9 bits once the table reaches 256 entries, 126 codes later. Clearing sooner keeps every code
// exactly one byte.
constexpr int kCodesPerClear = 100;

void appendWord(QByteArray &out, int value)
{
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>((value >> 8) & 0xff));
}

int level(int channel)
{
    return channel * kLevels / 256;
}

} // namespace

namespace GifEncoder {

int paletteIndex(QRgb colour)
{
    return level(qRed(colour)) * kLevels * kLevels + level(qGreen(colour)) * kLevels + level(qBlue(colour));
}

QRgb paletteColour(int index)
{
    if (index >= kLevels * kLevels * kLevels)
        return qRgb(0, 0, 0);
    const auto scale = [](int l) { return l * 255 / (kLevels - 1); };
    return qRgb(scale(index / (kLevels * kLevels)), scale(index / kLevels % kLevels), scale(index % kLevels));
}

QByteArray encode(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QByteArray out("GIF89a");
    appendWord(out, image.width());
    appendWord(out, image.height());
    out.append(static_cast<char>(0xf6)); // global colour table of 128 entries, 8 bits per primary
    out.append('\0'); // background colour index
    out.append('\0'); // no aspect ratio
    for (int i = 0; i < kClear; ++i) {
        const QRgb c = paletteColour(i);
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    out.append(',');
    appendWord(out, 0);
    appendWord(out, 0);
    appendWord(out, image.width());
    appendWord(out, image.height());
    out.append('\0');
    out.append(static_cast<char>(kMinimumCodeSize));

    QByteArray codes;
    codes.reserve(qsizetype(image.width()) * image.height() * 101 / 100 + 2);
    int sinceClear = kCodesPerClear;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (sinceClear == kCodesPerClear) {
                codes.append(static_cast<char>(kClear));
                sinceClear = 0;
            }
            codes.append(static_cast<char>(paletteIndex(line[x])));
            ++sinceClear;
        }
    }
    codes.append(static_cast<char>(kEnd));

    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const qsizetype length = std::min<qsizetype>(255, codes.size() - at);
        out.append(static_cast<char>(length));
        out.append(codes.constData() + at, length);
    }
    out.append('\0');
    out.append(';');
    return out;
}

} // namespace GifEncoder
