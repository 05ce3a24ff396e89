#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <compare>
#include <ctime>
#include <optional>

// An instant with nanosecond precision, as file systems record them.
//
// Dates of files are compared exactly, so a change of one nanosecond in a modification time
// must be visible; QDateTime keeps only milliseconds. The default value is the distant past
// (0001-01-01T00:00:00Z), which stands for "the system gave no date".
class Timestamp
{
public:
    constexpr Timestamp() = default;

    // Seconds and nanoseconds since 1970-01-01T00:00:00Z; nanoseconds are normalised into
    // [0, 1e9).
    static constexpr Timestamp fromUnix(qint64 seconds, qint64 nanoseconds = 0)
    {
        Timestamp t;
        seconds += nanoseconds / kNanosecondsPerSecond;
        nanoseconds %= kNanosecondsPerSecond;
        if (nanoseconds < 0) {
            nanoseconds += kNanosecondsPerSecond;
            --seconds;
        }
        t.m_seconds = seconds;
        t.m_nanoseconds = static_cast<qint32>(nanoseconds);
        return t;
    }
    static constexpr Timestamp distantPast() { return Timestamp(); }
    static Timestamp fromTimespec(const timespec &ts) { return fromUnix(ts.tv_sec, ts.tv_nsec); }
    static Timestamp fromDateTime(const QDateTime &dateTime);
    static Timestamp now();

    // Seconds since 2001-01-01T00:00:00Z as a double, the form the text index stores.
    double secondsSinceReferenceDate() const;
    static Timestamp fromSecondsSinceReferenceDate(double seconds);

    // "2024-03-05T12:34:56.123456789Z": UTC, always nine fraction digits, years 0001-9999.
    QString toIsoString() const;
    // Accepts "YYYY-MM-DDTHH:MM:SS[.fraction](Z|±HH:MM)"; the fraction may have 1-9 digits.
    static std::optional<Timestamp> fromIsoString(QStringView text);

    // Milliseconds are dropped below the precision of QDateTime.
    QDateTime toDateTime() const;

    constexpr qint64 unixSeconds() const { return m_seconds; }
    constexpr qint32 nanoseconds() const { return m_nanoseconds; }
    constexpr bool isDistantPast() const { return *this == distantPast(); }

    constexpr auto operator<=>(const Timestamp &) const = default;

    static constexpr qint64 kNanosecondsPerSecond = 1'000'000'000;
    // 0001-01-01T00:00:00Z in Unix seconds (proleptic Gregorian calendar).
    static constexpr qint64 kDistantPastSeconds = -62'135'596'800;
    // 2001-01-01T00:00:00Z in Unix seconds.
    static constexpr qint64 kReferenceDateSeconds = 978'307'200;

private:
    qint64 m_seconds = kDistantPastSeconds;
    qint32 m_nanoseconds = 0;
};
