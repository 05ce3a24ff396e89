#pragma once

#include <QByteArray>

// zlib's checksum and compressors, in the forms archive formats embed them.
namespace Compression {

quint32 crc32(const QByteArray &data);
// A raw deflate stream (no header), as zip entries hold it.
QByteArray deflateRaw(const QByteArray &data);
// A gzip member with no name and a zero time stamp, so equal input gives equal bytes.
QByteArray gzip(const QByteArray &data);

} // namespace Compression
