#include "samplefiles.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

namespace {

template <typename T> void append(QByteArray &out, T value, bool bigEndian = false)
{
    char bytes[sizeof(T)];
    bigEndian ? qToBigEndian(value, bytes) : qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

QByteArray encode(int width, int height, const char *format, const QColor &colour = Qt::darkCyan)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
        qFatal("cannot encode a %s sample", format);
    return bytes;
}

} // namespace

namespace SampleFiles {

QByteArray wav(int milliseconds)
{
    constexpr quint32 sampleRate = 8000;
    const quint32 dataSize = quint32(sampleRate * milliseconds / 1000 * 2);
    QByteArray out("RIFF");
    append<quint32>(out, 36 + dataSize);
    out.append("WAVEfmt ");
    append<quint32>(out, 16);
    append<quint16>(out, 1); // PCM
    append<quint16>(out, 1); // mono
    append<quint32>(out, sampleRate);
    append<quint32>(out, sampleRate * 2);
    append<quint16>(out, 2);
    append<quint16>(out, 16);
    out.append("data");
    append<quint32>(out, dataSize);
    return out + QByteArray(qsizetype(dataSize), '\0');
}

QByteArray jpeg(int width, int height, const QByteArray &model, quint16 orientation)
{
    QByteArray bytes = encode(width, height, "JPEG");
    if (model.isEmpty())
        return bytes;
    // A little-endian TIFF structure whose IFD0 holds Model (ASCII, stored after the IFD) and
    // Orientation (SHORT), inserted as an APP1 segment right after the start-of-image marker.
    QByteArray tiff("II*\0\x08\0\0\0\x02\0", 10);
    append<quint16>(tiff, 0x0110);
    append<quint16>(tiff, 2);
    append<quint32>(tiff, quint32(model.size() + 1));
    append<quint32>(tiff, 8 + 2 + 2 * 12 + 4);
    append<quint16>(tiff, 0x0112);
    append<quint16>(tiff, 3);
    append<quint32>(tiff, 1);
    append<quint32>(tiff, orientation);
    append<quint32>(tiff, 0);
    tiff += model + '\0';
    QByteArray segment("\xff\xe1");
    append<quint16>(segment, quint16(2 + 6 + tiff.size()), true);
    bytes.insert(2, segment + QByteArray("Exif\0\0", 6) + tiff);
    return bytes;
}

QByteArray png(int width, int height, const QColor &colour)
{
    return encode(width, height, "PNG", colour);
}

QByteArray openVfsData(quint8 state, quint32 size)
{
    QByteArray out = QByteArray::fromHex("82a5737461746500a473697a65ce");
    out[7] = char(state);
    append<quint32>(out, size, true);
    return out;
}

} // namespace SampleFiles
