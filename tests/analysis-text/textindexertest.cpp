#include "analysis/text/textindexer.h"

#include "analysis/text/textindexfile.h"
#include "platform/filestatus.h"
#include "support/testtree.h"

#include <QFile>
#include <QTest>

namespace {

FileRecord textRecord(
    TestTree &tree, const QByteArray &name, const QByteArray &contents, FileKind kind = FileKind::documents)
{
    FileRecord record;
    record.path = tree.file(name, contents);
    record.kind = kind;
    record.size = contents.size();
    record.modified = Timestamp::fromUnix(1'700'000'000, 250'000'000);
    tree.setModified(name, record.modified);
    return record;
}

} // namespace

class TextIndexerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reuse_data()
    {
        QTest::addColumn<qint64>("nanosecondsLater");
        QTest::addColumn<qint64>("sizeChange");
        QTest::addColumn<bool>("reused");
        QTest::newRow("unchanged") << qint64(0) << qint64(0) << true;
        QTest::newRow("date-one-microsecond-later") << qint64(1000) << qint64(0) << false;
        QTest::newRow("date-one-second-earlier") << qint64(-1'000'000'000) << qint64(0) << false;
        QTest::newRow("size-changed") << qint64(0) << qint64(1) << false;
    }

    void reuse()
    {
        QFETCH(qint64, nanosecondsLater);
        QFETCH(qint64, sizeChange);
        QFETCH(bool, reused);
        TestTree tree;
        FileRecord record = textRecord(tree, "notes.txt", "fresh words");
        // The old entry is partial and empty: that does not stop it from being reused.
        const TextEntry old { record.modified.secondsSinceReferenceDate(), record.size, QString(), true };
        TextIndex existing;
        existing.insert(record.path, old);
        record.modified
            = Timestamp::fromUnix(record.modified.unixSeconds(), record.modified.nanoseconds() + nanosecondsLater);
        record.size += sizeChange;

        const TextIndexResult result = TextIndexer::run({ record }, existing, { false, {}, 2 });
        QCOMPARE(result.entries.size(), 1);
        const TextEntry entry = result.entries.value(record.path);
        QCOMPARE(entry.text, reused ? QString() : QStringLiteral("fresh words"));
        QCOMPARE(entry.modified, record.modified.secondsSinceReferenceDate());
        QCOMPARE(result.partial, reused ? 1 : 0);
    }

    void candidatesFailuresAndProgress()
    {
        TestTree tree;
        QList<FileRecord> files;
        for (int i = 0; i < 22; ++i)
            files.append(textRecord(tree, "doc" + QByteArray::number(i) + ".txt", "text " + QByteArray::number(i)));
        files.insert(3, textRecord(tree, "song.mp3", "ID3", FileKind::music));
        files.insert(5, textRecord(tree, "broken.pdf", "not a pdf"));
        files.insert(7, textRecord(tree, "broken.png", "not an image", FileKind::images));
        FileRecord cloud = textRecord(tree, "cloud.txt", "x");
        cloud.isCloudOnly = true;
        files.append(cloud);

        QList<std::pair<int, int>> calls;
        const TextIndexResult result = TextIndexer::run(files, {}, { false, {}, 2 }, [&](int done, int total) {
            calls.append({ done, total });
        });
        QCOMPARE(result.failures, 2);
        QCOMPARE(result.entries.size(), 22);
        QCOMPARE(result.entries.value(tree.path("doc21.txt")).text, QStringLiteral("text 21"));
        QVERIFY(!result.entries.contains(tree.path("song.mp3")));
        QCOMPARE(calls, (QList<std::pair<int, int>> { { 1, 24 }, { 11, 24 }, { 21, 24 }, { 24, 24 } }));
    }

    void parallelEqualsSequential()
    {
        TestTree tree;
        QList<FileRecord> files;
        for (int i = 0; i < 40; ++i)
            files.append(textRecord(tree, "f" + QByteArray::number(i) + ".md", QByteArray(i * 100, 'a' + i % 26)));
        files.append(textRecord(tree, "bad.pdf", "x"));
        const TextIndexResult one = TextIndexer::run(files, {}, { false, {}, 1 });
        const TextIndexResult two = TextIndexer::run(files, {}, { false, {}, 2 });
        QCOMPARE(two.entries, one.entries);
        QCOMPARE(two.failures, one.failures);
    }

    void saving()
    {
        TestTree tree;
        const FileRecord record = textRecord(tree, "a.txt", "saved text");
        const QString file = QFile::decodeName(tree.path("data/Quillon/text-index.json"));

        TextIndexer::run({ record }, {}, { false, file, 2 });
        QVERIFY(!QFile::exists(file));

        std::stop_source stop;
        stop.request_stop();
        const TextIndexResult cancelled = TextIndexer::run({ record }, {}, { true, file, 2 }, {}, stop.get_token());
        QVERIFY(!QFile::exists(file));
        QVERIFY(cancelled.entries.isEmpty());

        const TextIndexResult result = TextIndexer::run({ record }, {}, { true, file, 2 });
        QCOMPARE(TextIndexer::load(file), result.entries);
    }

    void cacheLocationFollowsXdgDataHome()
    {
        TestTree tree;
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", tree.root());
        QCOMPARE(TextIndexer::cacheURL().toLocalFile(),
            QFile::decodeName(tree.root()) + QStringLiteral("/Quillon/text-index.json"));
        qputenv("XDG_DATA_HOME", saved);
    }
};

QTEST_MAIN(TextIndexerTest)
#include "textindexertest.moc"
