#include "query/codepoints_p.h"
#include "query/queryparser_p.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

QRegularExpression pattern(const char16_t *source)
{
    QRegularExpression expression(QString::fromUtf16(source),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    expression.optimize();
    return expression;
}

struct KindRow
{
    QRegularExpression pattern;
    std::optional<FileKind> kind; // else the extension
    QString extension;
};

// Compiled once per thread: matching one expression object from several threads at once is not
// promised to be safe.
struct Patterns
{
    std::array<KindRow, 8> kinds { {
        { pattern(u"\\bpdfs?\\b"), std::nullopt, QStringLiteral("pdf") },
        { pattern(u"\\b(?:images?|photos?|pictures?)\\b"), FileKind::images, {} },
        { pattern(u"\\bvideos?\\b"), FileKind::videos, {} },
        { pattern(u"\\b(?:music|songs?|audio)\\b"), FileKind::music, {} },
        { pattern(u"\\b(?:documents?|docs?)\\b"), FileKind::documents, {} },
        { pattern(u"\\bzips?\\b"), std::nullopt, QStringLiteral("zip") },
        { pattern(u"\\barchives?\\b"), FileKind::archives, {} },
        { pattern(u"\\bapps?\\b"), FileKind::apps, {} },
    } };
    QRegularExpression screenshots = pattern(u"\\bscreenshots?\\b");
    QRegularExpression size
        = pattern(u"\\b(over|larger than|bigger than|under|smaller than)\\s+(\\d+(?:\\.\\d+)?)\\s*(kb|mb|gb|tb)\\b");
    QRegularExpression lastWeek = pattern(u"\\blast week\\b");
    QRegularExpression thisWeek = pattern(u"\\bthis week\\b");
    QRegularExpression yesterday = pattern(u"\\byesterday\\b");
    QRegularExpression today = pattern(u"\\btoday\\b");
    QRegularExpression lastMonth = pattern(u"\\blast month\\b");
    QRegularExpression age = pattern(u"\\bolder than\\s+(\\d{1,4})\\s+(days?|weeks?|months?|years?)\\b");
    QRegularExpression month = pattern(u"\\b(?:in|from)\\s+(january|february|march|april|may|june|july|august|"
                                       u"september|october|november|december)(?:\\s+(20\\d{2}))?\\b");
    QRegularExpression camera = pattern(u"\\bfrom\\s+(?:my\\s+)?(iphone|ipad|canon|nikon|sony|pixel)\\b");
    QRegularExpression source = pattern(u"\\bfrom\\s+(gmail|google drive|slack|chatgpt|github|canva|whatsapp|"
                                        u"pinterest|x|[a-z0-9-]+\\.[a-z.]+)\\b");
};

const Patterns &patterns()
{
    thread_local const Patterns instance;
    return instance;
}

constexpr std::array<const char16_t *, 12> kMonths { u"january", u"february", u"march", u"april", u"may", u"june",
    u"july", u"august", u"september", u"october", u"november", u"december" };

constexpr std::array<const char16_t *, 12> kStopWords { u"from", u"files", u"file", u"and", u"the", u"with",
    u"containing", u"contains", u"text", u"named", u"called", u"tagged" };

// A number as ASCII digits: `\d` also matches the decimal digits of other scripts.
QString asciiDigits(QStringView number)
{
    QString ascii;
    ascii.reserve(number.size());
    for (qsizetype i = 0; i < number.size();) {
        qsizetype next = 0;
        const int digit = QChar::digitValue(CodePoints::at(number, i, &next));
        if (digit >= 0)
            ascii.append(QLatin1Char(static_cast<char>('0' + digit)));
        else
            ascii.append(number.sliced(i, next - i)); // the decimal point
        i = next;
    }
    return ascii;
}

qint64 bytesFor(QStringView number, QStringView unit)
{
    double multiplier = 1e3;
    if (unit.compare(u"mb", Qt::CaseInsensitive) == 0)
        multiplier = 1e6;
    else if (unit.compare(u"gb", Qt::CaseInsensitive) == 0)
        multiplier = 1e9;
    else if (unit.compare(u"tb", Qt::CaseInsensitive) == 0)
        multiplier = 1e12;
    bool ok = false;
    const double value = asciiDigits(number).toDouble(&ok);
    // A number too large for a double reads as infinity (and saturates below), not as 0.
    const double bytes = ok || std::isinf(value) ? multiplier * value : 0;
    // 2^63 is exactly representable as a double, the largest qint64 is not.
    if (!(bytes < 9'223'372'036'854'775'808.0))
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(bytes);
}

QString capitalised(QStringView word)
{
    if (word.isEmpty())
        return {};
    return word.first(1).toString().toUpper() + word.sliced(1);
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

} // namespace

QueryParser::QueryParser(QStringView text, const Timestamp &now, const Calendar &calendar, FileQuery &query)
    : m_work(text.trimmed().toString().toLower())
    , m_seams(static_cast<size_t>(m_work.size()), false)
    , m_now(now)
    , m_calendar(calendar)
    , m_query(query)
{ }

void QueryParser::run()
{
    if (m_work.isEmpty())
        return;
    kindsAndExtensions();
    screenshots();
    sizes();
    relativeDates();
    age();
    namedMonth();
    cameraAndSource();
    freeWords();
}

std::optional<QRegularExpressionMatch> QueryParser::take(const QRegularExpression &pattern)
{
    qsizetype from = 0;
    while (from <= m_work.size()) {
        QRegularExpressionMatch match = pattern.match(m_work, from);
        if (!match.hasMatch())
            return std::nullopt;
        const auto start = static_cast<size_t>(match.capturedStart());
        const auto end = static_cast<size_t>(match.capturedEnd());
        if (std::find(m_seams.begin() + start, m_seams.begin() + end, true) == m_seams.begin() + end) {
            m_work.replace(match.capturedStart(), match.capturedLength(), QLatin1Char(' '));
            m_seams.erase(m_seams.begin() + start, m_seams.begin() + end);
            m_seams.insert(m_seams.begin() + start, true);
            return match;
        }
        from = match.capturedStart() + 1;
    }
    return std::nullopt;
}

void QueryParser::addChip(const QString &label, const QString &token)
{
    m_query.chips.append(label);
    m_query.tokens.append(token);
}

void QueryParser::kindsAndExtensions()
{
    for (const KindRow &row : patterns().kinds) {
        const auto match = take(row.pattern);
        if (!match)
            continue;
        if (row.kind) {
            m_query.kinds.insert(*row.kind);
            addChip(row.kind->rawValue(), match->captured(0));
        } else {
            if (!m_query.extensions.contains(row.extension))
                m_query.extensions.append(row.extension);
            addChip(row.extension.toUpper(), match->captured(0));
        }
    }
}

void QueryParser::screenshots()
{
    if (const auto match = take(patterns().screenshots)) {
        m_query.screenshots = true;
        addChip(QStringLiteral("Screenshots"), match->captured(0));
    }
}

void QueryParser::sizes()
{
    while (const auto match = take(patterns().size)) {
        const QString comparison = match->captured(1);
        const QString number = match->captured(2);
        const QString unit = match->captured(3);
        const qint64 bytes = bytesFor(number, unit);
        const QString label = number + QLatin1Char(' ') + unit.toUpper();
        if (comparison == u"under" || comparison == u"smaller than") {
            m_query.maxSize = bytes;
            addChip(QStringLiteral("< ") + label, match->captured(0));
        } else {
            m_query.minSize = bytes;
            addChip(QStringLiteral("> ") + label, match->captured(0));
        }
    }
}

void QueryParser::relativeDates()
{
    // Only the first row that applies counts; the others' words stay in the text.
    static_cast<void>(lastWeek() || thisWeek() || yesterday() || today() || lastMonth());
}

bool QueryParser::lastWeek()
{
    const auto match = take(patterns().lastWeek);
    if (!match)
        return false;
    const auto today = m_calendar.dateOf(m_now);
    const auto weekStart = today ? m_calendar.startOfWeek(*today) : std::nullopt;
    const auto start = weekStart ? m_calendar.startOfDay(*weekStart) : std::nullopt;
    const auto previous = weekStart ? m_calendar.startOfDay(weekStart->addDays(-7)) : std::nullopt;
    // Without the week the row counts as not applied (its words are gone all the same).
    if (!start || !previous)
        return false;
    m_query.before = start;
    m_query.after = previous;
    addChip(QStringLiteral("Last week"), match->captured(0));
    return true;
}

bool QueryParser::thisWeek()
{
    const auto match = take(patterns().thisWeek);
    if (!match)
        return false;
    const auto today = m_calendar.dateOf(m_now);
    const auto weekStart = today ? m_calendar.startOfWeek(*today) : std::nullopt;
    if (const auto start = weekStart ? m_calendar.startOfDay(*weekStart) : std::nullopt) {
        m_query.after = start;
        addChip(QStringLiteral("This week"), match->captured(0));
    }
    return true;
}

bool QueryParser::yesterday()
{
    const auto match = take(patterns().yesterday);
    if (!match)
        return false;
    const auto today = m_calendar.dateOf(m_now);
    const auto start = today ? m_calendar.startOfDay(*today) : std::nullopt;
    const auto previous = today ? m_calendar.startOfDay(today->addDays(-1)) : std::nullopt;
    if (start && previous) {
        m_query.before = start;
        m_query.after = previous;
        addChip(QStringLiteral("Yesterday"), match->captured(0));
    }
    return true;
}

bool QueryParser::today()
{
    const auto match = take(patterns().today);
    if (!match)
        return false;
    const auto today = m_calendar.dateOf(m_now);
    if (const auto start = today ? m_calendar.startOfDay(*today) : std::nullopt) {
        m_query.after = start;
        addChip(QStringLiteral("Today"), match->captured(0));
    }
    return true;
}

bool QueryParser::lastMonth()
{
    const auto match = take(patterns().lastMonth);
    if (!match)
        return false;
    const auto today = m_calendar.dateOf(m_now);
    const QDate first = today ? QDate(today->year(), today->month(), 1) : QDate();
    const auto start = m_calendar.startOfDay(first);
    const auto previous = m_calendar.startOfDay(first.addMonths(-1));
    if (start && previous) {
        m_query.before = start;
        m_query.after = previous;
        addChip(QStringLiteral("Last month"), match->captured(0));
    }
    return true;
}

void QueryParser::age()
{
    const auto match = take(patterns().age);
    if (!match)
        return;
    const int amount = asciiDigits(match->captured(1)).toInt();
    const QString unitText = match->captured(2);
    Calendar::Unit unit = Calendar::Unit::days;
    if (unitText.startsWith(u"year"))
        unit = Calendar::Unit::years;
    else if (unitText.startsWith(u"month"))
        unit = Calendar::Unit::months;
    else if (unitText.startsWith(u"week"))
        unit = Calendar::Unit::weeks;
    // A date the calendar cannot represent (9999 years back) leaves the query as it was.
    if (const auto before = m_calendar.adding(unit, -amount, m_now)) {
        m_query.before = before;
        addChip(QStringLiteral("Older than ") + match->captured(1) + QLatin1Char(' ') + unitText, match->captured(0));
    }
}

void QueryParser::namedMonth()
{
    const auto match = take(patterns().month);
    if (!match)
        return;
    const QString name = match->captured(1);
    int month = 0;
    for (int i = 0; i < int(kMonths.size()); ++i) {
        if (name.compare(QStringView(kMonths[i]), Qt::CaseInsensitive) == 0)
            month = i + 1;
    }
    int year = 0;
    if (!match->captured(2).isEmpty()) {
        year = asciiDigits(match->captured(2)).toInt();
    } else if (const auto today = m_calendar.dateOf(m_now)) {
        year = today->year() - (month > today->month() ? 1 : 0);
    }
    const QDate first(year, month, 1);
    const auto after = m_calendar.startOfDay(first);
    const auto before = after ? m_calendar.startOfDay(first.addMonths(1)) : std::nullopt;
    m_query.after = before ? after : std::nullopt;
    if (before)
        m_query.before = before;
    addChip(capitalised(name) + QLatin1Char(' ') + QString::number(year), match->captured(0));
}

void QueryParser::cameraAndSource()
{
    if (const auto match = take(patterns().camera)) {
        m_query.camera = match->captured(1);
        addChip(QStringLiteral("Camera: ") + match->captured(1), match->captured(0));
    }
    if (const auto match = take(patterns().source)) {
        m_query.source = match->captured(1);
        addChip(QStringLiteral("From ") + match->captured(1), match->captured(0));
    }
}

void QueryParser::freeWords()
{
    qsizetype start = 0;
    const qsizetype size = m_work.size();
    while (start < size) {
        while (start < size && m_work.at(start).isSpace())
            ++start;
        qsizetype end = start;
        while (end < size && !m_work.at(end).isSpace())
            ++end;
        qsizetype first = start;
        qsizetype last = end;
        while (first < last && isQuote(m_work.at(first)))
            ++first;
        while (last > first && isQuote(m_work.at(last - 1)))
            --last;
        const QStringView word = QStringView(m_work).sliced(first, last - first);
        const bool stopWord = std::any_of(
            kStopWords.begin(), kStopWords.end(), [word](const char16_t *stop) { return word == QStringView(stop); });
        if (!word.isEmpty() && !stopWord) {
            m_query.words.append(word.toString());
            addChip(QStringLiteral("Text: ") + word, word.toString());
        }
        start = end;
    }
}
