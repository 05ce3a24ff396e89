#include "store/namesortkey.h"

#include <algorithm>

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

// The key of a name of ASCII characters only, as `of` makes it, without its normalisations and
// temporary strings: such a name is its own decomposition, folds to lower case and holds no
// combining marks. Most names are like this, and a library's keys are made on every change.
QString ofAscii(QStringView name)
{
    QString key;
    key.reserve(3 * name.size() + 8);
    for (qsizetype i = 0; i < name.size();) {
        const char16_t c = name[i].unicode();
        if (c < u'0' || c > u'9') {
            key.append(QChar(asciiLower(c)));
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < name.size() && name[end] >= u'0' && name[end] <= u'9')
            ++end;
        while (i < end && name[i] == u'0')
            ++i;
        key.append(QChar(kNumberMark));
        key.append(QChar(char16_t(kLengthBase + std::min<qsizetype>(end - i, 0xF000))));
        key.append(name.sliced(i, end - i));
        i = end;
    }
    key.append(QChar(kLevelMark));
    for (const QChar c : name)
        key.append(QChar(asciiLower(c.unicode())));
    key.append(QChar(kLevelMark));
    key.append(name);
    return key;
}

} // namespace

QString of(QStringView name)
{
    if (std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return ofAscii(name);
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
