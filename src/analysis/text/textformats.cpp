#include "analysis/text/textformats.h"

#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {

// The length of `bytes` without an incomplete UTF-8 sequence at its end.
qsizetype withoutTrailingFragment(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    // A sequence is at most four bytes: look back over up to three continuation bytes.
    for (qsizetype back = 1; back <= std::min<qsizetype>(4, size); ++back) {
        const auto c = static_cast<unsigned char>(bytes[size - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? size - back : size;
    }
    return size;
}

bool looksLikeText(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f') || u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return true;
}

std::optional<QString> decodeStrict(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

const QStringList &TextFormats::plainTextExtensions()
{
    static const QStringList extensions {
        QStringLiteral("txt"),
        QStringLiteral("md"),
        QStringLiteral("csv"),
        QStringLiteral("json"),
        QStringLiteral("html"),
        QStringLiteral("xml"),
        QStringLiteral("log"),
        QStringLiteral("swift"),
        QStringLiteral("js"),
        QStringLiteral("ts"),
        QStringLiteral("py"),
        QStringLiteral("css"),
    };
    return extensions;
}

QString TextFormats::decodePlainText(QByteArray bytes, bool cut)
{
    const bool utf16Bom = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    if (!utf16Bom) {
        const QByteArrayView whole(bytes.constData(), cut ? withoutTrailingFragment(bytes) : bytes.size());
        if (!whole.contains('\0')) {
            if (auto text = decodeStrict(QStringConverter::Utf8, whole))
                return *text;
        }
    }
    // UTF-16 without a byte-order mark: ASCII-range text has its zero bytes on one side.
    QStringConverter::Encoding order = QStringConverter::Utf16LE;
    if (utf16Bom) {
        order = bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        bytes.remove(0, 2);
    } else {
        qsizetype zeroEven = 0, zeroOdd = 0;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            zeroEven += bytes[i] == '\0';
            zeroOdd += bytes[i + 1] == '\0';
        }
        order = zeroEven > zeroOdd ? QStringConverter::Utf16BE : QStringConverter::Utf16LE;
        // Without a byte-order mark, only text with a fair share of Latin characters is taken for
        // UTF-16; anything else that failed as UTF-8 is most likely binary data.
        if (std::max(zeroEven, zeroOdd) * 10 < bytes.size() / 2 || bytes.size() < 2)
            return {};
    }
    if (cut && bytes.size() % 2 != 0)
        bytes.chop(1);
    if (cut && bytes.size() >= 2) {
        // A cut between the two halves of a surrogate pair leaves a lone high surrogate.
        const auto last = order == QStringConverter::Utf16BE ? static_cast<unsigned char>(bytes[bytes.size() - 2])
                                                             : static_cast<unsigned char>(bytes[bytes.size() - 1]);
        if (last >= 0xD8 && last <= 0xDB)
            bytes.chop(2);
    }
    if (auto text = decodeStrict(order, bytes); text && looksLikeText(*text))
        return *text;
    return {};
}

bool TextFormats::isOffice(const QString &extension)
{
    static const QSet<QString> extensions { QStringLiteral("docx"), QStringLiteral("xlsx"), QStringLiteral("pptx"),
        QStringLiteral("odt"), QStringLiteral("ods"), QStringLiteral("odp"), QStringLiteral("epub") };
    return extensions.contains(extension);
}
