#include "scan/processrun.h"
#include "scan/scanprobe.h"
#include "support/testtree.h"

#include <QTest>

class BenchScanTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exitStatusIsReported_data();
    void exitStatusIsReported();
    void outputIsCaptured();
    void peakMemoryIsTheChilds();
    void wallTimeCoversTheRun();
    void rescanMatchesTheFirstScan();
};

void BenchScanTest::exitStatusIsReported_data()
{
    QTest::addColumn<QByteArrayList>("command");
    QTest::addColumn<int>("status");
    QTest::newRow("success") << QByteArrayList { "true" } << 0;
    QTest::newRow("failure code") << QByteArrayList { "sh", "-c", "exit 3" } << 3;
    QTest::newRow("program missing") << QByteArrayList { "/nonexistent/program" } << 127;
    QTest::newRow("killed by a signal") << QByteArrayList { "sh", "-c", "kill -9 $$" } << -1;
}

void BenchScanTest::exitStatusIsReported()
{
    QFETCH(QByteArrayList, command);
    QFETCH(int, status);
    QCOMPARE(ProcessRun::run(command).exitStatus, status);
}

void BenchScanTest::outputIsCaptured()
{
    const auto m
        = ProcessRun::run({ "sh", "-c", "printf 'first\\nsecond'; echo noise >&2" }, ProcessRun::Output::capture);
    QCOMPARE(m.exitStatus, 0);
    QCOMPARE(m.output, QByteArray("first\nsecond"));
    QVERIFY(ProcessRun::run({ "sh", "-c", "echo discarded" }).output.isEmpty());
}

void BenchScanTest::peakMemoryIsTheChilds()
{
    // dd fills one 96 MB buffer: the child's peak must show it.
    const auto m = ProcessRun::run({ "dd", "if=/dev/zero", "of=/dev/null", "bs=96M", "count=1" });
    QCOMPARE(m.exitStatus, 0);
    QVERIFY2(m.peakKilobytes >= 90 * 1024, qPrintable(QString::number(m.peakKilobytes)));
}

void BenchScanTest::wallTimeCoversTheRun()
{
    const auto m = ProcessRun::run({ "sleep", "0.3" });
    QCOMPARE(m.exitStatus, 0);
    QVERIFY(m.seconds >= 0.3);
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
