#include "platform/timestamp.h"

#include <QTest>

#include <limits>

class TimestampTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseIso_data();
    void parseIso();
    void isoRoundTrip_data();
    void isoRoundTrip();
    void referenceDate();
};

void TimestampTest::parseIso_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // empty: rejected

    const QString noon = QStringLiteral("2024-03-05T12:14:56.000000000Z");
    QTest::newRow("whole seconds") << QStringLiteral("2024-03-05T12:14:56Z") << noon;
    QTest::newRow("one fraction digit") << QStringLiteral("2024-03-05T12:14:56.5Z")
                                        << QStringLiteral("2024-03-05T12:14:56.500000000Z");
    QTest::newRow("digits beyond nanoseconds dropped")
        << QStringLiteral("2024-03-05T12:14:56.1234567899Z") << QStringLiteral("2024-03-05T12:14:56.123456789Z");
    QTest::newRow("positive offset") << QStringLiteral("2024-03-05T14:14:56+02:00") << noon;
    QTest::newRow("offset crossing the date")
        << QStringLiteral("2024-03-04T23:14:56-12:30") << QStringLiteral("2024-03-05T11:44:56.000000000Z");
    QTest::newRow("offset without colon") << QStringLiteral("2024-03-05T14:14:56+0200") << noon;
    QTest::newRow("year one") << QStringLiteral("0001-01-01T00:00:00Z")
                              << QStringLiteral("0001-01-01T00:00:00.000000000Z");
    QTest::newRow("29 February of a leap year")
        << QStringLiteral("2024-02-29T00:00:00Z") << QStringLiteral("2024-02-29T00:00:00.000000000Z");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("no zone") << QStringLiteral("2024-03-05T12:14:56") << QString();
    QTest::newRow("space instead of T") << QStringLiteral("2024-03-05 12:14:56Z") << QString();
    QTest::newRow("hour 24") << QStringLiteral("2024-03-05T24:00:00Z") << QString();
    QTest::newRow("30 February") << QStringLiteral("2024-02-30T00:00:00Z") << QString();
    QTest::newRow("29 February of a common year") << QStringLiteral("2023-02-29T00:00:00Z") << QString();
    QTest::newRow("31 April") << QStringLiteral("2024-04-31T00:00:00Z") << QString();
    QTest::newRow("year zero") << QStringLiteral("0000-06-01T00:00:00Z") << QString();
    QTest::newRow("offset of 24 hours") << QStringLiteral("2024-03-05T12:14:56+24:00") << QString();
    QTest::newRow("dot without digits") << QStringLiteral("2024-03-05T12:14:56.Z") << QString();
    QTest::newRow("Arabic-Indic fraction digit") << QStringLiteral("2024-03-05T12:14:56.\u0661Z") << QString();
    QTest::newRow("trailing text") << QStringLiteral("2024-03-05T12:14:56Zjunk") << QString();
}

void TimestampTest::parseIso()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const auto parsed = Timestamp::fromIsoString(text);
    QCOMPARE(parsed ? parsed->toIsoString() : QString(), expected);
}

void TimestampTest::isoRoundTrip_data()
{
    QTest::addColumn<Timestamp>("time");
    QTest::addColumn<QString>("iso");

    QTest::newRow("distant past") << Timestamp::distantPast() << QStringLiteral("0001-01-01T00:00:00.000000000Z");
    QTest::newRow("one nanosecond before epoch")
        << Timestamp::fromUnix(0, -1) << QStringLiteral("1969-12-31T23:59:59.999999999Z");
    QTest::newRow("leap day with nanoseconds")
        << Timestamp::fromUnix(1709210096, 123456789) << QStringLiteral("2024-02-29T12:34:56.123456789Z");
    QTest::newRow("last instant of year 9999")
        << Timestamp::fromUnix(253402300799, 999999999) << QStringLiteral("9999-12-31T23:59:59.999999999Z");
}

void TimestampTest::isoRoundTrip()
{
    QFETCH(Timestamp, time);
    QFETCH(QString, iso);
    QCOMPARE(time.toIsoString(), iso);
    QVERIFY(Timestamp::fromIsoString(iso) == time);
}

void TimestampTest::referenceDate()
{
    // Around 2024 a double holds the fraction to about a tenth of a microsecond.
    const Timestamp recent = Timestamp::fromUnix(1717243200, 123456000);
    const Timestamp back = Timestamp::fromSecondsSinceReferenceDate(recent.secondsSinceReferenceDate());
    QCOMPARE(back.unixSeconds(), recent.unixSeconds());
    QVERIFY(qAbs(back.nanoseconds() - recent.nanoseconds()) <= 1000);

    const Timestamp before = Timestamp::fromUnix(Timestamp::kReferenceDateSeconds - 1, 500000000);
    QCOMPARE(before.secondsSinceReferenceDate(), -0.5);
    QVERIFY(Timestamp::fromSecondsSinceReferenceDate(-0.5) == before);
    QVERIFY(Timestamp::fromSecondsSinceReferenceDate(std::numeric_limits<double>::quiet_NaN()).isDistantPast());
    QVERIFY(Timestamp::fromSecondsSinceReferenceDate(1e300).isDistantPast());
}

QTEST_GUILESS_MAIN(TimestampTest)
#include "timestamptest.moc"
