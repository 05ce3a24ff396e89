#include "query/searchword.h"

#include "query/substringsearch_p.h"
#include "query/textfolding.h"

#include <cstring>

namespace {

// Rough frequency of each byte in lower-case text, English and accented Latin alike; only the
// order matters.
int frequency(unsigned char c)
{
    static constexpr char kCommon[] = " etaoinsrhdlcumwfgypbvk"; // most frequent first
    const char *at = std::strchr(kCommon, c);
    if (c != 0 && at != nullptr)
        return 100 - static_cast<int>(at - kCommon);
    if (c >= 0x80)
        return 60; // UTF-8 lead and continuation bytes of accented letters
    return 50;
}

} // namespace

SearchWord::SearchWord(QStringView word, const QLocale &locale)
    : m_bytes(TextFolding::fold(word, locale))
{
    choosePivots();
}

SearchWord SearchWord::fromFolded(const QByteArray &folded)
{
    SearchWord word;
    word.m_bytes = folded;
    word.choosePivots();
    return word;
}

void SearchWord::choosePivots()
{
    m_pairs = BytePairs::of(m_bytes);
    const auto rarity = [this](qsizetype i) { return frequency(static_cast<unsigned char>(m_bytes[i])); };
    qsizetype rarest = 0;
    for (qsizetype i = 1; i < m_bytes.size(); ++i) {
        if (rarity(i) < rarity(rarest))
            rarest = i;
    }
    qsizetype next = rarest == 0 ? 1 : 0;
    for (qsizetype i = 0; i < m_bytes.size(); ++i) {
        if (i != rarest && rarity(i) < rarity(next))
            next = i;
    }
    m_first = std::min(rarest, next);
    m_second = std::max(rarest, next);
}

bool SearchWord::isIn(QByteArrayView foldedText) const
{
    const auto length = static_cast<size_t>(m_bytes.size());
    const auto size = static_cast<size_t>(foldedText.size());
    if (length == 0)
        return true;
    if (length > size)
        return false;
    const char *text = foldedText.data();
    if (length == 1)
        return std::memchr(text, m_bytes[0], size) != nullptr;
    return SubstringSearch::contains({ text, size }, { m_bytes.constData(), length }, static_cast<size_t>(m_first),
        static_cast<size_t>(m_second), SubstringSearch::fastest());
}
