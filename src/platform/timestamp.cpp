#include "platform/timestamp.h"

#include <QTimeZone>

#include <cmath>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
constexpr qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

struct CivilDate
{
    qint64 year;
    unsigned month;
    unsigned day;
};

constexpr CivilDate civilFromDays(qint64 z)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2), m, d};
}

static_assert(daysFromCivil(1, 1, 1) * 86400 == Timestamp::kDistantPastSeconds);
static_assert(daysFromCivil(2001, 1, 1) * 86400 == Timestamp::kReferenceDateSeconds);

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Reads exactly `count` decimal digits at `pos`, advancing it.
std::optional<int> digits(QStringView text, qsizetype &pos, int count)
{
    if (pos + count > text.size())
        return std::nullopt;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[pos + i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    pos += count;
    return value;
}

// A day beyond the month's end (30 February) is rejected, not carried into the next month.
int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool expect(QStringView text, qsizetype &pos, char16_t c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

} // namespace

Timestamp Timestamp::fromDateTime(const QDateTime &dateTime)
{
    const qint64 ms = dateTime.toMSecsSinceEpoch();
    return fromUnix(floorDiv(ms, 1000), (ms - floorDiv(ms, 1000) * 1000) * 1'000'000);
}

Timestamp Timestamp::now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return fromTimespec(ts);
}

double Timestamp::secondsSinceReferenceDate() const
{
    return static_cast<double>(m_seconds - kReferenceDateSeconds) + m_nanoseconds / 1e9;
}

Timestamp Timestamp::fromSecondsSinceReferenceDate(double seconds)
{
    // Beyond a few hundred thousand years the conversion to integers would overflow.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13)
        return distantPast();
    const double whole = std::floor(seconds);
    const auto nanos = static_cast<qint64>(std::llround((seconds - whole) * 1e9));
    return fromUnix(static_cast<qint64>(whole) + kReferenceDateSeconds, nanos);
}

QString Timestamp::toIsoString() const
{
    const qint64 days = floorDiv(m_seconds, 86400);
    const qint64 secondOfDay = m_seconds - days * 86400;
    const CivilDate date = civilFromDays(days);
    return QString::asprintf("%04lld-%02u-%02uT%02lld:%02lld:%02lld.%09dZ", static_cast<long long>(date.year),
                             date.month, date.day, static_cast<long long>(secondOfDay / 3600),
                             static_cast<long long>(secondOfDay / 60 % 60), static_cast<long long>(secondOfDay % 60),
                             m_nanoseconds);
}

std::optional<Timestamp> Timestamp::fromIsoString(QStringView text)
{
    qsizetype pos = 0;
    const auto year = digits(text, pos, 4);
    if (!year || !expect(text, pos, u'-'))
        return std::nullopt;
    const auto month = digits(text, pos, 2);
    if (!month || !expect(text, pos, u'-'))
        return std::nullopt;
    const auto day = digits(text, pos, 2);
    if (!day || !expect(text, pos, u'T'))
        return std::nullopt;
    const auto hour = digits(text, pos, 2);
    if (!hour || !expect(text, pos, u':'))
        return std::nullopt;
    const auto minute = digits(text, pos, 2);
    if (!minute || !expect(text, pos, u':'))
        return std::nullopt;
    const auto second = digits(text, pos, 2);
    if (!second)
        return std::nullopt;
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23
        || *minute > 59 || *second > 60)
        return std::nullopt;

    qint64 nanos = 0;
    if (expect(text, pos, u'.')) {
        int count = 0;
        while (pos < text.size() && text[pos].isDigit() && text[pos].unicode() < 128) {
            if (count < 9) {
                nanos = nanos * 10 + (text[pos].unicode() - u'0');
                ++count;
            }
            ++pos;
        }
        if (count == 0)
            return std::nullopt;
        for (; count < 9; ++count)
            nanos *= 10;
    }

    qint64 offsetSeconds = 0;
    if (expect(text, pos, u'Z')) {
        // UTC
    } else if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        const int sign = text[pos] == u'-' ? -1 : 1;
        ++pos;
        const auto offHours = digits(text, pos, 2);
        if (!offHours)
            return std::nullopt;
        expect(text, pos, u':');
        const auto offMinutes = digits(text, pos, 2);
        if (!offMinutes || *offHours > 23 || *offMinutes > 59)
            return std::nullopt;
        offsetSeconds = sign * (*offHours * 3600 + *offMinutes * 60);
    } else {
        return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;

    const qint64 seconds = daysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day)) * 86400
        + *hour * 3600 + *minute * 60 + *second - offsetSeconds;
    return fromUnix(seconds, nanos);
}

QDateTime Timestamp::toDateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(m_seconds * 1000 + m_nanoseconds / 1'000'000, QTimeZone::utc());
}
