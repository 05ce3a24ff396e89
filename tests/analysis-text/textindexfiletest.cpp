#include "analysis/text/textindexfile.h"

#include "platform/timestamp.h"
#include "support/testtree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <csignal>
#include <sys/resource.h>

class TextIndexFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<double>("modified");
        QTest::addColumn<QString>("text");

        QTest::newRow("whole-seconds") << QByteArray("/home/a/notes.txt") << 7.5e8 << QStringLiteral("plain");
        QTest::newRow("nanosecond-date") << QByteArray("/a.pdf")
                                         << Timestamp::fromUnix(1'717'171'717, 123'456'789).secondsSinceReferenceDate()
                                         << QString();
        QTest::newRow("before-2001") << QByteArray("/old.png") << -86'400.25 << QStringLiteral("x");
        QTest::newRow("tiny-fraction") << QByteArray("/b") << 0.1 + 0.2 << QStringLiteral("y");
        QTest::newRow("escapes") << QByteArray("/q\"uote\\d\n.txt") << 1.0
                                 << QStringLiteral("line\nnext\t\"q\" \\ \x01 \x1f end");
        QTest::newRow("non-ascii") << QByteArray("/Bilder/Straße 東京.jpg") << 2.0
                                   << QString::fromUtf8("Grüße 👋🏽 e\u0301");
        QTest::newRow("path-not-utf8") << QByteArray("/caf\xe9/\xff\xfe.txt") << 3.0 << QStringLiteral("z");
        QTest::newRow("path-with-escape-lookalike") << QByteArray("/a\\udcff.txt") << 4.0 << QString();
    }

    void roundTrip()
    {
        QFETCH(QByteArray, path);
        QFETCH(double, modified);
        QFETCH(QString, text);
        TextIndex index;
        index.insert(path, TextEntry { modified, 123'456'789'012, text, true });
        index.insert("/other", TextEntry { 1.0, 0, QString(), false });

        const QByteArray json = TextIndexFile::encode(index);
        const auto decoded = TextIndexFile::decode(json);
        QVERIFY(decoded);
        QCOMPARE(*decoded, index);
        // Exact bits, not just equality within a tolerance.
        QCOMPARE(std::bit_cast<quint64>(decoded->value(path).modified), std::bit_cast<quint64>(modified));
    }

    void numberForm_data()
    {
        QTest::addColumn<double>("modified");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("whole") << 752'000'000.0 << QByteArray("\"modified\":752000000,");
        QTest::newRow("half") << 0.5 << QByteArray("\"modified\":0.5,");
        QTest::newRow("shortest") << 0.1 << QByteArray("\"modified\":0.1,");
    }

    void numberForm()
    {
        QFETCH(double, modified);
        QFETCH(QByteArray, expected);
        TextIndex index;
        index.insert("/f", TextEntry { modified, 1, QString(), false });
        QCOMPARE(TextIndexFile::encode(index),
            QByteArray("{\"/f\":{") + expected + "\"size\":1,\"text\":\"\",\"partial\":false}}");
    }

    void decodesForeignLayout()
    {
        // Written by another encoder: spaces, members in another order, escaped slash, a key the
        // index does not use.
        const QByteArray json = " { \"\\/x\" : { \"partial\" : true , \"text\" : \"\\u00e9\\ud83d\\ude00\", "
                                "\"note\": [1, {\"a\": null}], \"size\" : 5, \"modified\" : 1.25e2 } } ";
        const auto decoded = TextIndexFile::decode(json);
        QVERIFY(decoded);
        QCOMPARE(decoded->value("/x"), (TextEntry { 125.0, 5, QString::fromUtf8("é😀"), true }));
    }

    // Large indexes are decoded on several threads: the result must not depend on that.
    void largeIndexDecodesLikeSmallOne_data()
    {
        QTest::addColumn<int>("badMember"); // -1: none
        QTest::newRow("all-valid") << -1;
        QTest::newRow("invalid-first") << 0;
        QTest::newRow("invalid-last") << 2999;
    }

    void largeIndexDecodesLikeSmallOne()
    {
        QFETCH(int, badMember);
        QByteArray json = "{";
        for (int i = 0; i < 3000; ++i) {
            const QByteArray size = i == badMember ? "\"bad\"" : QByteArray::number(i);
            // Every tenth path repeats an earlier one: the last value in the file wins.
            const QByteArray path = "/f" + QByteArray::number(i % 10 == 9 ? i - 9 : i);
            json += (i ? "," : "")
                + ("\"" + path + "\":{\"modified\":1,\"size\":" + size + ",\"text\":\"line " + QByteArray::number(i)
                    + "\\nnext\",\"partial\":false}");
        }
        json += "}";
        const auto decoded = TextIndexFile::decode(json);
        QCOMPARE(bool(decoded), badMember < 0);
        if (!decoded)
            return;
        QCOMPARE(decoded->size(), 2700);
        QCOMPARE(decoded->value("/f0").size, 9);
        QCOMPARE(decoded->value("/f2990").text, QStringLiteral("line 2999\nnext"));
        QCOMPARE(decoded->value("/f1234").text, QStringLiteral("line 1234\nnext"));
    }

    void rejects_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray good = "{\"/a\":{\"modified\":1,\"size\":2,\"text\":\"t\",\"partial\":false}}";
        QTest::newRow("empty-file") << QByteArray();
        QTest::newRow("not-json") << QByteArray("hello");
        QTest::newRow("truncated") << good.left(good.size() - 5);
        QTest::newRow("array") << QByteArray("[]");
        QTest::newRow("trailing-garbage") << good + "x";
        QTest::newRow("size-is-string") << QByteArray(good).replace("\"size\":2", "\"size\":\"2\"");
        QTest::newRow("size-has-fraction") << QByteArray(good).replace("\"size\":2", "\"size\":2.5");
        QTest::newRow("partial-is-number") << QByteArray(good).replace("false", "0");
        QTest::newRow("text-missing") << QByteArray(good).replace("\"text\":\"t\",", "");
        QTest::newRow("partial-missing") << QByteArray(good).replace(",\"partial\":false", "");
        QTest::newRow("modified-null") << QByteArray(good).replace("\"modified\":1", "\"modified\":null");
        QTest::newRow("entry-not-object") << QByteArray("{\"/a\":5}");
        QTest::newRow("raw-control-in-text") << QByteArray(good).replace("\"t\"", "\"a\nb\"");
        QTest::newRow("bad-escape") << QByteArray(good).replace("\"t\"", "\"\\x\"");
        QTest::newRow("leading-zero") << QByteArray(good).replace("\"size\":2", "\"size\":02");
        QTest::newRow("size-too-large") << QByteArray(good).replace("\"size\":2", "\"size\":99999999999999999999");
        QTest::newRow("deep-unused-member") << QByteArray(good).replace(
            "\"size\"", QByteArray("\"x\":" + QByteArray(100, '[') + QByteArray(100, ']') + ",\"size\""));
    }

    void rejects()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!TextIndexFile::decode(json));
    }

    void loadOfUnreadableFileIsEmpty()
    {
        TestTree tree;
        const QString path = QFile::decodeName(tree.path("text-index.json"));
        QVERIFY(TextIndexFile::load(path).isEmpty());
        tree.file("text-index.json", "{\"/a\":{\"modified\":1,\"size\":2,\"text\":\"t\",\"partial\":fal");
        QVERIFY(TextIndexFile::load(path).isEmpty());
    }

    void saveIsPrivateAndReplacesAtomically()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("share/Quillon/text-index.json"));
        TextIndex first;
        first.insert("/a", TextEntry { 1.5, 2, QStringLiteral("one"), false });
        QVERIFY(TextIndexFile::save(first, path));
        QCOMPARE(modeOf(QFile::encodeName(path)), 0600);
        QCOMPARE(modeOf(QFile::encodeName(dir.filePath(QStringLiteral("share/Quillon")))), 0700);

        TextIndex second;
        second.insert("/b", TextEntry { 3, 4, QStringLiteral("two"), true });
        QVERIFY(TextIndexFile::save(second, path));
        QCOMPARE(TextIndexFile::load(path), second);
        // Only the index itself remains: no temporary file is left behind.
        QCOMPARE(QDir(dir.filePath(QStringLiteral("share/Quillon"))).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void failedWriteKeepsOldFile()
    {
        // A file-size limit makes writes fail the way a full disk does (EFBIG instead of ENOSPC).
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("text-index.json"));
        TextIndex old;
        old.insert("/a", TextEntry { 1, 2, QStringLiteral("keep"), false });
        QVERIFY(TextIndexFile::save(old, path));

        TextIndex large;
        large.insert("/big", TextEntry { 1, 2, QString(100'000, QLatin1Char('x')), false });
        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved4k = TextIndexFile::save(large, path);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!saved4k);
        QCOMPARE(TextIndexFile::load(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TextIndexFileTest)
#include "textindexfiletest.moc"
