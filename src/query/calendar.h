#pragma once

#include "platform/timestamp.h"

#include <QDate>
#include <QTimeZone>

#include <optional>

// The time zone and first day of the week that relative dates ("last week", "in march") are
// measured in. A plain value; every operation is pure and safe on any thread.
//
// The calendar represents the local dates of years 1 to 9999. An operation whose result would
// fall outside that range fails (returns nothing) instead of wrapping around.
class Calendar
{
public:
    enum class Unit { days, weeks, months, years };

    Calendar(const QTimeZone &timeZone, Qt::DayOfWeek firstWeekday);

    // The user's calendar: the zone named by TZ (or the system's), and the first weekday of the
    // time locale (LC_ALL, LC_TIME, LANG). UTC when the zone cannot be read.
    static Calendar current();
    // The zone named by TZ, or else the system's. Cheap when called again.
    static QTimeZone systemTimeZone();

    const QTimeZone &timeZone() const { return m_timeZone; }
    Qt::DayOfWeek firstWeekday() const { return m_firstWeekday; }

    // The local date of an instant.
    std::optional<QDate> dateOf(const Timestamp &instant) const;
    // The first instant of a local date: midnight, or the first valid time after it when a
    // daylight-saving change skips midnight.
    std::optional<Timestamp> startOfDay(const QDate &date) const;
    // The instant at which the local clock reads `secondOfDay` on `date`: the first of two when
    // the clock is turned back over it, and as far past the change as the clock time was into
    // it when the clock is put forward over it (02:30 becomes 03:30).
    std::optional<Timestamp> instantOf(const QDate &date, qint64 secondOfDay) const;
    // The first day of the week that contains `date`.
    std::optional<QDate> startOfWeek(const QDate &date) const;
    // `instant` moved by `amount` units on the local clock: the time of day is kept across
    // daylight-saving changes (see instantOf), and a month end is clamped (31 March minus one
    // month is the last day of February). Fractions of a second are kept.
    std::optional<Timestamp> adding(Unit unit, int amount, const Timestamp &instant) const;
    // The offset from UTC in seconds that the zone has at `instant`.
    int offsetFromUtc(const Timestamp &instant) const;

    // "2025-01-13T00:00:00+01:00": the local time of `instant` with the zone's offset; a
    // fraction of a second only when there is one, without trailing zeros.
    QString isoString(const Timestamp &instant) const;

    static bool representable(const QDate &date);

private:
    QTimeZone m_timeZone;
    Qt::DayOfWeek m_firstWeekday;
};
