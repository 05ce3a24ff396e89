#include "testzip.h"

#include <zlib.h>

namespace {

void put16(QByteArray &out, quint32 v)
{
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

QByteArray deflateRaw(const QByteArray &data)
{
    z_stream stream {};
    deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
    return out;
}

} // namespace

QByteArray TestZip::build(const QList<std::pair<QString, QByteArray>> &members, bool deflate)
{
    QByteArray out;
    QByteArray directory;
    for (const auto &[name, data] : members) {
        const QByteArray utf8 = name.toUtf8();
        const QByteArray stored = deflate ? deflateRaw(data) : data;
        const auto crc = static_cast<quint32>(
            crc32(0, reinterpret_cast<const Bytef *>(data.constData()), static_cast<uInt>(data.size())));
        const auto offset = static_cast<quint32>(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0);
        put16(out, deflate ? 8 : 0);
        put32(out, 0);
        put32(out, crc);
        put32(out, static_cast<quint32>(stored.size()));
        put32(out, static_cast<quint32>(data.size()));
        put16(out, static_cast<quint32>(utf8.size()));
        put16(out, 0);
        out.append(utf8).append(stored);

        put32(directory, 0x02014b50);
        put16(directory, 20);
        put16(directory, 20);
        put16(directory, 0);
        put16(directory, deflate ? 8 : 0);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, static_cast<quint32>(stored.size()));
        put32(directory, static_cast<quint32>(data.size()));
        put16(directory, static_cast<quint32>(utf8.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory.append(utf8);
    }
    const auto directoryOffset = static_cast<quint32>(out.size());
    out.append(directory);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<quint32>(members.size()));
    put16(out, static_cast<quint32>(members.size()));
    put32(out, static_cast<quint32>(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}
