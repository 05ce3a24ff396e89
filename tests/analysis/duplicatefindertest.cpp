#include "analysis/duplicatefinder.h"

#include "library/libraryscanner.h"
#include "support/testtree.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

namespace {

using Files = QList<QPair<QByteArray, QByteArray>>; // relative path, contents
using Groups = QList<QByteArrayList>; // relative paths per group, in result order

QByteArray pattern(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &c : bytes)
        c = static_cast<char>(generator.bounded(256));
    return bytes;
}

// Equal length and equal first and last 4 KiB, different somewhere in the middle.
QByteArray alteredMiddle(QByteArray bytes)
{
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5A);
    return bytes;
}

Groups relative(const QList<DuplicateGroup> &groups, const TestTree &tree)
{
    Groups result;
    for (const DuplicateGroup &group : groups) {
        QByteArrayList paths;
        for (const FileRecord &file : group.files)
            paths.append(file.path.mid(tree.root().size() + 1));
        result.append(paths);
    }
    return result;
}

} // namespace

class DuplicateFinderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void groups_data()
    {
        const QByteArray large = pattern(300'000, 1);
        const QByteArray huge = pattern(2'500'000, 2);
        QTest::addColumn<Files>("files");
        QTest::addColumn<Groups>("expected");
        QTest::newRow("same-size-different-contents") << Files { { "a", "12345" }, { "b", "54321" } } << Groups {};
        QTest::newRow("three-same-size-two-equal")
            << Files { { "a", "same!" }, { "b", "other" }, { "c", "same!" } } << Groups { { "a", "c" } };
        QTest::newRow("ordered-by-path-bytes") << Files { { "b/x.jpg", "photo" }, { "a/x.jpg", "photo" },
            { "B", "photo" } } << Groups { { "B", "a/x.jpg", "b/x.jpg" } };
        QTest::newRow("empty-files-never-group") << Files { { "a", "" }, { "b", "" } } << Groups {};
        QTest::newRow("large-equal-pair") << Files { { "a", large }, { "b", large } } << Groups { { "a", "b" } };
        QTest::newRow("large-head-and-tail-equal-middle-differs")
            << Files { { "a", large }, { "b", alteredMiddle(large) } } << Groups {};
        QTest::newRow("large-three-one-differs-in-middle")
            << Files { { "a", huge }, { "b", alteredMiddle(huge) }, { "c", huge } } << Groups { { "a", "c" } };
        QTest::newRow("large-last-byte-differs")
            << Files { { "a", large }, { "b", large.chopped(1) + char(large.back() ^ 1) } } << Groups {};
        QTest::newRow("largest-reclaimable-first") << Files { { "s1", "tiny" }, { "s2", "tiny" }, { "l1", large },
            { "l2", large }, { "m1", "medium!" }, { "m2", "medium!" }, { "m3", "medium!" } }
                                                   << Groups { { "l1", "l2" }, { "m1", "m2", "m3" }, { "s1", "s2" } };
    }

    void groups()
    {
        QFETCH(Files, files);
        QFETCH(Groups, expected);
        TestTree tree;
        for (const auto &[name, contents] : files)
            tree.file(name, contents);
        const ScanResult scan = LibraryScanner::scan({ tree.root() });
        const QList<DuplicateGroup> groups = DuplicateFinder::find(scan.files);
        QCOMPARE(relative(groups, tree), expected);
        for (const DuplicateGroup &group : groups)
            QCOMPARE(group.id(), group.files.first().path);
    }

    void cloudAndPackagesNeverTakePart()
    {
        TestTree tree;
        tree.file("local.txt", "contents");
        tree.file("cloud.txt", "contents");
        tree.file("Tool.app/inner", "contents");
        QList<FileRecord> records = LibraryScanner::scan({ tree.root() }).files;
        for (FileRecord &record : records)
            record.isCloudOnly = record.path.endsWith("cloud.txt");
        QVERIFY(DuplicateFinder::find(records).isEmpty());
    }

    // Many files that share sizes, first and last bytes, one byte changed here and there: the
    // grouping must equal the naive one that hashes every candidate, whichever way each set of
    // candidates is settled (hashed one by one, or compared side by side in one or many chunks).
    void matchesNaiveDigestGrouping_data()
    {
        QTest::addColumn<QList<qsizetype>>("sizes");
        QTest::addColumn<int>("count");
        QTest::newRow("mixed-sizes") << QList<qsizetype> { 70'000, 70'000, 1'200'000, 9 } << 200;
        QTest::newRow("sets-too-large-to-compare-side-by-side") << QList<qsizetype> { 20'000, 5'000 } << 300;
        QTest::newRow("side-by-side-in-many-small-chunks") << QList<qsizetype> { 1'500'000, 1'500'000 } << 40;
        QTest::newRow("tiny-files-sampled-whole") << QList<qsizetype> { 3, 3 } << 150;
    }

    void matchesNaiveDigestGrouping()
    {
        QFETCH(QList<qsizetype>, sizes);
        QFETCH(int, count);
        TestTree tree;
        QRandomGenerator generator(7);
        QList<QByteArray> bases;
        for (const qsizetype size : std::as_const(sizes))
            bases.append(pattern(size, quint32(bases.size() + 3)));
        for (int i = 0; i < count; ++i) {
            QByteArray contents = bases[generator.bounded(bases.size())];
            if (generator.bounded(3) == 0) {
                // Anywhere, the first and last bytes included, so every chunk gets its changes.
                const qsizetype at = generator.bounded(4) == 0 ? (generator.bounded(2) ? 0 : contents.size() - 1)
                                                               : generator.bounded(contents.size());
                contents[at] = static_cast<char>(generator.bounded(4));
            }
            tree.file("f" + QByteArray::number(i), contents);
        }
        const QList<FileRecord> records = LibraryScanner::scan({ tree.root() }).files;

        QHash<QString, QByteArrayList> byDigest;
        for (const FileRecord &record : records)
            byDigest[*DuplicateFinder::hash(record.path)].append(record.path);
        QSet<QByteArrayList> naive;
        for (QByteArrayList paths : std::as_const(byDigest)) {
            std::sort(paths.begin(), paths.end());
            if (paths.size() > 1)
                naive.insert(paths);
        }
        QSet<QByteArrayList> found;
        for (const DuplicateGroup &group : DuplicateFinder::find(records)) {
            QByteArrayList paths;
            for (const FileRecord &file : group.files)
                paths.append(file.path);
            found.insert(paths);
        }
        QVERIFY(naive.size() >= 2);
        QCOMPARE(found, naive);
    }

    // Files told apart by a key of their first and last 4 KiB before a full comparison, at the
    // sizes where those samples overlap, touch or leave a middle unread: a copy is never lost,
    // a file changed only in its middle never joins.
    void samplesAroundTheirBoundaries_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<int>("others"); // different files of the same size beside them
        for (const qsizetype size : { 4'095, 4'096, 4'097, 8'192, 8'193, 12'289, 200'001 }) {
            QTest::addRow("%lld-bytes", static_cast<long long>(size)) << size << 0;
            // Beyond the files compared side by side every file is sampled, and the sets are hashed.
            QTest::addRow("%lld-bytes-among-many", static_cast<long long>(size)) << size << 70;
        }
    }

    void samplesAroundTheirBoundaries()
    {
        QFETCH(qsizetype, size);
        QFETCH(int, others);
        const QByteArray base = pattern(size, 11);
        const QByteArray middle = alteredMiddle(base);
        QByteArray first = base;
        first[0] = static_cast<char>(first[0] ^ 1);
        QByteArray last = base;
        last[size - 1] = static_cast<char>(last[size - 1] ^ 1);
        TestTree tree;
        for (const auto &[name, contents] : Files {
                 { "base", base }, { "copy", base }, { "middle", middle }, { "middle-copy", middle },
                 { "first", first }, { "last", last } })
            tree.file(name, contents);
        for (int i = 0; i < others; ++i)
            tree.file("other" + QByteArray::number(i), pattern(size, quint32(100 + i)));
        const QList<DuplicateGroup> groups = DuplicateFinder::find(LibraryScanner::scan({ tree.root() }).files);
        QCOMPARE(relative(groups, tree), (Groups { { "base", "copy" }, { "middle", "middle-copy" } }));
    }

    void hashOfContents_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("abc") << QByteArray("abc");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("exactly-one-chunk") << pattern(1024 * 1024, 8);
        QTest::newRow("several-chunks-and-a-rest") << pattern(2 * 1024 * 1024 + 17, 9);
    }

    void hashOfContents()
    {
        QFETCH(QByteArray, contents);
        TestTree tree;
        const QByteArray path = tree.file("file", contents);
        const QString expected
            = QString::fromLatin1(QCryptographicHash::hash(contents, QCryptographicHash::Sha256).toHex());
        QCOMPARE(DuplicateFinder::hash(path), std::optional(expected));
    }

    void unreadableEntriesHaveNoHash()
    {
        TestTree tree;
        tree.file("target", "contents");
        QVERIFY(!DuplicateFinder::hash(tree.symlink("link", tree.path("target"))));
        QVERIFY(!DuplicateFinder::hash(tree.fifo("pipe"))); // must not block
        QVERIFY(!DuplicateFinder::hash(tree.path("missing")));
        QVERIFY(!DuplicateFinder::hash(tree.folder("folder")));
    }

    void cancelledRunsReturnNothing()
    {
        TestTree tree;
        tree.file("a", "same");
        tree.file("b", "same");
        std::stop_source stop;
        stop.request_stop();
        QVERIFY(DuplicateFinder::find(LibraryScanner::scan({ tree.root() }).files, stop.get_token()).isEmpty());
        QVERIFY(!DuplicateFinder::hash(tree.path("a"), stop.get_token()));
    }
};

QTEST_GUILESS_MAIN(DuplicateFinderTest)
#include "duplicatefindertest.moc"
