#include "query/textfolding.h"

#include <QString>

namespace {

bool isAsciiSpace(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Turkish and Azerbaijani lower-case "I" to a dotless i, so ASCII is not plain ASCII there.
bool dotlessCapitalI(const QLocale &locale)
{
    return locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani;
}

void appendSlow(QByteArray &out, QStringView word, const QLocale &locale)
{
    out.append(locale.toLower(word.toString()).toCaseFolded().normalized(QString::NormalizationForm_C).toUtf8());
}

} // namespace

namespace TextFolding {

// Most text is ASCII: it is lowered byte by byte, and only words holding other characters take
// the slow path. Splitting at ASCII white space is safe for composition: no character composes
// with a preceding blank or tab.
void appendFolded(QByteArray &out, QStringView text, const QLocale &locale)
{
    const bool dotless = dotlessCapitalI(locale);
    const char16_t *data = text.utf16();
    const qsizetype size = text.size();
    out.reserve(out.size() + size);
    qsizetype i = 0;
    while (i < size) {
        qsizetype end = i;
        bool ascii = true;
        while (end < size && !isAsciiSpace(data[end])) {
            ascii = ascii && data[end] < 0x80 && !(dotless && data[end] == u'I');
            ++end;
        }
        if (!ascii) {
            appendSlow(out, text.sliced(i, end - i), locale);
            i = end;
        }
        while (end < size && isAsciiSpace(data[end]))
            ++end;
        // The ASCII word (if any) and the white space after it, lowered in place.
        const qsizetype at = out.size();
        out.resize(at + (end - i));
        char *dst = out.data() + at;
        for (; i < end; ++i) {
            const char16_t c = data[i];
            *dst++ = static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
        }
    }
}

QByteArray fold(QStringView text, const QLocale &locale)
{
    QByteArray out;
    appendFolded(out, text, locale);
    return out;
}

} // namespace TextFolding
