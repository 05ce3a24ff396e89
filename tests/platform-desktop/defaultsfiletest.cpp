#include "platform/desktop/defaultsfile.h"

#include "support/testtree.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>

class DefaultsFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyTypeRoundTripsIntoPrivateFolders()
    {
        TestTree tree;
        qputenv("XDG_CONFIG_HOME", tree.path("config"));
        const QString text = QStringLiteral("a \"b\"\\\n\U0001F600");
        const QByteArrayList blobs { QByteArray("\0\xff\n", 3), QByteArray() };
        const qint64 beyondDouble = 9007199254740993; // 2^53 + 1
        {
            DefaultsFile writer;
            QCOMPARE(writer.path(), QFile::decodeName(tree.path("config/tessary/defaults.json")));
            QVERIFY(writer.setNumber(QStringLiteral("subnormal"), 5e-324));
            QVERIFY(writer.setInteger(QStringLiteral("beyondDouble"), beyondDouble));
            QVERIFY(writer.setString(QStringLiteral("text"), text));
            QVERIFY(writer.setDate(QStringLiteral("date"), Timestamp::fromUnix(1709642096, 123456789)));
            QVERIFY(writer.setDataList(QStringLiteral("blobs"), blobs));
        }
        const DefaultsFile reader;
        QCOMPARE(reader.number(QStringLiteral("subnormal")), 5e-324);
        QCOMPARE(reader.integer(QStringLiteral("beyondDouble")), beyondDouble);
        QCOMPARE(reader.string(QStringLiteral("text")), text);
        QCOMPARE(reader.date(QStringLiteral("date"))->toIsoString(), QStringLiteral("2024-03-05T12:34:56.123456789Z"));
        QCOMPARE(reader.dataList(QStringLiteral("blobs")), blobs);
        // Only a value of the exact type reads back: a fraction is no integer, a number no string.
        QCOMPARE(reader.integer(QStringLiteral("subnormal")), std::nullopt);
        QCOMPARE(reader.string(QStringLiteral("beyondDouble")), std::nullopt);
        QCOMPARE(reader.stringList(QStringLiteral("blobs")), std::nullopt);
        QCOMPARE(modeOf(tree.path("config")), 0700);
        QCOMPARE(modeOf(tree.path("config/tessary")), 0700);
        QCOMPARE(modeOf(tree.path("config/tessary/defaults.json")), 0600);
    }

    // A file that is not a JSON object reads as empty; the first write replaces it, keeping the keys
    // of one that is.
    void fileIsLeftAloneUntilWritten_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("not json") << QByteArray("tileSize=170\n");
        QTest::newRow("binary") << QByteArray("\0\xff\xfe{", 4);
        QTest::newRow("other keys kept") << QByteArray(R"({"tileSize": 120, "future": {"nested": [1, null]}})");
    }

    void fileIsLeftAloneUntilWritten()
    {
        QFETCH(QByteArray, contents);
        TestTree tree;
        const QByteArray path = tree.file("defaults.json", contents);
        DefaultsFile file(QFile::decodeName(path));
        QCOMPARE(readFile(path), contents);
        QVERIFY(file.setBoolean(QStringLiteral("minimal"), true));
        QJsonObject expected = QJsonDocument::fromJson(contents).object();
        expected.insert(QStringLiteral("minimal"), true);
        QCOMPARE(QJsonDocument::fromJson(readFile(path)).object(), expected);
        QCOMPARE(modeOf(path), 0600);
    }

    void symlinkAtTemporaryNameIsNotFollowed()
    {
        TestTree tree;
        const QByteArray victim = tree.file("victim", "precious");
        tree.symlink("defaults.json.tmp", victim);
        DefaultsFile file(QFile::decodeName(tree.path("defaults.json")));
        QVERIFY2(file.setBoolean(QStringLiteral("minimal"), true), qPrintable(file.lastError()));
        QCOMPARE(readFile(victim), QByteArray("precious"));
        QCOMPARE(DefaultsFile(file.path()).boolean(QStringLiteral("minimal")), true);
    }

    void failedWritesKeepTheValueInMemory()
    {
        TestTree tree;
        tree.file("plain", "not a folder");
        DefaultsFile file(QFile::decodeName(tree.path("plain/defaults.json")));
        QVERIFY(!file.setString(QStringLiteral("appearance"), QStringLiteral("Dark")));
        QVERIFY2(file.lastError().contains(file.path()), qPrintable(file.lastError()));
        QCOMPARE(file.string(QStringLiteral("appearance")), QStringLiteral("Dark"));
        // A number JSON cannot hold is refused outright.
        QVERIFY(!file.setNumber(QStringLiteral("tileSize"), std::nan("")));
        QVERIFY(!file.contains(QStringLiteral("tileSize")));
    }
};

QTEST_GUILESS_MAIN(DefaultsFileTest)
#include "defaultsfiletest.moc"
