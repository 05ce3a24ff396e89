#include "generator/compression.h"

#include <stdexcept>
#include <zlib.h>

namespace {

QByteArray deflateWith(const QByteArray &data, int windowBits)
{
    z_stream stream {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib cannot start");
    QByteArray out(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(data.size())) + 32), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    const auto written = static_cast<qsizetype>(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("zlib cannot compress");
    out.truncate(written);
    return out;
}

} // namespace

namespace Compression {

quint32 crc32(const QByteArray &data)
{
    return static_cast<quint32>(::crc32(
        ::crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(data.constData()), static_cast<uInt>(data.size())));
}

QByteArray deflateRaw(const QByteArray &data)
{
    return deflateWith(data, -15);
}

QByteArray gzip(const QByteArray &data)
{
    return deflateWith(data, 15 + 16);
}

} // namespace Compression
