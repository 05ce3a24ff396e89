#include "generator/zipwriter.h"

#include "generator/compression.h"

#include <QDateTime>
#include <QTimeZone>
#include <QtEndian>

namespace {

constexpr quint16 kUtf8Names = 0x0800;
constexpr quint16 kVersion = 20; // 2.0: deflate
constexpr quint16 kMadeByUnix = 0x0314; // Unix, 2.0

void put16(QByteArray &out, quint16 value)
{
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 2);
}

void put32(QByteArray &out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 4);
}

} // namespace

void ZipWriter::add(const QByteArray &name, const QByteArray &data, Timestamp modified, Method method, unsigned mode)
{
    Entry entry;
    entry.name = name;
    entry.crc = Compression::crc32(data);
    entry.size = static_cast<quint32>(data.size());
    entry.offset = static_cast<quint32>(m_data.size());
    entry.method = method == Method::deflated ? 8 : 0;
    entry.mode = mode;
    // MS-DOS times count from 1980 in two-second steps.
    const QDateTime t
        = QDateTime::fromSecsSinceEpoch(std::max<qint64>(modified.unixSeconds(), 315'532'800), QTimeZone::utc());
    entry.date = static_cast<quint16>(((t.date().year() - 1980) << 9) | (t.date().month() << 5) | t.date().day());
    entry.time = static_cast<quint16>((t.time().hour() << 11) | (t.time().minute() << 5) | (t.time().second() / 2));

    const QByteArray payload = method == Method::deflated ? Compression::deflateRaw(data) : data;
    entry.compressedSize = static_cast<quint32>(payload.size());

    put32(m_data, 0x04034b50);
    put16(m_data, kVersion);
    put16(m_data, kUtf8Names);
    put16(m_data, entry.method);
    put16(m_data, entry.time);
    put16(m_data, entry.date);
    put32(m_data, entry.crc);
    put32(m_data, entry.compressedSize);
    put32(m_data, entry.size);
    put16(m_data, static_cast<quint16>(name.size()));
    put16(m_data, 0);
    m_data.append(name);
    m_data.append(payload);
    m_entries.append(entry);
}

QByteArray ZipWriter::finish()
{
    const auto directoryOffset = static_cast<quint32>(m_data.size());
    for (const Entry &entry : std::as_const(m_entries)) {
        put32(m_data, 0x02014b50);
        put16(m_data, kMadeByUnix);
        put16(m_data, kVersion);
        put16(m_data, kUtf8Names);
        put16(m_data, entry.method);
        put16(m_data, entry.time);
        put16(m_data, entry.date);
        put32(m_data, entry.crc);
        put32(m_data, entry.compressedSize);
        put32(m_data, entry.size);
        put16(m_data, static_cast<quint16>(entry.name.size()));
        put16(m_data, 0); // extra field
        put16(m_data, 0); // comment
        put16(m_data, 0); // disk
        put16(m_data, 0); // internal attributes
        put32(m_data, (0100000u | entry.mode) << 16);
        put32(m_data, entry.offset);
        m_data.append(entry.name);
    }
    const auto directorySize = static_cast<quint32>(m_data.size()) - directoryOffset;
    put32(m_data, 0x06054b50);
    put16(m_data, 0);
    put16(m_data, 0);
    put16(m_data, static_cast<quint16>(m_entries.size()));
    put16(m_data, static_cast<quint16>(m_entries.size()));
    put32(m_data, directorySize);
    put32(m_data, directoryOffset);
    put16(m_data, 0);
    m_entries.clear();
    return std::exchange(m_data, {});
}
