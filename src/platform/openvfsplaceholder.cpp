#include "platform/openvfsplaceholder.h"

#include <QByteArrayView>

namespace {

// A bounds-checked reader of the few MessagePack forms the attribute uses.
class Reader
{
public:
    explicit Reader(const QByteArray &data) : m_data(data) { }

    bool atEnd() const { return m_pos >= m_data.size(); }

    std::optional<quint64> bigEndian(int bytes)
    {
        if (m_pos + bytes > m_data.size())
            return std::nullopt;
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | static_cast<quint8>(m_data[m_pos + i]);
        m_pos += bytes;
        return value;
    }

    std::optional<quint8> byte()
    {
        const auto b = bigEndian(1);
        return b ? std::optional<quint8>(static_cast<quint8>(*b)) : std::nullopt;
    }

    std::optional<QByteArrayView> bytes(quint64 count)
    {
        if (count > static_cast<quint64>(m_data.size() - m_pos))
            return std::nullopt;
        const QByteArrayView view(m_data.constData() + m_pos, static_cast<qsizetype>(count));
        m_pos += static_cast<qsizetype>(count);
        return view;
    }

private:
    const QByteArray &m_data;
    qsizetype m_pos = 0;
};

std::optional<QByteArrayView> readString(Reader &reader, quint8 head)
{
    std::optional<quint64> length;
    if ((head & 0xe0) == 0xa0)
        length = head & 0x1f;
    else if (head == 0xd9 || head == 0xc4)
        length = reader.bigEndian(1);
    else if (head == 0xda || head == 0xc5)
        length = reader.bigEndian(2);
    else if (head == 0xdb || head == 0xc6)
        length = reader.bigEndian(4);
    if (!length)
        return std::nullopt;
    return reader.bytes(*length);
}

// An unsigned integer value, or nothing for any other scalar (which is skipped). Nested maps
// and arrays are not expected and fail the parse.
bool readScalar(Reader &reader, std::optional<quint64> &unsignedValue)
{
    const auto head = reader.byte();
    if (!head)
        return false;
    const quint8 h = *head;
    if (h <= 0x7f) {
        unsignedValue = h;
        return true;
    }
    if (h >= 0xcc && h <= 0xcf) {
        unsignedValue = reader.bigEndian(1 << (h - 0xcc));
        return unsignedValue.has_value();
    }
    if (h >= 0xe0 || h == 0xc0 || h == 0xc2 || h == 0xc3)
        return true;
    if (h >= 0xd0 && h <= 0xd3)
        return reader.bigEndian(1 << (h - 0xd0)).has_value();
    if (h == 0xca)
        return reader.bigEndian(4).has_value();
    if (h == 0xcb)
        return reader.bigEndian(8).has_value();
    return readString(reader, h).has_value();
}

} // namespace

std::optional<OpenVfsPlaceholder> OpenVfsPlaceholder::parse(const QByteArray &data)
{
    Reader reader(data);
    const auto head = reader.byte();
    if (!head)
        return std::nullopt;
    std::optional<quint64> count;
    if ((*head & 0xf0) == 0x80)
        count = *head & 0x0f;
    else if (*head == 0xde)
        count = reader.bigEndian(2);
    else if (*head == 0xdf)
        count = reader.bigEndian(4);
    if (!count)
        return std::nullopt;

    OpenVfsPlaceholder result;
    for (quint64 i = 0; i < *count; ++i) {
        const auto keyHead = reader.byte();
        if (!keyHead)
            return std::nullopt;
        const auto key = readString(reader, *keyHead);
        if (!key)
            return std::nullopt;
        std::optional<quint64> value;
        if (!readScalar(reader, value))
            return std::nullopt;
        if (*key == "state")
            result.state = value;
        else if (*key == "size")
            result.size = value;
    }
    return result;
}
