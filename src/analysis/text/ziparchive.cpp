#include "analysis/text/ziparchive.h"

#include <algorithm>
#include <zlib.h>

namespace {

quint16 le16(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return static_cast<quint16>(b[0] | (b[1] << 8));
}

quint32 le32(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (quint32(b[3]) << 24);
}

constexpr qsizetype kEndRecordSize = 22;
constexpr qsizetype kCentralHeaderSize = 46;
constexpr qsizetype kLocalHeaderSize = 30;

std::optional<QByteArray> inflateRaw(QByteArrayView input, qint64 maxBytes)
{
    z_stream stream {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return std::nullopt;
    QByteArray output;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.data()));
    stream.avail_in = static_cast<uInt>(input.size());
    int status = Z_OK;
    while (status == Z_OK) {
        if (output.size() >= maxBytes) {
            status = Z_MEM_ERROR;
            break;
        }
        const qsizetype chunk
            = std::min<qint64>(std::max<qsizetype>(output.size(), 64 * 1024), maxBytes - output.size());
        const qsizetype used = output.size();
        output.resize(used + chunk);
        stream.next_out = reinterpret_cast<Bytef *>(output.data() + used);
        stream.avail_out = static_cast<uInt>(chunk);
        status = inflate(&stream, Z_NO_FLUSH);
        output.resize(used + chunk - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            break;
        if (status == Z_BUF_ERROR)
            status = Z_OK;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return output;
}

} // namespace

bool ZipArchive::open(QByteArrayView data)
{
    m_data = data;
    m_entries.clear();
    m_order.clear();
    if (data.size() < kEndRecordSize)
        return false;
    // The end record sits in the last 22 bytes plus at most a 65,535-byte comment.
    const qsizetype lowest = std::max<qsizetype>(0, data.size() - kEndRecordSize - 0xFFFF);
    qsizetype end = -1;
    for (qsizetype at = data.size() - kEndRecordSize; at >= lowest; --at) {
        if (le32(data.data() + at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return false;
    const char *record = data.data() + end;
    const quint16 count = le16(record + 10);
    const quint32 directorySize = le32(record + 12);
    const quint32 directoryOffset = le32(record + 16);
    if (qint64(directoryOffset) + directorySize > end)
        return false;

    qsizetype at = directoryOffset;
    const qsizetype directoryEnd = qsizetype(directoryOffset) + directorySize;
    for (int i = 0; i < count; ++i) {
        if (at + kCentralHeaderSize > directoryEnd || le32(data.data() + at) != 0x02014b50)
            return false;
        const char *header = data.data() + at;
        Entry entry;
        entry.flags = le16(header + 8);
        entry.method = le16(header + 10);
        entry.compressedSize = le32(header + 20);
        entry.size = le32(header + 24);
        const quint16 nameLength = le16(header + 28);
        const quint16 extraLength = le16(header + 30);
        const quint16 commentLength = le16(header + 32);
        entry.localHeader = le32(header + 42);
        const qsizetype next = at + kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (next > directoryEnd)
            return false;
        const QString name = QString::fromUtf8(header + kCentralHeaderSize, nameLength);
        if (!m_entries.contains(name))
            m_order.append(name);
        m_entries.insert(name, entry);
        at = next;
    }
    return true;
}

std::optional<QByteArray> ZipArchive::read(const QString &name, qint64 maxBytes) const
{
    const auto it = m_entries.constFind(name);
    if (it == m_entries.cend() || (it->flags & 1) != 0)
        return std::nullopt;
    const qsizetype local = it->localHeader;
    if (local + kLocalHeaderSize > m_data.size() || le32(m_data.data() + local) != 0x04034b50)
        return std::nullopt;
    const qsizetype start
        = local + kLocalHeaderSize + le16(m_data.data() + local + 26) + le16(m_data.data() + local + 28);
    if (start + qint64(it->compressedSize) > m_data.size())
        return std::nullopt;
    const QByteArrayView compressed = m_data.sliced(start, it->compressedSize);
    if (it->method == 0) {
        if (compressed.size() > maxBytes)
            return std::nullopt;
        return compressed.toByteArray();
    }
    if (it->method == 8)
        return inflateRaw(compressed, maxBytes);
    return std::nullopt;
}
