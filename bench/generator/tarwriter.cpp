#include "generator/tarwriter.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace {

constexpr int kBlock = 512;

// `width - 1` octal digits, zero-padded, and a terminating NUL.
void octal(char *field, int width, unsigned long long value)
{
    if (width < 23 && value >> (3 * (width - 1)) != 0)
        throw std::runtime_error("a tar header value does not fit its field");
    field[width - 1] = '\0';
    for (int i = width - 2; i >= 0; --i) {
        field[i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
}

} // namespace

void TarWriter::addHeader(const QByteArray &name, qint64 size, Timestamp modified, unsigned mode, char type)
{
    if (name.size() >= 100)
        throw std::runtime_error("tar name too long: " + name.toStdString());
    char header[kBlock] = {};
    std::memcpy(header, name.constData(), static_cast<size_t>(name.size()));
    octal(header + 100, 8, mode);
    octal(header + 108, 8, 0);
    octal(header + 116, 8, 0);
    octal(header + 124, 12, static_cast<unsigned long long>(size));
    octal(header + 136, 12, static_cast<unsigned long long>(std::max<qint64>(modified.unixSeconds(), 0)));
    std::memset(header + 148, ' ', 8); // the checksum counts its own field as blanks
    header[156] = type;
    std::memcpy(header + 257, "ustar", 6);
    std::memcpy(header + 263, "00", 2);
    std::memcpy(header + 265, "root", 4);
    std::memcpy(header + 297, "root", 4);
    unsigned sum = 0;
    for (char c : header)
        sum += static_cast<unsigned char>(c);
    octal(header + 148, 7, sum); // six digits, NUL, then the blank already there
    m_data.append(header, kBlock);
}

void TarWriter::addFolder(const QByteArray &name, Timestamp modified)
{
    addHeader(name.endsWith('/') ? name : name + '/', 0, modified, 0755, '5');
}

void TarWriter::addFile(const QByteArray &name, const QByteArray &data, Timestamp modified, unsigned mode)
{
    addHeader(name, data.size(), modified, mode, '0');
    m_data.append(data);
    const qsizetype padding = (kBlock - data.size() % kBlock) % kBlock;
    m_data.append(QByteArray(padding, '\0'));
}

QByteArray TarWriter::finish()
{
    m_data.append(QByteArray(2 * kBlock, '\0'));
    return std::exchange(m_data, {});
}
