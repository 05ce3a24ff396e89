#include "query/filequery.h"

#include "query/codepoints_p.h"
#include "query/querymatcher.h"
#include "query/queryparser_p.h"

#include <optional>
#include <utility>

namespace {

bool isWordCharacter(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return QChar::isLetterOrNumber(c) || category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
        || category == QChar::Mark_Enclosing;
}

// The text lower-cased code point by code point, the way the parser lower-cased it, with the
// span of the original code point behind every code unit.
struct LoweredText
{
    QString text;
    QList<std::pair<qsizetype, qsizetype>> origin;

    explicit LoweredText(QStringView original)
    {
        text.reserve(original.size());
        origin.reserve(original.size());
        for (qsizetype start = 0; start < original.size();) {
            qsizetype end = 0;
            const char32_t c = CodePoints::at(original, start, &end);
            const qsizetype before = text.size();
            if (c < 0x80)
                text.append(QLatin1Char(static_cast<char>(c >= U'A' && c <= U'Z' ? c + 32 : c)));
            else
                text.append(original.sliced(start, end - start).toString().toLower());
            for (qsizetype k = before; k < text.size(); ++k)
                origin.append({ start, end });
            start = end;
        }
    }

    // The original span of text[from, to), widened to whole code points where an end falls
    // inside the lower case of one (U+0130 lowers to two code points, for one), and whether it
    // had to be widened.
    std::pair<std::pair<qsizetype, qsizetype>, bool> originalSpan(qsizetype from, qsizetype to) const
    {
        const bool splitsStart = from > 0 && origin[from - 1].first == origin[from].first;
        const bool splitsEnd = to < origin.size() && origin[to].first == origin[to - 1].first;
        return { { origin[from].first, origin[to - 1].second }, splitsStart || splitsEnd };
    }
};

bool standsAlone(QStringView text, qsizetype start, qsizetype end)
{
    qsizetype next = 0;
    if (start > 0 && isWordCharacter(CodePoints::before(text, start)))
        return false;
    return end >= text.size() || !isWordCharacter(CodePoints::at(text, end, &next));
}

// The first occurrence of `token` in `text`, ignoring case, that stands as a whole word; else
// the first occurrence on code point boundaries; else the first occurrence at all, widened to
// the code points it touches (a token the parser cut from inside one lowered character).
std::optional<std::pair<qsizetype, qsizetype>> findToken(QStringView text, const QString &token)
{
    const LoweredText lowered(text);
    std::optional<std::pair<qsizetype, qsizetype>> firstPlain;
    std::optional<std::pair<qsizetype, qsizetype>> firstWidened;
    for (qsizetype at = lowered.text.indexOf(token); at >= 0; at = lowered.text.indexOf(token, at + 1)) {
        const auto [span, widened] = lowered.originalSpan(at, at + token.size());
        if (widened) {
            if (!firstWidened)
                firstWidened = span;
            continue;
        }
        if (standsAlone(text, span.first, span.second))
            return span;
        if (!firstPlain)
            firstPlain = span;
    }
    return firstPlain ? firstPlain : firstWidened;
}

QString collapseBlanks(QStringView text)
{
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && text[i] != u' ' && text[i] != u'\t')
            ++i;
        if (i > start) {
            if (!result.isEmpty())
                result.append(QLatin1Char(' '));
            result.append(text.sliced(start, i - start));
        }
    }
    return result;
}

} // namespace

FileQuery::FileQuery(QStringView text, const Timestamp &now, const Calendar &calendar)
{
    QueryParser(text, now, calendar, *this).run();
}

bool FileQuery::matches(const FileRecord &record, QStringView content) const
{
    return QueryMatcher(*this).matches(record, content);
}

QString FileQuery::removingChip(qsizetype index, QStringView text) const
{
    if (index < 0 || index >= tokens.size() || tokens[index].isEmpty())
        return text.toString();
    const auto span = findToken(text, tokens[index]);
    if (!span)
        return text.toString();
    const QString rest = text.first(span->first) + text.sliced(span->second);
    return collapseBlanks(rest);
}
