#include "platform/thumbnails/pngtext.h"

#include <QtEndian>

#include <algorithm>
#include <zlib.h>

namespace PngText {
namespace {

constexpr QByteArrayView kSignature("\x89PNG\r\n\x1a\n", 8);
constexpr qsizetype kFrameBytes = 12; // length, type and CRC around a chunk's data
constexpr qsizetype kMaxKeyBytes = 79;

struct Chunk
{
    QByteArrayView type;
    QByteArrayView data;
    QByteArrayView whole;
};

bool isText(QByteArrayView type)
{
    return type == "tEXt" || type == "zTXt" || type == "iTXt";
}

// Calls `visit` with each chunk from the header to the end chunk. False when the stream does not
// start with the signature and a header chunk, or a chunk runs past the end before IEND.
template <typename Visit> bool forEachChunk(QByteArrayView png, Visit visit)
{
    if (!png.startsWith(kSignature))
        return false;
    qsizetype at = kSignature.size();
    bool first = true;
    while (png.size() - at >= kFrameBytes) {
        const quint32 length = qFromBigEndian<quint32>(png.data() + at);
        if (length > quint32(png.size() - at - kFrameBytes))
            return false;
        Chunk chunk;
        chunk.type = png.sliced(at + 4, 4);
        chunk.data = png.sliced(at + 8, qsizetype(length));
        chunk.whole = png.sliced(at, kFrameBytes + qsizetype(length));
        if (first && chunk.type != "IHDR")
            return false;
        first = false;
        visit(chunk);
        at += chunk.whole.size();
        if (chunk.type == "IEND")
            return true;
    }
    return false;
}

void appendChunk(QByteArray &out, QByteArrayView type, QByteArrayView data)
{
    char length[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    out.append(length, 4);
    const qsizetype crcStart = out.size();
    out.append(type);
    out.append(data);
    const auto *covered = reinterpret_cast<const Bytef *>(out.constData() + crcStart);
    char crc[4];
    qToBigEndian<quint32>(quint32(::crc32(::crc32(0, nullptr, 0), covered, uInt(out.size() - crcStart))), crc);
    out.append(crc, 4);
}

bool fitsPlainChunk(const Entry &entry)
{
    return !entry.key.isEmpty() && entry.key.size() <= kMaxKeyBytes && !entry.key.contains('\0')
        && !entry.value.contains('\0');
}

} // namespace

QList<Entry> plainEntries(QByteArrayView png)
{
    QList<Entry> entries;
    const bool intact = forEachChunk(png, [&entries](const Chunk &chunk) {
        if (chunk.type != "tEXt")
            return;
        const qsizetype nul = chunk.data.indexOf('\0');
        if (nul <= 0)
            return;
        entries.append(Entry { chunk.data.first(nul).toByteArray(), chunk.data.sliced(nul + 1).toByteArray() });
    });
    return intact ? entries : QList<Entry>();
}

QByteArray withPlainEntries(QByteArrayView png, const QList<Entry> &entries)
{
    if (!std::all_of(entries.cbegin(), entries.cend(), fitsPlainChunk))
        return {};
    QByteArray out;
    out.reserve(png.size() + 64 * entries.size());
    out.append(kSignature);
    const bool intact = forEachChunk(png, [&](const Chunk &chunk) {
        if (isText(chunk.type))
            return;
        out.append(chunk.whole);
        if (chunk.type != "IHDR")
            return;
        for (const Entry &entry : entries)
            appendChunk(out, "tEXt", QByteArray(entry.key + '\0' + entry.value));
    });
    return intact ? out : QByteArray();
}

} // namespace PngText
