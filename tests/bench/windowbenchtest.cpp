#include "window/benchhome.h"
#include "window/samplestats.h"

#include "support/testtree.h"

#include "analysis/text/textindexfile.h"
#include "library/libraryscanner.h"
#include "store/librarysettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class WindowBenchTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void statsSummarise_data();
    void statsSummarise();
    void homeMatchesTheScan();

private:
    TestTree m_home;
};

void WindowBenchTest::initTestCase()
{
    // Scans read the user's recently-used list; keep them to a folder of the test's own.
    m_home.becomeHome();
}

void WindowBenchTest::statsSummarise_data()
{
    QTest::addColumn<std::vector<double>>("values");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("p99");
    QTest::addColumn<double>("max");

    std::vector<double> oneOutlier(99, 1.0);
    oneOutlier.push_back(500);
    std::vector<double> twoOutliers(98, 1.0);
    twoOutliers.insert(twoOutliers.end(), { 500, 400 });

    QTest::newRow("empty") << std::vector<double> {} << 0.0 << 0.0 << 0.0;
    QTest::newRow("single value") << std::vector<double> { 7 } << 7.0 << 7.0 << 7.0;
    QTest::newRow("odd count, unsorted") << std::vector<double> { 5, 1, 3 } << 3.0 << 5.0 << 5.0;
    QTest::newRow("even count takes the mean of the middle two") << std::vector<double> { 4, 1, 3, 2 } << 2.5 << 4.0
                                                                  << 4.0;
    QTest::newRow("one slow sample in a hundred is not the 99th percentile") << oneOutlier << 1.0 << 1.0 << 500.0;
    QTest::newRow("two slow samples in a hundred are") << twoOutliers << 1.0 << 400.0 << 500.0;
}

void WindowBenchTest::statsSummarise()
{
    QFETCH(std::vector<double>, values);
    QFETCH(double, median);
    QFETCH(double, p99);
    QFETCH(double, max);
    const SampleStats stats = SampleStats::of(values);
    QCOMPARE(stats.count, int(values.size()));
    QCOMPARE(stats.median, median);
    QCOMPARE(stats.p99, p99);
    QCOMPARE(stats.max, max);
}

void WindowBenchTest::homeMatchesTheScan()
{
    TestTree tree;
    tree.file("Documents/report.pdf", "%PDF-1.4");
    tree.file("Documents/notes.txt", QByteArray(300, 'n'));
    tree.file("Pictures/caf\xe9-latin1.jpg", "not utf-8 in the name");
    tree.file("Downloads/empty.zip");
    tree.file("Documents/.hidden.txt", "left out by the scan");
    tree.setModified("Documents/notes.txt", Timestamp::fromUnix(1'700'000'000, 123'456'789));
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config"));
    const QString data = home.filePath(QStringLiteral("data"));

    const BenchHome::Outcome outcome = BenchHome::write(tree.root(), config, data, 4000);
    QVERIFY2(outcome.written, qPrintable(outcome.error));

    QCOMPARE(LibrarySettings(BenchHome::settingsFile(config)).folderBookmarks(), QByteArrayList { tree.root() });
    const ScanResult scan = LibraryScanner::scan({ tree.root() });
    const TextIndex index = TextIndexFile::load(BenchHome::indexFile(data));
    QCOMPARE(outcome.files, index.size());
    qint64 bytes = 0;
    for (const FileRecord &file : scan.files) {
        // The archive is never read for text; an entry for it would be dropped by the next run.
        QCOMPARE(index.contains(file.path), file.kind != FileKind::archives);
        if (!index.contains(file.path))
            continue;
        const TextEntry &entry = index[file.path];
        // What an indexing run compares to decide that a file needs no new reading.
        QCOMPARE(entry.modified, file.modified.secondsSinceReferenceDate());
        QCOMPARE(entry.size, file.size);
        bytes += entry.text.toUtf8().size();
    }
    QCOMPARE(bytes, outcome.textBytes);
    // Each text stops at the first word past its share; one word is at most a few dozen bytes.
    QCOMPARE_GE(bytes, 4000);
    QCOMPARE_LE(bytes, 4000 + 64 * index.size());
}

QTEST_MAIN(WindowBenchTest)
#include "windowbenchtest.moc"
