#include "query/calendar.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr qint64 kSecondsPerDay = 86'400;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Instants this far out lie beyond every representable date in any zone; rejecting them first
// keeps the arithmetic below far from overflow.
bool plausible(const Timestamp &instant)
{
    constexpr qint64 kLimit = 400'000LL * 365 * kSecondsPerDay;
    return instant.unixSeconds() > -kLimit && instant.unixSeconds() < kLimit;
}

qint64 daysSinceEpoch(const QDate &date)
{
    return QDate(1970, 1, 1).daysTo(date);
}

} // namespace

Calendar::Calendar(const QTimeZone &timeZone, Qt::DayOfWeek firstWeekday)
    : m_timeZone(timeZone.isValid() ? timeZone : QTimeZone::utc())
    , m_firstWeekday(firstWeekday)
{ }

// Qt finds the system zone anew on every call, which costs more than parsing a search line.
// The zone is kept while what names it is unchanged: TZ, or else the zone file that
// /etc/localtime links to. Without that link nothing cheap shows a change, so nothing is kept.
QTimeZone Calendar::systemTimeZone()
{
    struct Cached
    {
        QByteArray key;
        QTimeZone zone;
    };
    thread_local Cached cached;
    QByteArray key = qgetenv("TZ");
    if (key.isNull()) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink("/etc/localtime", target, sizeof target);
        if (length <= 0)
            return QTimeZone::systemTimeZone();
        key = QByteArray("link:") + QByteArrayView(target, length);
    }
    if (cached.key != key || !cached.zone.isValid())
        cached = { key, QTimeZone::systemTimeZone() };
    return cached.zone;
}

Calendar Calendar::current()
{
    return Calendar(systemTimeZone(), QLocale::system().firstDayOfWeek());
}

bool Calendar::representable(const QDate &date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

int Calendar::offsetFromUtc(const Timestamp &instant) const
{
    if (!plausible(instant))
        return 0;
    return m_timeZone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(instant.unixSeconds(), QTimeZone::utc()));
}

std::optional<QDate> Calendar::dateOf(const Timestamp &instant) const
{
    if (!plausible(instant))
        return std::nullopt;
    const qint64 local = instant.unixSeconds() + offsetFromUtc(instant);
    const QDate date = QDate(1970, 1, 1).addDays(floorDiv(local, kSecondsPerDay));
    if (!representable(date))
        return std::nullopt;
    return date;
}

std::optional<Timestamp> Calendar::startOfDay(const QDate &date) const
{
    return instantOf(date, 0);
}

std::optional<Timestamp> Calendar::instantOf(const QDate &date, qint64 secondOfDay) const
{
    if (!representable(date))
        return std::nullopt;
    const qint64 local = daysSinceEpoch(date) * kSecondsPerDay + secondOfDay;
    // The offsets in force a day before and a day after cover a daylight-saving change.
    const int before = offsetFromUtc(Timestamp::fromUnix(local - kSecondsPerDay));
    const int after = offsetFromUtc(Timestamp::fromUnix(local + kSecondsPerDay));
    const qint64 early = local - std::max(before, after);
    const qint64 late = local - std::min(before, after);
    // A clock time that happens twice is its first instant. One that a change skips is read
    // with the offset before the change, which lands as far after the gap as it was into it.
    if (offsetFromUtc(Timestamp::fromUnix(early)) == local - early)
        return Timestamp::fromUnix(early);
    if (offsetFromUtc(Timestamp::fromUnix(late)) == local - late)
        return Timestamp::fromUnix(late);
    return Timestamp::fromUnix(local - before);
}

std::optional<QDate> Calendar::startOfWeek(const QDate &date) const
{
    if (!representable(date))
        return std::nullopt;
    const int back = (date.dayOfWeek() - m_firstWeekday + 7) % 7;
    const QDate start = date.addDays(-back);
    if (!representable(start))
        return std::nullopt;
    return start;
}

std::optional<Timestamp> Calendar::adding(Unit unit, int amount, const Timestamp &instant) const
{
    const auto date = dateOf(instant);
    if (!date)
        return std::nullopt;
    const qint64 local = instant.unixSeconds() + offsetFromUtc(instant);
    const qint64 secondOfDay = local - floorDiv(local, kSecondsPerDay) * kSecondsPerDay;
    QDate moved;
    switch (unit) {
    case Unit::days:
        moved = date->addDays(amount);
        break;
    case Unit::weeks:
        moved = date->addDays(qint64(amount) * 7);
        break;
    case Unit::months:
        moved = date->addMonths(amount);
        break;
    case Unit::years:
        moved = date->addYears(amount);
        break;
    }
    const auto result = instantOf(moved, secondOfDay);
    if (!result)
        return std::nullopt;
    return Timestamp::fromUnix(result->unixSeconds(), instant.nanoseconds());
}

QString Calendar::isoString(const Timestamp &instant) const
{
    int offset = offsetFromUtc(instant);
    // Local mean time offsets have seconds, which ISO-8601 cannot write: show UTC then.
    if (offset % 60 != 0)
        offset = 0;
    // Shifted by the offset, the UTC form shows the local wall-clock time.
    QString text = Timestamp::fromUnix(instant.unixSeconds() + offset, instant.nanoseconds()).toIsoString();
    text.chop(1); // "Z"
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    const int minutes = std::abs(offset) / 60;
    return text + QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}
