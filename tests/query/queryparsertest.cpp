#include "query/filequery.h"

#include <QTest>

namespace {

Timestamp at(const char *iso)
{
    const auto time = Timestamp::fromIsoString(QString::fromLatin1(iso));
    if (!time)
        qFatal("bad time in test: %s", iso);
    return *time;
}

// Every field that differs from the empty query, in a fixed order, so that a row states the
// whole expected result in one line.
QString describe(const FileQuery &q, const Calendar &calendar)
{
    QStringList parts;
    QStringList kinds;
    for (const FileKind kind : q.kinds.toList())
        kinds << kind.rawValue();
    if (!kinds.isEmpty())
        parts << QStringLiteral("kinds=") + kinds.join(u',');
    if (!q.extensions.isEmpty())
        parts << QStringLiteral("ext=") + q.extensions.join(u',');
    if (q.screenshots)
        parts << QStringLiteral("screenshots");
    if (q.minSize)
        parts << QStringLiteral("min=") + QString::number(*q.minSize);
    if (q.maxSize)
        parts << QStringLiteral("max=") + QString::number(*q.maxSize);
    if (q.after)
        parts << QStringLiteral("after=") + calendar.isoString(*q.after);
    if (q.before)
        parts << QStringLiteral("before=") + calendar.isoString(*q.before);
    if (q.camera)
        parts << QStringLiteral("camera=") + *q.camera;
    if (q.source)
        parts << QStringLiteral("source=") + *q.source;
    if (!q.words.isEmpty())
        parts << QStringLiteral("words=") + q.words.join(u'|');
    if (!q.chips.isEmpty())
        parts << QStringLiteral("chips=") + q.chips.join(u'|');
    if (!q.tokens.isEmpty())
        parts << QStringLiteral("tokens=") + q.tokens.join(u'|');
    return parts.join(u' ');
}

const QTimeZone kBerlin(QByteArrayLiteral("Europe/Berlin"));
const char *const kWednesday = "2025-01-15T12:00:00+01:00";

} // namespace

class QueryParserTest : public QObject
{
    Q_OBJECT

private:
    // Columns shared by every recogniser's table.
    static void columns()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("now");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("firstWeekday");
        QTest::addColumn<QString>("expected");
    }
    static void row(const char *name, const char16_t *text, const char16_t *expected, const char *now = kWednesday,
        int firstWeekday = Qt::Monday, const char *zone = "Europe/Berlin")
    {
        QTest::newRow(name) << QString::fromUtf16(text) << QByteArray(now) << QByteArray(zone) << firstWeekday
                            << QString::fromUtf16(expected);
    }
    static void verify()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, now);
        QFETCH(QByteArray, zone);
        QFETCH(int, firstWeekday);
        QFETCH(QString, expected);
        const Calendar calendar { QTimeZone(zone), Qt::DayOfWeek(firstWeekday) };
        const FileQuery query(text, at(now.constData()), calendar);
        QCOMPARE(describe(query, calendar), expected);
        QCOMPARE(query.tokens.size(), query.chips.size());
    }

private Q_SLOTS:
    void kindsAndExtensions_data()
    {
        columns();
        row("pdfs over 5 mb", u"PDFs over 5 MB", u"ext=pdf min=5000000 chips=PDF|> 5 MB tokens=pdfs|over 5 mb");
        row("two kinds", u"images videos", u"kinds=Images,Videos chips=Images|Videos tokens=images|videos");
        row("extension chips follow the rows", u"zip pdf", u"ext=pdf,zip chips=PDF|ZIP tokens=pdf|zip");
        row("a kind is taken once", u"photos photos",
            u"kinds=Images words=photos chips=Images|Text: photos tokens=photos|photos");
        row("every kind row", u"apps archive docs songs",
            u"kinds=Music,Documents,Archives,Apps chips=Music|Documents|Archives|Apps tokens=songs|docs|archive|apps");
        row("whole words only", u"apple", u"words=apple chips=Text: apple tokens=apple");
        row("accented letter is part of the word", u"épdf", u"words=épdf chips=Text: épdf tokens=épdf");
        row("screenshots", u"Screenshot zip", u"ext=zip screenshots chips=ZIP|Screenshots tokens=zip|screenshot");
    }
    void kindsAndExtensions() { verify(); }

    void sizes_data()
    {
        columns();
        row("fraction", u"over 1.5 gb", u"min=1500000000 chips=> 1.5 GB tokens=over 1.5 gb");
        row("below one byte", u"over 0.0001 kb", u"min=0 chips=> 0.0001 KB tokens=over 0.0001 kb");
        row("beyond 64 bits", u"over 99999999 tb",
            u"min=9223372036854775807 chips=> 99999999 TB tokens=over 99999999 tb");
        row("beyond a double",
            u"over 1000000000000000000000000000000000000000000000000000000000000000000000000000000"
            u"000000000000000000000000000000000000000000000000000000000000000000000000000000000"
            u"000000000000000000000000000000000000000000000000000000000000000000000000000000000"
            u"000000000000000000000000000000000000000000000000000000000000000000000000000000000 kb",
            nullptr);
        row("both bounds", u"over 1 gb under 2 gb",
            u"min=1000000000 max=2000000000 chips=> 1 GB|< 2 GB tokens=over 1 gb|under 2 gb");
        row("chips in query order", u"under 2 gb over 1 gb",
            u"min=1000000000 max=2000000000 chips=< 2 GB|> 1 GB tokens=under 2 gb|over 1 gb");
        row("later bound wins", u"over 1 mb bigger than 3 mb",
            u"min=3000000 chips=> 1 MB|> 3 MB tokens=over 1 mb|bigger than 3 mb");
        row("no blank before the unit", u"bigger than 10mb", u"min=10000000 chips=> 10 MB tokens=bigger than 10mb");
        row("smaller than", u"smaller than 200 KB", u"max=200000 chips=< 200 KB tokens=smaller than 200 kb");
        row("digits of another script", u"over \u0665 mb", u"min=5000000 chips=> \u0665 MB tokens=over \u0665 mb");
        row("no comparison", u"5 mb", u"words=5|mb chips=Text: 5|Text: mb tokens=5|mb");
        row("unknown comparison", u"less than 5 mb",
            u"words=less|than|5|mb chips=Text: less|Text: than|Text: 5|Text: mb tokens=less|than|5|mb");
    }
    void sizes()
    {
        // The longest row checks only that a huge number saturates instead of overflowing.
        QFETCH(QString, expected);
        if (expected.isEmpty()) {
            QFETCH(QString, text);
            QCOMPARE(FileQuery(text, at(kWednesday)).minSize.value_or(-1), std::numeric_limits<qint64>::max());
            return;
        }
        verify();
    }

    void relativeDates_data()
    {
        columns();
        row("last week, weeks start on monday", u"last week",
            u"after=2025-01-06T00:00:00+01:00 before=2025-01-13T00:00:00+01:00 chips=Last week tokens=last week");
        row("last week, weeks start on sunday", u"last week",
            u"after=2025-01-05T00:00:00+01:00 before=2025-01-12T00:00:00+01:00 chips=Last week tokens=last week",
            kWednesday, Qt::Sunday);
        row("this week, monday", u"this week", u"after=2025-01-13T00:00:00+01:00 chips=This week tokens=this week");
        row("this week, sunday", u"this week", u"after=2025-01-12T00:00:00+01:00 chips=This week tokens=this week",
            kWednesday, Qt::Sunday);
        row("this week on its first instant", u"this week",
            u"after=2025-01-13T00:00:00+01:00 chips=This week tokens=this week", "2025-01-13T00:00:00+01:00");
        row("this week on its last day", u"this week",
            u"after=2025-01-13T00:00:00+01:00 chips=This week tokens=this week", "2025-01-19T23:59:59+01:00");
        row("yesterday", u"yesterday",
            u"after=2025-01-14T00:00:00+01:00 before=2025-01-15T00:00:00+01:00 chips=Yesterday tokens=yesterday");
        row("today", u"today", u"after=2025-01-15T00:00:00+01:00 chips=Today tokens=today");
        row("yesterday comes first in the chain", u"today yesterday",
            u"after=2025-01-14T00:00:00+01:00 before=2025-01-15T00:00:00+01:00 words=today "
            u"chips=Yesterday|Text: today tokens=yesterday|today");
        row("last month across the year", u"last month",
            u"after=2024-12-01T00:00:00+01:00 before=2025-01-01T00:00:00+01:00 chips=Last month tokens=last month");
        row("only one relative date", u"last week last month",
            u"after=2025-01-06T00:00:00+01:00 before=2025-01-13T00:00:00+01:00 words=last|month "
            u"chips=Last week|Text: last|Text: month tokens=last week|last|month");
        row("yesterday across daylight saving", u"yesterday",
            u"after=2024-03-31T00:00:00+01:00 before=2024-04-01T00:00:00+02:00 chips=Yesterday tokens=yesterday",
            "2024-04-01T10:00:00+02:00");
        row("last week across daylight saving", u"last week",
            u"after=2024-03-25T00:00:00+01:00 before=2024-04-01T00:00:00+02:00 chips=Last week tokens=last week",
            "2024-04-03T10:00:00+02:00");
        row("a day without midnight", u"today", u"after=2018-11-04T01:00:00-02:00 chips=Today tokens=today",
            "2018-11-04T12:00:00-02:00", Qt::Monday, "America/Sao_Paulo");
    }
    void relativeDates() { verify(); }

    void age_data()
    {
        const char *now = "2025-03-31T12:00:00.25+02:00";
        columns();
        row("weeks keep the clock time across daylight saving", u"older than 2 weeks",
            u"before=2025-03-17T12:00:00.25+01:00 chips=Older than 2 weeks tokens=older than 2 weeks", now);
        row("days", u"older than 10 days",
            u"before=2025-03-21T12:00:00.25+01:00 chips=Older than 10 days tokens=older than 10 days", now);
        row("a month from the 31st", u"older than 1 month",
            u"before=2025-02-28T12:00:00.25+01:00 chips=Older than 1 month tokens=older than 1 month", now);
        row("years", u"older than 3 years",
            u"before=2022-03-31T12:00:00.25+02:00 chips=Older than 3 years tokens=older than 3 years", now);
        row("four digits", u"older than 9999 days",
            u"before=1997-11-14T12:00:00.25+01:00 chips=Older than 9999 days tokens=older than 9999 days", now);
        row("five digits are words", u"older than 12345 days",
            u"words=older|than|12345|days chips=Text: older|Text: than|Text: 12345|Text: days "
            u"tokens=older|than|12345|days",
            now);
        row("a clock time the change skips", u"older than 1 day",
            u"before=2025-03-30T03:30:00+02:00 chips=Older than 1 day tokens=older than 1 day",
            "2025-03-31T02:30:00+02:00");
        row("a clock time that happens twice", u"older than 1 day",
            u"before=2024-10-27T02:30:00+02:00 chips=Older than 1 day tokens=older than 1 day",
            "2024-10-28T02:30:00+01:00");
        row("overrides a relative date", u"yesterday older than 1 week",
            u"after=2025-03-30T00:00:00+01:00 before=2025-03-24T12:00:00.25+01:00 "
            u"chips=Yesterday|Older than 1 week tokens=yesterday|older than 1 week",
            now);
    }
    void age() { verify(); }

    void namedMonth_data()
    {
        columns();
        row("a later month is last year's", u"in march",
            u"after=2024-03-01T00:00:00+01:00 before=2024-04-01T00:00:00+02:00 chips=March 2024 tokens=in march");
        row("the current month is this year's", u"in march",
            u"after=2025-03-01T00:00:00+01:00 before=2025-04-01T00:00:00+02:00 chips=March 2025 tokens=in march",
            "2025-03-15T12:00:00+01:00");
        row("december typed in june", u"in december",
            u"after=2024-12-01T00:00:00+01:00 before=2025-01-01T00:00:00+01:00 chips=December 2024 tokens=in december",
            "2025-06-15T12:00:00+02:00");
        row("january in january", u"from january",
            u"after=2025-01-01T00:00:00+01:00 before=2025-02-01T00:00:00+01:00 chips=January 2025 "
            u"tokens=from january");
        row("explicit year", u"from may 2023",
            u"after=2023-05-01T00:00:00+02:00 before=2023-06-01T00:00:00+02:00 chips=May 2023 tokens=from may 2023");
        row("a year outside 20xx is a word", u"in march 1999",
            u"after=2024-03-01T00:00:00+01:00 before=2024-04-01T00:00:00+02:00 words=1999 "
            u"chips=March 2024|Text: 1999 tokens=in march|1999");
        row("overrides the age", u"older than 2 days in june 2024",
            u"after=2024-06-01T00:00:00+02:00 before=2024-07-01T00:00:00+02:00 "
            u"chips=Older than 2 days|June 2024 tokens=older than 2 days|in june 2024");
    }
    void namedMonth() { verify(); }

    // Dates before year 1 are beyond the calendar: the row has no effect, or the rules of the
    // month row (no start, end left as it was) apply; nothing wraps around.
    void calendarLimits_data()
    {
        columns();
        row("last week before year 1", u"last week", u"", "0001-01-02T12:00:00Z", Qt::Sunday, "UTC");
        row("last week fails, the chain goes on", u"last week today",
            u"after=0001-01-02T00:00:00+00:00 chips=Today tokens=today", "0001-01-02T12:00:00Z", Qt::Sunday, "UTC");
        row("previous week before year 1", u"last week", u"", "0001-01-03T12:00:00Z", Qt::Monday, "UTC");
        row("last month before year 1", u"last month", u"", "0001-01-15T12:00:00Z", Qt::Monday, "UTC");
        row("9999 years back", u"older than 9999 years", u"", "2025-01-15T12:00:00Z", Qt::Monday, "UTC");
        row("9999 years back keeps an earlier end", u"yesterday older than 9999 years",
            u"after=2025-01-14T00:00:00+00:00 before=2025-01-15T00:00:00+00:00 chips=Yesterday tokens=yesterday",
            "2025-01-15T12:00:00Z", Qt::Monday, "UTC");
        row("a month in year 0", u"yesterday in december",
            u"before=0001-02-10T00:00:00+00:00 chips=Yesterday|December 0 tokens=yesterday|in december",
            "0001-02-10T12:00:00Z", Qt::Monday, "UTC");
    }
    void calendarLimits() { verify(); }

    void cameraAndSource_data()
    {
        columns();
        row("camera", u"photos from my iPhone",
            u"kinds=Images camera=iphone chips=Images|Camera: iphone tokens=photos|from my iphone");
        row("source", u"from gmail", u"source=gmail chips=From gmail tokens=from gmail");
        row("two-word source", u"from google drive",
            u"source=google drive chips=From google drive tokens=from google drive");
        row("domain", u"from files.example.co.uk",
            u"source=files.example.co.uk chips=From files.example.co.uk tokens=from files.example.co.uk");
        row("camera and source", u"videos from sony from slack",
            u"kinds=Videos camera=sony source=slack chips=Videos|Camera: sony|From slack "
            u"tokens=videos|from sony|from slack");
        row("a month is not a source", u"from march",
            u"after=2024-03-01T00:00:00+01:00 before=2024-04-01T00:00:00+02:00 chips=March 2024 tokens=from march");
        row("a phrase does not span a taken one", u"from pdf march",
            u"ext=pdf words=march chips=PDF|Text: march tokens=pdf|march");
    }
    void cameraAndSource() { verify(); }

    void freeWords_data()
    {
        columns();
        row("named", u"files named report", u"words=report chips=Text: report tokens=report");
        row("containing", u"files containing report", u"words=report chips=Text: report tokens=report");
        row("quotes", u"invoice \"acme\" file",
            u"words=invoice|acme chips=Text: invoice|Text: acme tokens=invoice|acme");
        row("apostrophes", u"'draft'", u"words=draft chips=Text: draft tokens=draft");
        row("only quotes", u"\"\" ''", u"");
        row("only stop words", u"the files with text", u"");
        row("tabs and line breaks", u"R\u00c9SUM\u00c9\tDraft\nfinal",
            u"words=r\u00e9sum\u00e9|draft|final chips=Text: r\u00e9sum\u00e9|Text: draft|Text: final "
            u"tokens=r\u00e9sum\u00e9|draft|final");
        row("empty", u"", u"");
        row("blank", u"  \n\t ", u"");
    }
    void freeWords() { verify(); }

    void chipOrder_data()
    {
        columns();
        row("every recogniser",
            u"notes from slack from my canon in march older than 1 week yesterday over 2 mb "
            u"screenshots pdf zip",
            u"ext=pdf,zip screenshots min=2000000 after=2024-03-01T00:00:00+01:00 before=2024-04-01T00:00:00+02:00 "
            u"camera=canon source=slack words=notes "
            u"chips=PDF|ZIP|Screenshots|> 2 MB|Yesterday|Older than 1 week|March 2024|Camera: canon|From slack|"
            u"Text: notes "
            u"tokens=pdf|zip|screenshots|over 2 mb|yesterday|older than 1 week|in march|from my canon|from "
            u"slack|notes");
    }
    void chipOrder() { verify(); }

    // The user's zone is kept between calls, but never after TZ names another one.
    void currentCalendarFollowsTz()
    {
        const QByteArray saved = qgetenv("TZ");
        for (const QByteArray zone : {"Europe/Berlin", "Asia/Tokyo", "Europe/Berlin"}) {
            qputenv("TZ", zone);
            QCOMPARE(Calendar::current().timeZone().id(), zone);
        }
        saved.isNull() ? qunsetenv("TZ") : qputenv("TZ", saved);
    }
};

QTEST_GUILESS_MAIN(QueryParserTest)
#include "queryparsertest.moc"
