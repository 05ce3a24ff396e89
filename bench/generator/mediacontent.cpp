#include "generator/mediacontent.h"

#include "generator/mediacontent_p.h"
#include "generator/seededrandom.h"

#include <QtEndian>

#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kSampleRate = 22050;

void putLittle32(QByteArray &out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 4);
}

QByteArray syncSafe(quint32 value)
{
    QByteArray out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[i] = static_cast<char>(value & 0x7f);
        value >>= 7;
    }
    return out;
}

using MediaStamp::Tags;

Tags tagsOf(const PlannedFile &file)
{
    const QList<QByteArray> lines = file.text.split('\n');
    return { file.title.toUtf8(), lines.value(0), lines.value(1), lines.value(2) };
}

} // namespace

namespace MediaStamp {

QByteArray id3(const Tags &tags)
{
    QByteArray frames;
    const std::pair<const char *, QByteArray> fields[]
        = { { "TIT2", tags.title }, { "TPE1", tags.artist }, { "TALB", tags.album }, { "TRCK", tags.track } };
    for (const auto &[id, value] : fields) {
        if (value.isEmpty())
            continue;
        const QByteArray body = '\x03' + value; // encoding: UTF-8
        frames += QByteArray(id) + syncSafe(static_cast<quint32>(body.size())) + QByteArray(2, '\0') + body;
    }
    return QByteArray("ID3\x04\x00\x00", 6) + syncSafe(static_cast<quint32>(frames.size())) + frames;
}

QByteArray withFlacComments(const QByteArray &flac, const Tags &tags)
{
    if (!flac.startsWith("fLaC"))
        throw std::runtime_error("not a FLAC stream");
    QByteArray comment;
    const QByteArray vendor = "reference libFLAC 1.4.2";
    putLittle32(comment, static_cast<quint32>(vendor.size()));
    comment += vendor;
    const QByteArray entries[]
        = { "TITLE=" + tags.title, "ARTIST=" + tags.artist, "ALBUM=" + tags.album, "TRACKNUMBER=" + tags.track };
    putLittle32(comment, 4);
    for (const QByteArray &entry : entries) {
        putLittle32(comment, static_cast<quint32>(entry.size()));
        comment += entry;
    }

    QList<std::pair<int, QByteArray>> blocks;
    qsizetype at = 4;
    for (bool last = false; !last;) {
        if (at + 4 > flac.size())
            throw std::runtime_error("truncated FLAC metadata");
        const auto header = static_cast<unsigned char>(flac[at]);
        last = (header & 0x80) != 0;
        const qsizetype length = (qsizetype(static_cast<unsigned char>(flac[at + 1])) << 16)
            | (qsizetype(static_cast<unsigned char>(flac[at + 2])) << 8) | static_cast<unsigned char>(flac[at + 3]);
        const int type = header & 0x7f;
        if (type != 4)
            blocks.append({ type, flac.mid(at + 4, length) });
        at += 4 + length;
    }
    blocks.insert(1, { 4, comment }); // right after the stream information
    QByteArray out = "fLaC";
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const auto &[type, body] = blocks.at(i);
        out += static_cast<char>(type | (i + 1 == blocks.size() ? 0x80 : 0));
        out += static_cast<char>((body.size() >> 16) & 0xff);
        out += static_cast<char>((body.size() >> 8) & 0xff);
        out += static_cast<char>(body.size() & 0xff);
        out += body;
    }
    return out + flac.mid(at);
}

static quint32 oggCrc(const char *data, qsizetype size)
{
    static const auto table = [] {
        std::array<quint32, 256> t {};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    quint32 crc = 0;
    for (qsizetype i = 0; i < size; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(data[i])) & 0xff];
    return crc;
}

QByteArray withOggSerial(QByteArray ogg, quint32 serial)
{
    qsizetype at = 0;
    while (at < ogg.size()) {
        if (ogg.mid(at, 4) != "OggS" || at + 27 > ogg.size())
            throw std::runtime_error("not an Ogg page");
        const int segments = static_cast<unsigned char>(ogg[at + 26]);
        qsizetype length = 27 + segments;
        for (int i = 0; i < segments; ++i)
            length += static_cast<unsigned char>(ogg[at + 27 + i]);
        if (at + length > ogg.size())
            throw std::runtime_error("truncated Ogg page");
        const quint32 le = qToLittleEndian(serial);
        std::memcpy(ogg.data() + at + 14, &le, 4);
        std::memset(ogg.data() + at + 22, 0, 4);
        const quint32 crc = qToLittleEndian(oggCrc(ogg.constData() + at, length));
        std::memcpy(ogg.data() + at + 22, &crc, 4);
        at += length;
    }
    return ogg;
}

} // namespace MediaStamp

namespace {

// A voice recording: a few formant-like tones under a syllable envelope, 16-bit mono PCM.
QByteArray wav(const PlannedFile &file)
{
    SeededRandom r(file.seed);
    const auto samples = static_cast<quint32>(std::lround(file.duration * kSampleRate));
    const double pitch = r.between(90.0, 220.0);
    const double syllables = r.between(2.0, 5.0);
    QByteArray pcm(qsizetype(samples) * 2, Qt::Uninitialized);
    for (quint32 i = 0; i < samples; ++i) {
        const double t = double(i) / kSampleRate;
        const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * syllables * t);
        const double value = envelope
            * (0.5 * std::sin(2 * M_PI * pitch * t) + 0.25 * std::sin(2 * M_PI * pitch * 2.7 * t)
                + 0.1 * std::sin(2 * M_PI * pitch * 5.1 * t));
        const auto sample = qToLittleEndian(static_cast<qint16>(std::lround(value * 12000)));
        std::memcpy(pcm.data() + qsizetype(i) * 2, &sample, 2);
    }
    QByteArray out = "RIFF";
    putLittle32(out, static_cast<quint32>(36 + pcm.size()));
    out += "WAVEfmt ";
    putLittle32(out, 16);
    out += QByteArray("\x01\x00\x01\x00", 4); // PCM, one channel
    putLittle32(out, kSampleRate);
    putLittle32(out, kSampleRate * 2);
    out += QByteArray("\x02\x00\x10\x00", 4); // two bytes a frame, 16 bits
    out += "data";
    putLittle32(out, static_cast<quint32>(pcm.size()));
    return out + pcm;
}

} // namespace

namespace MediaContent {

QByteArray make(const PlannedFile &file, const MediaTemplates &templates)
{
    if (file.content == Content::wav)
        return wav(file);
    const QByteArray recording = templates.recording(file.content, file.mediaVariant);
    if (recording.isEmpty())
        throw std::runtime_error("no recording for a media file");
    SeededRandom r(file.seed);
    const QByteArray unique = QByteArray::number(r.next(), 16).rightJustified(16, '0');
    switch (file.content) {
    case Content::mp3:
        return MediaStamp::id3(tagsOf(file)) + recording;
    case Content::flac:
        return MediaStamp::withFlacComments(recording, tagsOf(file));
    case Content::ogg:
        return MediaStamp::withOggSerial(recording, static_cast<quint32>(r.next()));
    case Content::mkv:
    case Content::webm:
        // A Void element after the segment: ignored by every reader.
        return recording + '\xec' + static_cast<char>(0x80 | unique.size()) + unique;
    default: {
        // A "free" box after the last one: ISO media readers skip it.
        QByteArray box;
        const quint32 size = qToBigEndian(static_cast<quint32>(8 + unique.size()));
        box.append(reinterpret_cast<const char *>(&size), 4);
        return recording + box + "free" + unique;
    }
    }
}

} // namespace MediaContent
