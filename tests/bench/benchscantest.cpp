#include "scan/processrun.h"
#include "scan/scanprobe.h"
#include "support/testtree.h"

#include <QTest>

class BenchScanTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void childIsMeasured_data();
    void childIsMeasured();
    void rescanMatchesTheFirstScan();
};

// The child's exit status, its output when asked for, its peak memory (dd fills one 96 MB
// buffer) and the wall time around it.
void BenchScanTest::childIsMeasured_data()
{
    QTest::addColumn<QByteArrayList>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<qint64>("minimumPeakKilobytes");
    QTest::addColumn<double>("minimumSeconds");
    QTest::newRow("success") << QByteArrayList { "true" } << 0 << QByteArray() << 0LL << 0.0;
    QTest::newRow("failure code") << QByteArrayList { "sh", "-c", "echo discarded; exit 3" } << 3 << QByteArray() << 0LL
                                  << 0.0;
    QTest::newRow("program missing") << QByteArrayList { "/nonexistent/program" } << 127 << QByteArray() << 0LL << 0.0;
    QTest::newRow("killed by a signal") << QByteArrayList { "sh", "-c", "kill -9 $$" } << -1 << QByteArray() << 0LL
                                        << 0.0;
    QTest::newRow("output without standard error")
        << QByteArrayList { "sh", "-c", "printf 'first\\nsecond'; echo noise >&2" } << 0 << QByteArray("first\nsecond")
        << 0LL << 0.0;
    QTest::newRow("the child's peak memory")
        << QByteArrayList { "dd", "if=/dev/zero", "of=/dev/null", "bs=96M", "count=1" } << 0 << QByteArray()
        << 90LL * 1024 << 0.0;
    QTest::newRow("wall time") << QByteArrayList { "sleep", "0.3" } << 0 << QByteArray() << 0LL << 0.3;
}

void BenchScanTest::childIsMeasured()
{
    QFETCH(QByteArrayList, command);
    QFETCH(QByteArray, output);
    QFETCH(qint64, minimumPeakKilobytes);
    QFETCH(double, minimumSeconds);
    const auto m
        = ProcessRun::run(command, output.isEmpty() ? ProcessRun::Output::discard : ProcessRun::Output::capture);
    QTEST(m.exitStatus, "status");
    QCOMPARE(m.output, output);
    QCOMPARE_GE(m.peakKilobytes, minimumPeakKilobytes);
    QCOMPARE_GE(m.seconds, minimumSeconds);
    QVERIFY(m.seconds < 10);
}

void BenchScanTest::rescanMatchesTheFirstScan()
{
    TestTree tree;
    tree.file("a.txt", "alpha");
    tree.file("photos/b.png", "not really a picture");
    tree.file("photos/.hidden-file", "left out");
    tree.symlink("link", "photos");
    const ScanProbe::Result result = ScanProbe::measure({ tree.root() }, 100);
    QCOMPARE(result.records, 2);
    QCOMPARE(result.skipped, 1);
    QVERIFY(result.warmSame);
    QVERIFY(result.coldPeakKilobytes > 0 && result.warmPeakKilobytes >= result.coldPeakKilobytes);

    // A parent reads the child's result from this line.
    const auto parsed = ScanProbe::fromLine(ScanProbe::toLine(result));
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->records, result.records);
    QCOMPARE(parsed->skipped, result.skipped);
    QCOMPARE(parsed->coldSeconds, result.coldSeconds);
    QCOMPARE(parsed->warmPeakKilobytes, result.warmPeakKilobytes);
    QCOMPARE(parsed->warmSame, result.warmSame);
    QVERIFY(!ScanProbe::fromLine("records=2 cold=0.1").has_value());
}

QTEST_GUILESS_MAIN(BenchScanTest)
#include "benchscantest.moc"
