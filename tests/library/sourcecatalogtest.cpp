#include "library/sourcecatalog.h"

#include <QTest>

class SourceCatalogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void name_data();
    void name();
};

void SourceCatalogTest::name_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("expected");

    QTest::newRow("catalogue host") << QStringLiteral("drive.google.com") << QStringLiteral("Google Drive");
    QTest::newRow("sub-domain") << QStringLiteral("files.slack.com") << QStringLiteral("Slack");
    QTest::newRow("deep sub-domain") << QStringLiteral("a.b.githubusercontent.com") << QStringLiteral("GitHub");
    QTest::newRow("www of a catalogue host") << QStringLiteral("www.x.com") << QStringLiteral("X");
    QTest::newRow("upper-case catalogue host") << QStringLiteral("MAIL.GOOGLE.COM") << QStringLiteral("Gmail");
    QTest::newRow("look-alike suffix") << QStringLiteral("notslack.com") << QStringLiteral("notslack.com");
    QTest::newRow("look-alike of a one-letter host") << QStringLiteral("box.com") << QStringLiteral("box.com");
    QTest::newRow("catalogue host inside another domain")
        << QStringLiteral("slack.com.evil.example") << QStringLiteral("slack.com.evil.example");
    QTest::newRow("parent of a catalogue host") << QStringLiteral("google.com") << QStringLiteral("google.com");
    QTest::newRow("www prefix removed, lower-cased")
        << QStringLiteral("WWW.Example.com") << QStringLiteral("example.com");
    QTest::newRow("www prefix removed once")
        << QStringLiteral("www.www.example.com") << QStringLiteral("www.example.com");
    QTest::newRow("www elsewhere kept") << QStringLiteral("cdn.www.example.com")
                                        << QStringLiteral("cdn.www.example.com");
    QTest::newRow("www without its dot kept") << QStringLiteral("wwwexample.com") << QStringLiteral("wwwexample.com");
}

void SourceCatalogTest::name()
{
    QFETCH(QString, host);
    QFETCH(QString, expected);
    QCOMPARE(SourceCatalog::name(host), expected);
}

QTEST_GUILESS_MAIN(SourceCatalogTest)
#include "sourcecatalogtest.moc"
