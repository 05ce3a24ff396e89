#pragma once

#include <QByteArrayView>

#include <algorithm>

namespace AsciiBytes {

// Whether every byte is below 0x80: such UTF-8 text is ASCII, and case and order can be taken
// byte by byte.
inline bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace AsciiBytes
