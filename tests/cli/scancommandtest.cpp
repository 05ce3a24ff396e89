#include "samplefiles.h"
#include "support/testtree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class ScanCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exitStatusAndSummary_data();
    void exitStatusAndSummary();
    void jsonRecords();

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run run(const QByteArrayList &arguments) const;

    QTemporaryDir m_home;
};

ScanCommandTest::Run ScanCommandTest::run(const QByteArrayList &arguments) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "LANG", "LC_ALL", "LC_NUMERIC", "LANGUAGE" })
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("HOME"), m_home.path());
    for (const char *name : { "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME" })
        environment.insert(QString::fromLatin1(name), m_home.path() + u'/' + QString::fromLatin1(name));
    QStringList args;
    for (const QByteArray &argument : arguments)
        args.append(QFile::decodeName(argument));

    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TESSARY_BINARY), args);
    Run result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void ScanCommandTest::exitStatusAndSummary_data()
{
    QTest::addColumn<QByteArrayList>("arguments"); // "@name" stands for that folder of the test tree
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("summary"); // last line of standard output; empty: no output

    QTest::newRow("counts after the records")
        << QByteArrayList { "scan", "@r" } << 0 << QByteArray("2 files \xc2\xb7 1 skipped");
    QTest::newRow("limit reached") << QByteArrayList { "scan", "--limit=2", "@q" } << 0
                                   << QByteArray("2 files \xc2\xb7 2-file limit reached");
    QTest::newRow("missing folder among others") << QByteArrayList { "scan", "@missing",
        "@r" } << 1 << QByteArray("2 files \xc2\xb7 1 skipped \xc2\xb7 1 inaccessible locations/items");
    QTest::newRow("plain file given as a folder") << QByteArrayList { "scan", "@q/one.txt" } << 1
                                                  << QByteArray("0 files \xc2\xb7 1 inaccessible locations/items");
    QTest::newRow("folder beginning with a dash after --")
        << QByteArrayList { "scan", "--", "@-d" } << 0 << QByteArray("1 files");
    QTest::newRow("no folder") << QByteArrayList { "scan" } << 2 << QByteArray();
    QTest::newRow("unknown option") << QByteArrayList { "scan", "--bogus", "@r" } << 2 << QByteArray();
    QTest::newRow("limit zero") << QByteArrayList { "scan", "--limit", "0", "@r" } << 2 << QByteArray();
    QTest::newRow("unknown command") << QByteArrayList { "frobnicate", "@r" } << 2 << QByteArray();
}

void ScanCommandTest::exitStatusAndSummary()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, summary);

    TestTree tree;
    tree.file("r/a.txt", "a");
    tree.file("r/b/c.txt", "c");
    tree.symlink("r/link", tree.path("r/a.txt"));
    for (const char *name : { "q/one.txt", "q/two.txt", "q/three.txt", "-d/x.txt" })
        tree.file(name);
    for (QByteArray &argument : arguments) {
        if (argument.startsWith('@'))
            argument = tree.path(argument.mid(1));
    }

    const Run result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.out.trimmed().split('\n').last(), summary);
    QCOMPARE(result.err.isEmpty(), exitCode == 0);
}

void ScanCommandTest::jsonRecords()
{
    TestTree tree;
    const QByteArray notes = tree.file("r/notes.txt", "hello world");
    tree.setModified("r/notes.txt", Timestamp::fromUnix(1622548800, 123456789));
    const bool attributes = tree.setAttribute("r/notes.txt", "user.xdg.origin.url", "https://Example.org/notes")
        && tree.setAttribute("r/notes.txt", "user.xdg.tags", "Red,,Blue");
    const QByteArray odd = tree.file("r/\xff odd.txt");
    const QByteArray quoted = tree.file("r/say \"hi\"\\\tnow\n.txt");
    const QByteArray tone = tree.file("r/tone.wav", SampleFiles::wav(2000));

    // A limit equal to the number of files is reached with the last one.
    const Run result = run({ "scan", "--json", "--limit", "4", tree.path("r") });
    QCOMPARE(result.exitCode, 0);
    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(result.out, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(document.value(u"skipped").toInt(-1), 0);
    QCOMPARE(document.value(u"errors").toInt(-1), 0);
    QCOMPARE(document.value(u"truncated"), QJsonValue(true));

    QStringList keys = { QStringLiteral("path"), QStringLiteral("url"), QStringLiteral("kind"), QStringLiteral("size"),
        QStringLiteral("modified"), QStringLiteral("created"), QStringLiteral("isCloudOnly"),
        QStringLiteral("isPackage"), QStringLiteral("source"), QStringLiteral("identity"), QStringLiteral("added"),
        QStringLiteral("lastUsed"), QStringLiteral("tags"), QStringLiteral("camera"), QStringLiteral("dimensions"),
        QStringLiteral("duration"), QStringLiteral("spotlightText") };
    keys.sort();
    QHash<QByteArray, QJsonObject> byPath;
    for (const auto &value : document.value(u"files").toArray()) {
        const QJsonObject file = value.toObject();
        QCOMPARE(file.keys(), keys);
        // The URL is the lossless form of the path; the path is its display text.
        const QString url = file.value(u"url").toString();
        QVERIFY(url.startsWith(u"file:///"));
        const QByteArray path = QByteArray::fromPercentEncoding(url.mid(7).toLatin1());
        QCOMPARE(file.value(u"path").toString(), QString::fromUtf8(path));
        byPath.insert(path, file);
    }
    QCOMPARE(byPath.size(), 4);
    QVERIFY(byPath.contains(odd) && byPath.contains(quoted));

    const QJsonObject n = byPath.value(notes);
    QCOMPARE(n.value(u"url").toString(), QString::fromLatin1("file://" + notes.toPercentEncoding("/")));
    QCOMPARE(n.value(u"kind").toString(), QStringLiteral("Documents"));
    QCOMPARE(n.value(u"size").toInteger(), 11);
    QCOMPARE(n.value(u"modified").toString(), QStringLiteral("2021-06-01T12:00:00.123456789Z"));
    QVERIFY(Timestamp::fromIsoString(n.value(u"created").toString()).has_value());
    QCOMPARE(n.value(u"isCloudOnly"), QJsonValue(false));
    struct stat st
    {
    };
    QCOMPARE(::lstat(notes.constData(), &st), 0);
    QCOMPARE(n.value(u"identity").toString(), QString::number(quint64(st.st_dev)) + u':' + QString::number(st.st_ino));
    for (const char16_t *absent : { u"lastUsed", u"camera", u"dimensions", u"duration" })
        QVERIFY2(n.value(absent).isNull(), qPrintable(QString::fromUtf16(absent)));
    if (attributes) {
        QCOMPARE(n.value(u"source").toString(), QStringLiteral("example.org"));
        QCOMPARE(n.value(u"tags").toArray(), (QJsonArray { QStringLiteral("Red"), QStringLiteral("Blue") }));
    }
    QVERIFY(byPath.value(odd).value(u"url").toString().endsWith(u"/%FF%20odd.txt"));
    QVERIFY(byPath.value(odd).value(u"source").isNull());
    QCOMPARE(byPath.value(tone).value(u"duration").toDouble(), 2.0);
}

QTEST_GUILESS_MAIN(ScanCommandTest)
#include "scancommandtest.moc"
