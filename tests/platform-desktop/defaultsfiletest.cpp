#include "platform/desktop/defaultsfile.h"

#include "support/testtree.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Permission bits of the entry itself, or -1 when there is none.
int modeOf(const QByteArray &path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

QJsonObject objectIn(const QByteArray &path)
{
    return QJsonDocument::fromJson(readAll(path)).object();
}

// Every typed read that finds a value under `key`, e.g. "number:2 integer:2 plain" (plain: the
// lenient Boolean read gives true).
QString readsOf(const DefaultsFile &file, const QString &key)
{
    QStringList reads;
    if (const auto value = file.boolean(key))
        reads << QStringLiteral("boolean:") + (*value ? u"true" : u"false");
    if (const auto value = file.number(key))
        reads << QStringLiteral("number:") + QString::number(*value);
    if (const auto value = file.integer(key))
        reads << QStringLiteral("integer:") + QString::number(*value);
    if (const auto value = file.string(key))
        reads << QStringLiteral("string:") + *value;
    if (const auto value = file.stringList(key))
        reads << QStringLiteral("stringList:") + value->join(u',');
    if (const auto value = file.date(key))
        reads << QStringLiteral("date:") + value->toIsoString();
    if (const auto value = file.dataList(key)) {
        QStringList blobs;
        for (const QByteArray &blob : *value)
            blobs << QString::fromLatin1(blob.toHex());
        reads << QStringLiteral("dataList:") + blobs.join(u',');
    }
    if (file.plainBoolean(key))
        reads << QStringLiteral("plain");
    return reads.join(u' ');
}

} // namespace

class DefaultsFileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_environment;

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *variable : { "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" })
            qputenv(variable, QFile::encodeName(m_environment.path()) + '/' + variable);
    }

    void everyTypeRoundTrips()
    {
        TestTree tree;
        const QString path = QFile::decodeName(tree.path("defaults.json"));
        const QString text = QStringLiteral("a \"b\"\\\n\U0001F600");
        const QStringList strings { QString(), QStringLiteral("kind:image big"), QStringLiteral("\u00fcn\u00efcode") };
        const Timestamp date = Timestamp::fromUnix(1709642096, 123456789);
        const QByteArrayList blobs { QByteArray("\0\xff\n", 3), QByteArray(), QByteArray("bookmark") };
        const qint64 beyondDouble = 9007199254740993;
        {
            DefaultsFile writer(path);
            QVERIFY(writer.setBoolean(QStringLiteral("false"), false));
            QVERIFY(writer.setNumber(QStringLiteral("fraction"), 0.1));
            QVERIFY(writer.setNumber(QStringLiteral("subnormal"), 5e-324));
            QVERIFY(writer.setInteger(QStringLiteral("beyondDouble"), beyondDouble));
            QVERIFY(writer.setString(QStringLiteral("text"), text));
            QVERIFY(writer.setStringList(QStringLiteral("strings"), strings));
            QVERIFY(writer.setDate(QStringLiteral("date"), date));
            QVERIFY(writer.setDate(QStringLiteral("distantPast"), Timestamp::distantPast()));
            QVERIFY(writer.setDataList(QStringLiteral("blobs"), blobs));
            QCOMPARE(writer.lastError(), QString());
        }
        const DefaultsFile reader(path);
        QCOMPARE(reader.boolean(QStringLiteral("false")), false);
        QCOMPARE(reader.number(QStringLiteral("fraction")), 0.1);
        QCOMPARE(reader.number(QStringLiteral("subnormal")), 5e-324);
        QCOMPARE(reader.integer(QStringLiteral("beyondDouble")), beyondDouble);
        QCOMPARE(reader.string(QStringLiteral("text")), text);
        QCOMPARE(reader.stringList(QStringLiteral("strings")), strings);
        QCOMPARE(reader.date(QStringLiteral("date")), date);
        QCOMPARE(reader.date(QStringLiteral("distantPast")), Timestamp::distantPast());
        QCOMPARE(reader.dataList(QStringLiteral("blobs")), blobs);
        // Each value reads back as its own type only.
        QCOMPARE(readsOf(reader, QStringLiteral("false")), QStringLiteral("boolean:false"));
        QCOMPARE(readsOf(reader, QStringLiteral("fraction")), QStringLiteral("number:0.1 plain"));
        QCOMPARE(readsOf(reader, QStringLiteral("date")), QStringLiteral("date:2024-03-05T12:34:56.123456789Z"));
        QCOMPARE(readsOf(reader, QStringLiteral("blobs")), QStringLiteral("dataList:00ff0a,,626f6f6b6d61726b"));
        QCOMPARE(modeOf(tree.path("defaults.json")), 0600);
    }

    // Values written by hand or by another program: only a value of the exact type reads back.
    void foreignValues_data()
    {
        QTest::addColumn<QByteArray>("json"); // empty: the key is missing
        QTest::addColumn<QString>("reads");

        QTest::newRow("missing") << QByteArray() << QString();
        QTest::newRow("true") << QByteArray("true") << QStringLiteral("boolean:true plain");
        QTest::newRow("zero") << QByteArray("0") << QStringLiteral("number:0 integer:0");
        QTest::newRow("negative fraction") << QByteArray("-0.5") << QStringLiteral("number:-0.5 plain");
        QTest::newRow("whole number with exponent")
            << QByteArray("1e3") << QStringLiteral("number:1000 integer:1000 plain");
        QTest::newRow("too large for an integer") << QByteArray("1e300") << QStringLiteral("number:1e+300 plain");
        QTest::newRow("string TRUE") << QByteArray("\"TRUE\"") << QStringLiteral("string:TRUE plain");
        QTest::newRow("string Yes") << QByteArray("\"Yes\"") << QStringLiteral("string:Yes plain");
        QTest::newRow("string on") << QByteArray("\"on\"") << QStringLiteral("string:on");
        QTest::newRow("string with a blank") << QByteArray("\" yes\"") << QStringLiteral("string: yes");
        QTest::newRow("empty array") << QByteArray("[]") << QStringLiteral("stringList: dataList:");
        QTest::newRow("string list with a number") << QByteArray("[\"a\", 1]") << QString();
        QTest::newRow("date with offset") << QByteArray("{\"date\": \"2024-03-05T13:34:56.5+01:00\"}")
                                          << QStringLiteral("date:2024-03-05T12:34:56.500000000Z");
        QTest::newRow("date with another member")
            << QByteArray("{\"date\": \"2024-03-05T12:34:56Z\", \"zone\": 1}") << QString();
        QTest::newRow("data list") << QByteArray("[{\"data\": \"AAEC\"}, {\"data\": \"\"}]")
                                   << QStringLiteral("dataList:000102,");
        QTest::newRow("data that is not base64") << QByteArray("[{\"data\": \"@@@@\"}]") << QString();
        QTest::newRow("data list with a string") << QByteArray("[{\"data\": \"AA==\"}, \"AA==\"]") << QString();
    }

    void foreignValues()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reads);
        TestTree tree;
        const QByteArray contents = json.isEmpty() ? QByteArray("{}") : "{\"key\": " + json + '}';
        const DefaultsFile file(QFile::decodeName(tree.file("defaults.json", contents)));
        QCOMPARE(readsOf(file, QStringLiteral("key")), reads);
    }

    void corruptFileIsLeftAloneUntilWritten_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("not json") << QByteArray("tileSize=170\n");
        QTest::newRow("array") << QByteArray("[{\"tileSize\": 170}]");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << QByteArray("\0\xff\xfe{", 4);
    }

    void corruptFileIsLeftAloneUntilWritten()
    {
        QFETCH(QByteArray, contents);
        TestTree tree;
        const QByteArray path = tree.file("defaults.json", contents);

        DefaultsFile file(QFile::decodeName(path));
        QVERIFY(!file.contains(QStringLiteral("tileSize")));
        QCOMPARE(file.number(QStringLiteral("tileSize")), std::nullopt);
        QCOMPARE(readAll(path), contents);
        QCOMPARE(modeOf(path), 0644);

        QVERIFY(file.setBoolean(QStringLiteral("minimal"), true));
        QCOMPARE(objectIn(path), (QJsonObject { { QStringLiteral("minimal"), true } }));
        QCOMPARE(modeOf(path), 0600);
    }

    void rewriteKeepsOtherKeys()
    {
        TestTree tree;
        const QByteArray path
            = tree.file("defaults.json", R"({"tileSize": 120, "futureSetting": {"nested": [1, "two", null]}})");

        DefaultsFile file(QFile::decodeName(path));
        QVERIFY(file.setString(QStringLiteral("appearance"), QStringLiteral("Dark")));

        QCOMPARE(objectIn(path),
            QJsonDocument::fromJson(R"({"tileSize": 120, "futureSetting": {"nested": [1, "two", null]},
                                             "appearance": "Dark"})")
                .object());
        QCOMPARE(modeOf(path), 0600);
    }

    void missingFoldersAreCreatedPrivately()
    {
        TestTree tree;
        qputenv("XDG_CONFIG_HOME", tree.path("config"));
        DefaultsFile file;
        QCOMPARE(file.path(), QFile::decodeName(tree.path("config/tessary/defaults.json")));
        QCOMPARE(modeOf(tree.path("config")), -1);

        QVERIFY(file.setInteger(QStringLiteral("hotKeyCode"), 49));
        QCOMPARE(modeOf(tree.path("config")), 0700);
        QCOMPARE(modeOf(tree.path("config/tessary")), 0700);
        QCOMPARE(modeOf(tree.path("config/tessary/defaults.json")), 0600);
        QCOMPARE(DefaultsFile().integer(QStringLiteral("hotKeyCode")), 49);
    }

    void symlinkAtTemporaryNameIsNotFollowed()
    {
        TestTree tree;
        const QByteArray victim = tree.file("victim", "precious");
        tree.symlink("defaults.json.tmp", victim);

        DefaultsFile file(QFile::decodeName(tree.path("defaults.json")));
        QVERIFY2(file.setBoolean(QStringLiteral("minimal"), true), qPrintable(file.lastError()));
        QCOMPARE(readAll(victim), QByteArray("precious"));
        QCOMPARE(DefaultsFile(file.path()).boolean(QStringLiteral("minimal")), true);
    }

    void failedWriteKeepsValueInMemory_data()
    {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<unsigned>("folderMode");
        QTest::newRow("read-only folder") << QByteArray("settings") << 0500u;
        QTest::newRow("folder is a file") << QByteArray("plain") << 0u;
    }

    void failedWriteKeepsValueInMemory()
    {
        QFETCH(QByteArray, folder);
        QFETCH(unsigned, folderMode);
        TestTree tree;
        QByteArray path;
        if (folderMode != 0) {
            if (::geteuid() == 0)
                QSKIP("Permissions do not stop the superuser");
            path = tree.file(folder + "/defaults.json", R"({"appearance": "Light"})");
            tree.setMode(folder, folderMode);
        } else {
            tree.file(folder, "not a folder");
            path = tree.path(folder + "/defaults.json");
        }
        const QByteArray before = readAll(path);

        DefaultsFile file(QFile::decodeName(path));
        QVERIFY(!file.setString(QStringLiteral("appearance"), QStringLiteral("Dark")));
        QVERIFY2(file.lastError().contains(file.path()), qPrintable(file.lastError()));
        QCOMPARE(file.string(QStringLiteral("appearance")), QStringLiteral("Dark"));
        QCOMPARE(readAll(path), before);
        if (folderMode != 0)
            tree.setMode(folder, 0700);
    }

    void nonFiniteNumbersAreRefused()
    {
        TestTree tree;
        DefaultsFile file(QFile::decodeName(tree.path("defaults.json")));
        for (const double value :
            { std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity() }) {
            QVERIFY(!file.setNumber(QStringLiteral("tileSize"), value));
            QVERIFY(!file.lastError().isEmpty());
        }
        QVERIFY(!file.contains(QStringLiteral("tileSize")));
        QCOMPARE(modeOf(tree.path("defaults.json")), -1);
    }
};

QTEST_GUILESS_MAIN(DefaultsFileTest)
#include "defaultsfiletest.moc"
