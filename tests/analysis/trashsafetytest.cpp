#include "analysis/trashsafety.h"

#include "library/libraryscanner.h"
#include "support/testtree.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Change {
    none,
    permissionsOnly,
    modifiedOneNanosecond,
    grown,
    truncated,
    replacedByCopy,
    replacedBySymlink,
    deleted,
    recreatedSameSizeAndTimes,
    recordCloudOnly,
    recordWithoutIdentity,
};

const QByteArray kContents = "the scanned contents of a photo";

// Scans the tree and returns the records by path relative to the tree.
QHash<QByteArray, FileRecord> scan(const TestTree &tree)
{
    QHash<QByteArray, FileRecord> records;
    for (const FileRecord &record : LibraryScanner::scan({ tree.root() }).files)
        records.insert(record.path.mid(tree.root().size() + 1), record);
    return records;
}

void apply(TestTree &tree, const QByteArray &name, Change change, FileRecord &record)
{
    const QByteArray path = tree.path(name);
    switch (change) {
    case Change::none:
        break;
    case Change::permissionsOnly:
        tree.setMode(name, 0600);
        break;
    case Change::modifiedOneNanosecond:
        tree.setModified(name, Timestamp::fromUnix(record.modified.unixSeconds(), record.modified.nanoseconds() + 1));
        break;
    case Change::grown:
        tree.file(name, kContents + '!');
        break;
    case Change::truncated:
        QCOMPARE(::truncate(path.constData(), 3), 0);
        break;
    case Change::replacedByCopy:
        tree.file(name + ".copy", kContents);
        tree.setModified(name + ".copy", record.modified);
        QCOMPARE(::rename(QByteArray(path + ".copy").constData(), path.constData()), 0);
        break;
    case Change::replacedBySymlink:
        tree.file("elsewhere", kContents);
        QCOMPARE(::unlink(path.constData()), 0);
        tree.symlink(name, tree.path("elsewhere"));
        break;
    case Change::deleted:
        QCOMPARE(::unlink(path.constData()), 0);
        break;
    case Change::recordCloudOnly:
        record.isCloudOnly = true;
        break;
    case Change::recordWithoutIdentity:
        record.identity.reset();
        break;
    case Change::recreatedSameSizeAndTimes: {
        // Keep the old inode alive so the new file cannot reuse its number.
        QCOMPARE(::rename(path.constData(), tree.path("kept-alive").constData()), 0);
        tree.file(name, kContents);
        tree.setModified(name, record.modified);
        break;
    }
    }
}

} // namespace

class TrashSafetyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void changedFilesAreRefused_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("untouched") << Change::none << true;
        QTest::newRow("permissions-only") << Change::permissionsOnly << true;
        QTest::newRow("modified-1ns") << Change::modifiedOneNanosecond << false;
        QTest::newRow("grown") << Change::grown << false;
        QTest::newRow("truncated") << Change::truncated << false;
        QTest::newRow("replaced-by-copy") << Change::replacedByCopy << false;
        QTest::newRow("replaced-by-symlink") << Change::replacedBySymlink << false;
        QTest::newRow("deleted") << Change::deleted << false;
        QTest::newRow("recreated-same-size-and-times") << Change::recreatedSameSizeAndTimes << false;
        QTest::newRow("cloud-only-record") << Change::recordCloudOnly << false;
        QTest::newRow("record-without-identity") << Change::recordWithoutIdentity << false;
    }

    void changedFilesAreRefused()
    {
        QFETCH(Change, change);
        QFETCH(bool, allowed);
        TestTree tree;
        tree.file("photo.jpg", kContents);
        tree.setModified("photo.jpg", Timestamp::fromUnix(1'700'000'000, 123'456'789));
        FileRecord record = scan(tree).value("photo.jpg");
        QVERIFY(record.identity);

        apply(tree, "photo.jpg", change, record);
        QCOMPARE(TrashSafety::unchanged(record), allowed);
        QCOMPARE(TrashSafety::canRemove(record, std::nullopt, { record.path }), allowed);
    }

    void keptCopyMustBeUnchangedAndStay_data()
    {
        QTest::addColumn<Change>("keeperChange");
        QTest::addColumn<bool>("keeperInRequest");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("keeper-untouched") << Change::none << false << true;
        QTest::newRow("keeper-touched") << Change::modifiedOneNanosecond << false << false;
        QTest::newRow("keeper-deleted") << Change::deleted << false << false;
        QTest::newRow("keeper-replaced") << Change::replacedByCopy << false << false;
        QTest::newRow("keeper-in-same-request") << Change::none << true << false;
    }

    void keptCopyMustBeUnchangedAndStay()
    {
        QFETCH(Change, keeperChange);
        QFETCH(bool, keeperInRequest);
        QFETCH(bool, allowed);
        TestTree tree;
        tree.file("a/copy.jpg", kContents);
        tree.file("b/copy.jpg", kContents);
        const auto records = scan(tree);
        const FileRecord removed = records.value("b/copy.jpg");
        FileRecord kept = records.value("a/copy.jpg");

        apply(tree, "a/copy.jpg", keeperChange, kept);
        QSet<QByteArray> request { removed.path };
        if (keeperInRequest)
            request.insert(kept.path);
        QCOMPARE(TrashSafety::canRemove(removed, kept, request), allowed);
        // Without a keeper the same file may go whatever happened to the other copy.
        QVERIFY(TrashSafety::canRemove(removed, std::nullopt, request));
    }

    void pairNamingEachOtherIsRefused()
    {
        TestTree tree;
        tree.file("a.jpg", kContents);
        tree.file("b.jpg", kContents);
        const auto records = scan(tree);
        const QSet<QByteArray> request { records["a.jpg"].path, records["b.jpg"].path };
        QVERIFY(!TrashSafety::canRemove(records["a.jpg"], records["b.jpg"], request));
        QVERIFY(!TrashSafety::canRemove(records["b.jpg"], records["a.jpg"], request));
        QVERIFY(!TrashSafety::canRemove(records["a.jpg"], records["a.jpg"], { records["a.jpg"].path }));
    }

    void packageSizeIsRecomputed_data()
    {
        QTest::addColumn<QByteArray>("grow");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("contents-unchanged") << QByteArray() << true;
        QTest::newRow("inner-file-grew") << QByteArray("Contents/data.bin") << false;
    }

    void packageSizeIsRecomputed()
    {
        QFETCH(QByteArray, grow);
        QFETCH(bool, allowed);
        TestTree tree;
        tree.file("Tool.app/Contents/data.bin", "12345");
        tree.file("Tool.app/Contents/info.txt", "abc");
        const FileRecord record = scan(tree).value("Tool.app");
        QVERIFY(record.isPackage);
        QCOMPARE(record.size, 8);
        if (!grow.isEmpty())
            tree.file("Tool.app/" + grow, "123456789");
        QCOMPARE(TrashSafety::unchanged(record), allowed);
    }

    // File systems without birth times (NFS, many FUSE ones) must not refuse every file, but a
    // creation date that appeared, vanished or moved is still a change.
    void creationDateComparison_data()
    {
        const Timestamp date = Timestamp::fromUnix(1'700'000'000, 5);
        QTest::addColumn<Timestamp>("recorded");
        QTest::addColumn<std::optional<Timestamp>>("current");
        QTest::addColumn<bool>("matches");
        QTest::newRow("none-then-none") << Timestamp::distantPast() << std::optional<Timestamp>() << true;
        QTest::newRow("equal") << date << std::optional<Timestamp>(date) << true;
        QTest::newRow("one-nanosecond-later") << date << std::optional(Timestamp::fromUnix(1'700'000'000, 6)) << false;
        QTest::newRow("date-then-none") << date << std::optional<Timestamp>() << false;
        QTest::newRow("none-then-date") << Timestamp::distantPast() << std::optional<Timestamp>(date) << false;
    }

    void creationDateComparison()
    {
        QFETCH(Timestamp, recorded);
        QFETCH(std::optional<Timestamp>, current);
        QFETCH(bool, matches);
        QCOMPARE(TrashSafety::creationDateMatches(recorded, current), matches);
    }
};

QTEST_GUILESS_MAIN(TrashSafetyTest)
#include "trashsafetytest.moc"
