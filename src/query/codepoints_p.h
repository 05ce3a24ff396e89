#pragma once

#include <QChar>
#include <QStringView>

// Stepping through UTF-16 text by code point. A lone surrogate stands for itself.
namespace CodePoints {

// The code point that begins at `index`; `next` receives the index after it.
inline char32_t at(QStringView text, qsizetype index, qsizetype *next)
{
    const char16_t unit = text[index].unicode();
    if (QChar::isHighSurrogate(unit) && index + 1 < text.size() && QChar::isLowSurrogate(text[index + 1].unicode())) {
        *next = index + 2;
        return QChar::surrogateToUcs4(unit, text[index + 1].unicode());
    }
    *next = index + 1;
    return unit;
}

// The code point that ends just before `index` (which must be greater than 0).
inline char32_t before(QStringView text, qsizetype index)
{
    const char16_t unit = text[index - 1].unicode();
    if (QChar::isLowSurrogate(unit) && index >= 2 && QChar::isHighSurrogate(text[index - 2].unicode()))
        return QChar::surrogateToUcs4(text[index - 2].unicode(), unit);
    return unit;
}

} // namespace CodePoints
