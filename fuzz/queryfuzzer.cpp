// Feeds arbitrary search lines to the parser, removes every chip and matches a record; searches
// the line for a piece of itself, or a piece with one byte changed, with every substring method.
//
// Input: one byte choosing the time zone and first weekday, eight bytes of "now" in seconds
// (any value, far beyond the calendar's years included), then the search line as UTF-8.

#include "query/filequery.h"
#include "query/querymatcher.h"
#include "query/substringsearch_p.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const Calendar &calendar(uint8_t choice)
{
    static const std::array<QByteArray, 5> zones { "UTC", "Europe/Berlin", "America/Sao_Paulo", "Pacific/Kiritimati",
        "Asia/Kathmandu" };
    static const auto calendars = [] {
        std::vector<Calendar> all;
        for (const QByteArray &zone : zones) {
            for (int day = Qt::Monday; day <= Qt::Sunday; ++day)
                all.emplace_back(QTimeZone(zone), Qt::DayOfWeek(day));
        }
        return all;
    }();
    return calendars[choice % calendars.size()];
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

void checkRemoval(const FileQuery &query, const QString &text)
{
    check(query.removingChip(-1, text) == text, "negative index changes the text");
    check(query.removingChip(query.chips.size(), text) == text, "index past the end changes the text");
    for (qsizetype i = 0; i < query.chips.size(); ++i) {
        const QString rest = query.removingChip(i, text);
        check(rest.size() < text.size(), "removing a chip does not shorten the text");
        check(rest.isEmpty() || (!isBlank(rest.front()) && !isBlank(rest.back())), "leading or trailing blank");
        for (qsizetype k = 1; k < rest.size(); ++k)
            check(!(isBlank(rest[k - 1]) && isBlank(rest[k])), "doubled blank");
    }
}

void checkMatching(const FileQuery &query, const QString &text, uint8_t choice, int64_t seconds)
{
    FileRecord record;
    record.path = QByteArray("/home/user/") + text.left(64).toUtf8().replace('/', '_');
    // Not classified from the name: the type database would be the one fuzzed.
    record.kind = FileKind::Value(choice % 7);
    record.size = seconds;
    record.modified = Timestamp::fromUnix(seconds % (400'000LL * 31'556'952));
    record.camera = text.left(16);
    record.source = text.right(16);
    record.tags = text.split(u',');
    const QueryMatcher matcher(query);
    const bool slow = matcher.matches(record, QStringView(text));
    const bool fast = matcher.matches(record, SearchText(record, text));
    check(slow == fast, "folded ahead and folded on the fly disagree");
    check(query.matches(record, text) == slow, "FileQuery::matches disagrees with QueryMatcher");
}

// Every method agrees with std::string_view::find. The eight bytes of "now" choose the word's
// length (up to 81 bytes, past two vector blocks), its place in the line, whether one of its
// bytes is changed into a near miss, and the two bytes the vector methods test first.
void checkSubstringSearch(std::string_view line, const uint8_t *choice)
{
    if (line.size() < 2)
        return;
    const size_t length = 2 + choice[0] % std::min<size_t>(line.size() - 1, 80);
    const size_t start = choice[1] % (line.size() - length + 1);
    std::string word(line.substr(start, length));
    if (choice[2] & 1)
        word[choice[3] % length] = char(word[choice[3] % length] ^ (1 + choice[4] % 255));
    const size_t a = choice[5] % length;
    const size_t b = choice[6] % length == a ? (a + 1) % length : choice[6] % length;
    const bool expected = line.find(word) != std::string_view::npos;
    for (const SubstringSearch::Method method :
        { SubstringSearch::Method::plain, SubstringSearch::Method::sse2, SubstringSearch::fastest() }) {
        check(SubstringSearch::contains(line, word, std::min(a, b), std::max(a, b), method) == expected,
            "a substring search method disagrees with find");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 9)
        return 0;
    int64_t seconds = 0;
    std::memcpy(&seconds, data + 1, sizeof seconds);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 9), qsizetype(size - 9));

    const FileQuery query(text, Timestamp::fromUnix(seconds), calendar(data[0]));
    check(query.chips.size() == query.tokens.size(), "chips and tokens differ in length");
    checkRemoval(query, text);
    checkMatching(query, text, data[0], seconds);
    checkSubstringSearch(std::string_view(reinterpret_cast<const char *>(data + 9), size - 9), data + 1);
    return 0;
}
