#include "ui/sections/sectiontext.h"

#include <QTest>

class SectionTextTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void browserTitle_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("expected");
        QTest::newRow("kind") << QString() << QStringLiteral("Images") << QStringLiteral("Images");
        QTest::newRow("folder: last component") << QString() << QStringLiteral("folder:/home/ada/Projects/Tessary")
                                                << QStringLiteral("Tessary");
        QTest::newRow("folder: trailing slash") << QString() << QStringLiteral("folder:/home/ada/Music/")
                                                << QStringLiteral("Music");
        QTest::newRow("folder: root") << QString() << QStringLiteral("folder:/") << QStringLiteral("/");
        QTest::newRow("source: name only") << QString() << QStringLiteral("source:github.com") << QStringLiteral("github.com");
        QTest::newRow("source: name with colon") << QString() << QStringLiteral("source:a:b") << QStringLiteral("a:b");
        QTest::newRow("query wins over folder") << QStringLiteral("pdfs") << QStringLiteral("folder:/x/y")
                                                << QStringLiteral("Search results");
    }
    void browserTitle()
    {
        QFETCH(QString, query);
        QFETCH(QString, destination);
        QFETCH(QString, expected);
        const std::optional<Destination> place = Destination::fromKey(destination);
        QVERIFY(place);
        QCOMPARE(SectionText::browserTitle(query, *place), expected);
    }
};

QTEST_GUILESS_MAIN(SectionTextTest)
#include "sectiontexttest.moc"
