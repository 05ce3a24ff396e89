#include "store/namesortkey.h"

#include "library/asciibytes.h"

#include <algorithm>
#include <utility>

namespace NameSortKey {
namespace {

// Below every character a name can hold in practice, so a number sorts before letters.
constexpr char16_t kNumberMark = 0x0001;
// Separates the primary key from the tie-breaking one.
constexpr char16_t kLevelMark = 0x0000;
constexpr char16_t kLengthBase = 0x0020;

// Appends a digit run: its length without leading zeros, then the digits, so that a longer
// number sorts after a shorter one and equal lengths compare digit by digit.
qsizetype appendNumber(QString &key, QStringView name, qsizetype at)
{
    QString digits;
    for (; at < name.size() && name[at].isDigit(); ++at) {
        const int value = name[at].digitValue();
        if (digits.isEmpty() && value == 0)
            continue;
        digits.append(QChar(u'0' + value));
    }
    key.append(QChar(kNumberMark));
    key.append(QChar(char16_t(kLengthBase + std::min<qsizetype>(digits.size(), 0xF000))));
    key.append(digits);
    return at;
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The key of a name of ASCII characters only, as `of` makes it, without its normalisations and
// temporary strings: such a name is its own decomposition, folds to lower case and holds no
// combining marks. Most names are like this, and a library's keys are made on every change, so
// the key is written straight into a string of its exact length. `Char` is a UTF-16 code unit
// or a byte of UTF-8 (of ASCII, the same values).
template <typename Char> QString asciiKey(const Char *name, qsizetype size)
{
    const auto at = [name](qsizetype i) { return char16_t(name[i]); };
    // The end of the digit run that starts at `i`, and the start of its digits without leading zeros.
    const auto digitRun = [&](qsizetype i) {
        qsizetype end = i;
        while (end < size && isAsciiDigit(at(end)))
            ++end;
        while (i < end && at(i) == u'0')
            ++i;
        return std::pair(i, end);
    };
    qsizetype primary = 0;
    for (qsizetype i = 0; i < size;) {
        if (!isAsciiDigit(at(i))) {
            ++primary;
            ++i;
            continue;
        }
        const auto [digits, end] = digitRun(i);
        primary += 2 + (end - digits);
        i = end;
    }
    QString key(primary + 2 + 2 * size, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(key.data());
    for (qsizetype i = 0; i < size;) {
        if (!isAsciiDigit(at(i))) {
            *out++ = asciiLower(at(i++));
            continue;
        }
        const auto [digits, end] = digitRun(i);
        *out++ = kNumberMark;
        *out++ = char16_t(kLengthBase + std::min<qsizetype>(end - digits, 0xF000));
        for (qsizetype d = digits; d < end; ++d)
            *out++ = at(d);
        i = end;
    }
    *out++ = kLevelMark;
    for (qsizetype i = 0; i < size; ++i)
        *out++ = asciiLower(at(i));
    *out++ = kLevelMark;
    for (qsizetype i = 0; i < size; ++i)
        *out++ = at(i);
    return key;
}

} // namespace

QString of(QByteArrayView name)
{
    if (AsciiBytes::isAscii(name))
        return asciiKey(name.data(), name.size());
    return of(QString::fromUtf8(name));
}

QString of(QStringView name)
{
    if (std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return asciiKey(name.utf16(), name.size());
    // Primary level: the base letters (compatibility decomposition without combining marks),
    // case-folded, with numbers by value. Secondary level: the case-folded name as typed, so
    // that "resume" and "résumé" still sort in a fixed order.
    // Folded before numbers are encoded: folding would otherwise change their length marks.
    const QString base = name.toString().normalized(QString::NormalizationForm_KD).toCaseFolded();
    QString primary;
    primary.reserve(base.size() + 4);
    for (qsizetype i = 0; i < base.size();) {
        const QChar c = base[i];
        if (c.isDigit()) {
            i = appendNumber(primary, base, i);
            continue;
        }
        if (c.category() != QChar::Mark_NonSpacing)
            primary.append(c);
        ++i;
    }
    return primary + QChar(kLevelMark) + name.toString().toCaseFolded() + QChar(kLevelMark) + name.toString();
}

} // namespace NameSortKey
