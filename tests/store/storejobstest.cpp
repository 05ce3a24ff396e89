#include "store/librarysettings.h"
#include "storetesting.h"
#include "support/testtree.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace StoreTesting;

namespace {

QStringList split(const QString &names)
{
    return names.split(u' ', Qt::SkipEmptyParts);
}

// Three scanned files; a.txt and b.txt hold the same contents.
struct Library
{
    TestTree tree;
    QHash<QString, FileRecord> files;

    Library()
    {
        tree.file("lib/a.txt", "same");
        tree.file("lib/b.txt", "same");
        tree.file("lib/c.txt", "other");
        for (const FileRecord &file : LibraryScanner::scan({ tree.path("lib") }).files)
            files.insert(file.name(), file);
    }
    // "a.txt c.txt" -> their records, in that order.
    QList<FileRecord> records(const QString &names = QStringLiteral("a.txt b.txt c.txt")) const
    {
        QList<FileRecord> result;
        for (const QString &name : split(names))
            result.append(files.value(name));
        return result;
    }
    // Edits, then deletes, the named files behind the scan's back.
    void change(const QString &edited, const QString &deleted)
    {
        for (const QString &name : split(edited))
            tree.file("lib/" + name.toUtf8(), "edited after the scan");
        for (const QString &name : split(deleted))
            ::unlink(files.value(name).path.constData());
    }
};

} // namespace

// The background analyses, which a newer run or a rescan supersedes, and the trash flow.
class StoreJobsTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;
    QString m_file;
    QString m_trash;

    QString trashed() const
    {
        return QDir(m_trash + QStringLiteral("/files")).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u' ');
    }

private Q_SLOTS:
    void init()
    {
        // A fresh Trash for every test, on the file system of the test trees.
        static int count = 0;
        const QString data = m_environment.path(QStringLiteral("data-%1").arg(++count));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        m_trash = data + QStringLiteral("/Trash");
        m_file = m_environment.newSettingsFile();
    }
    void cleanup() { settle(); }

    void trashPending_data()
    {
        textColumns({ "request", "keeper", "edited", "deleted", "moved", "refused" });
        textRow("one of three edited after the scan", { "a.txt b.txt c.txt", "", "b.txt", "", "a.txt c.txt", "b.txt" });
        textRow("a file already gone", { "a.txt c.txt", "", "", "a.txt", "c.txt", "a.txt" });
        textRow("kept copy unchanged", { "b.txt c.txt", "a.txt", "", "", "b.txt c.txt", "" });
        textRow("kept copy deleted", { "b.txt", "a.txt", "", "a.txt", "", "b.txt" });
        textRow("kept copy edited", { "b.txt", "a.txt", "a.txt", "", "", "b.txt" });
        textRow("kept copy inside the request", { "a.txt b.txt", "a.txt", "", "", "", "a.txt b.txt" });
    }

    void trashPending()
    {
        QFETCH(QString, request);
        QFETCH(QString, keeper);
        QFETCH(QString, edited);
        QFETCH(QString, deleted);
        QFETCH(QString, moved);
        QFETCH(QString, refused);
        Library library;
        const QList<FileRecord> all = library.records();
        Probe probe;
        probe.groups = { DuplicateGroup { { all[0], all[1] } } };
        LibraryStore store(setup(m_file, probe.workers()));
        store.setFiles(all);
        store.findDuplicates();
        QTRY_VERIFY(store.duplicatesChecked());
        store.setSelection(all[2].path);
        store.setSelectedIDs({ all[0].path, all[2].path });

        store.requestTrash(
            library.records(request), keeper.isEmpty() ? std::nullopt : std::optional(library.files.value(keeper)));
        library.change(edited, deleted);
        store.trashPending();

        QVERIFY(store.pendingTrash().isEmpty());
        QCOMPARE(store.status(),
            QStringLiteral("Moved %1 file(s) to Trash. Restore them from the Trash if needed.")
                .arg(split(moved).size()));
        QStringList errors;
        for (const QString &name : split(refused))
            errors << name + QStringLiteral(": File or its kept copy changed. Scan and review again.");
        QCOMPARE(store.error().value_or(QString()), errors.join(u'\n'));
        QCOMPARE(trashed(), moved);
        // Only the moved files leave the library; results that named them are discarded.
        QStringList remaining = names(all);
        for (const QString &name : split(moved)) {
            QVERIFY(!QFile::exists(QFile::decodeName(library.files.value(name).path)));
            remaining.removeAll(name);
        }
        QCOMPARE(names(store.files()), remaining);
        QVERIFY(!store.selection() && store.selectedIDs().isEmpty());
        QVERIFY(store.duplicates().isEmpty() && !store.duplicatesChecked());
        QVERIFY(store.indexing());
    }

    void trashingCancelsRunningComparisons()
    {
        Library library;
        const QList<FileRecord> all = library.records();
        Probe probe;
        probe.groups = { DuplicateGroup { { all[0], all[1] } } };
        LibraryStore store(setup(m_file, probe.workers(strings({ "duplicates", "similar" }))));
        store.setFiles(all);
        store.findDuplicates();
        store.findSimilar();
        QTRY_COMPARE(probe.gate.arrivals(), 2);
        store.requestTrash({ all[1] });
        store.trashPending();
        QCOMPARE(trashed(), QStringLiteral("b.txt"));
        probe.gate.open();
        settle();
        QVERIFY(store.duplicates().isEmpty() && store.similarGroups().isEmpty());
        QVERIFY(!store.checkingDuplicates() && !store.similarScanning() && !store.duplicatesChecked());
    }

    void keptCopyIsKnownWhenAnnouncedAndForgottenOnCancel()
    {
        Library library;
        const FileRecord a = library.files.value(QStringLiteral("a.txt"));
        const FileRecord b = library.files.value(QStringLiteral("b.txt"));
        LibraryStore store(setup(m_file));
        store.setFiles({ a, b });
        std::optional<FileRecord> announced;
        connect(&store, &LibraryStore::pendingTrashChanged, this, [&] { announced = store.pendingKeeper(b.path); });
        store.requestTrash({ b }, a);
        QCOMPARE(announced, std::optional<FileRecord>(a));
        store.setPendingTrash({});
        QVERIFY(!store.pendingKeeper(b.path));

        // An ordinary request afterwards carries no kept copy, so a vanished a.txt does not matter.
        store.requestTrash({ b });
        library.change(QString(), QStringLiteral("a.txt"));
        store.trashPending();
        QCOMPARE(trashed(), QStringLiteral("b.txt"));
        QVERIFY(!store.error());
    }

    // `keeper`: the copy chosen for the group of a.txt and b.txt; `change`: "edit NAME" or
    // "delete NAME" behind the scan's back.
    void trashExtraCopies_data()
    {
        textColumns({ "keeper", "change", "error" });
        const char *choose = "Choose a copy to keep first.";
        textRow("no copy chosen", { "", "", choose });
        textRow("keeper outside the group", { "c.txt", "", choose });
        textRow("keeper deleted outside the application", { "a.txt", "delete a.txt", choose });
        textRow("another copy edited",
            { "a.txt", "edit b.txt", "A file changed after the scan. Scan again before removing copies." });
        textRow("request made", { "b.txt", "", "" });
    }

    void trashExtraCopies()
    {
        QFETCH(QString, keeper);
        QFETCH(QString, change);
        Library library;
        const DuplicateGroup group { library.records(QStringLiteral("a.txt b.txt")) };
        LibraryStore store(setup(m_file));
        if (!keeper.isEmpty())
            store.setKeeperIDs({ { group.id(), library.files.value(keeper).path } });
        library.change(change.startsWith(u"edit") ? change.mid(5) : QString(),
            change.startsWith(u"delete") ? change.mid(7) : QString());
        store.trashExtraCopies(group);
        QTEST(store.error().value_or(QString()), "error");
        if (store.error()) {
            QVERIFY(store.pendingTrash().isEmpty());
            return;
        }
        QCOMPARE(store.pendingTrash(), library.records(QStringLiteral("a.txt")));
        QCOMPARE(store.pendingKeeper(group.id()), library.files.value(QStringLiteral("b.txt")));
    }

    void runRules_data()
    {
        QTest::addColumn<QString>("switches");
        QTest::addColumn<bool>("trashPending");
        QTest::addColumn<int>("changed");
        QTest::addColumn<int>("errors");
        QTest::newRow("both rules off") << QString() << false << 0 << 0;
        QTest::newRow("a trash confirmation pending") << QStringLiteral("installers") << true << 0 << 0;
        QTest::newRow("twelve screenshots filed") << QStringLiteral("screenshots") << false << 12 << 0;
        QTest::newRow("nothing changed, errors shown up to ten") << QStringLiteral("installers") << false << 0 << 12;
    }

    void runRules()
    {
        QFETCH(QString, switches);
        QFETCH(bool, trashPending);
        QFETCH(int, changed);
        QFETCH(int, errors);
        const Probe probe;
        LibraryWorkers workers = probe.workers();
        const Counter passes = probe.rulePasses;
        workers.rules = [=](const QList<FileRecord> &, CleanupRules::Rules, std::stop_token) {
            ++*passes;
            CleanupRules::Outcome outcome { changed, {} };
            for (int i = 0; i < errors; ++i)
                outcome.errors.append(QStringLiteral("f%1: refused").arg(i));
            return outcome;
        };
        LibraryStore store(setup(m_file, workers));
        store.setAutoInstallers(switches.contains(u"installers"));
        store.setAutoScreenshots(switches.contains(u"screenshots"));
        store.setRoots({ "/lib" });
        if (trashPending)
            store.requestTrash({ record("/lib/a") });
        const Timestamp before = Timestamp::now();
        store.runRules();
        settle();
        const bool ran = !switches.isEmpty() && !trashPending;
        QCOMPARE(passes->load(), ran ? 1 : 0);
        QCOMPARE(LibrarySettings(m_file).lastRuleRun() >= before, ran);
        QCOMPARE(probe.scans->load(), changed > 0 ? 1 : 0);
        if (!ran) {
            QCOMPARE(store.rulesStatus(), QStringLiteral("Automatic rules are off until you enable them."));
            return;
        }
        QVERIFY2(store.rulesStatus().startsWith(
                     QStringLiteral("%1 files changed \u00b7 %2 errors \u00b7 ").arg(changed).arg(errors)),
            qPrintable(store.rulesStatus()));
        QCOMPARE(store.error().value_or(QString()).split(u'\n', Qt::SkipEmptyParts).size(), std::min(errors, 10));
    }

    void indexRunWaitsForTheStoredIndex()
    {
        // The stored index is read in the background; an indexing run asked for meanwhile starts
        // from it once it is in, instead of reading every file again.
        const Probe probe;
        const Gate loadGate = probe.gate;
        auto given = std::make_shared<TextIndex>();
        const Counter runs = std::make_shared<std::atomic<int>>(0);
        LibraryWorkers workers = probe.workers();
        workers.loadTextIndex = [loadGate] {
            loadGate.wait();
            TextIndex index;
            index.insert("/t/a", TextEntry { 0, 0, QStringLiteral("stored"), false });
            return index;
        };
        workers.indexText = [given, runs](const QList<FileRecord> &, const TextIndex &existing,
                                          const LibraryWorkers::IndexProgress &, std::stop_token) {
            ++*runs;
            *given = existing;
            return TextIndexResult { existing, 0, 0 };
        };
        LibraryStore store(setup(m_file, workers, true));
        QTRY_COMPARE(loadGate.arrivals(), 1);
        store.indexText();
        QCOMPARE(runs->load(), 0);
        QVERIFY(store.textIndex().isEmpty());
        loadGate.open();
        QTRY_COMPARE(runs->load(), 1);
        settle();
        QCOMPARE(given->value("/t/a").text, QStringLiteral("stored"));
        QCOMPARE(store.textIndex().value("/t/a").text, QStringLiteral("stored"));
    }

    void onlyTheNewestIndexRunLands()
    {
        // The first run is held, then reports progress and finishes after the second started.
        const Probe first;
        const Probe second;
        const Gate firstGate = first.gate;
        const Gate secondGate = second.gate;
        const Counter calls = std::make_shared<std::atomic<int>>(0);
        auto firstDone = std::make_shared<std::atomic<bool>>(false);
        LibraryWorkers workers = first.workers();
        workers.indexText = [=](const QList<FileRecord> &, const TextIndex &,
                                const LibraryWorkers::IndexProgress &progress, std::stop_token) {
            TextIndexResult result;
            if ((*calls)++ == 0) {
                firstGate.wait();
                progress(1, 5);
                result.entries.insert("/t/a", TextEntry { 0, 0, QStringLiteral("first"), false });
                *firstDone = true;
            } else {
                progress(3, 9);
                secondGate.wait();
                result.entries.insert("/t/a", TextEntry { 0, 0, QStringLiteral("second"), true });
                result.failures = 2;
                result.partial = 1;
            }
            return result;
        };
        LibraryStore store(setup(m_file, workers));
        store.setFiles({ record("/t/a") });
        store.indexText();
        QTRY_COMPARE(firstGate.arrivals(), 1);
        store.indexText();
        QStringList shown;
        connect(&store, &LibraryStore::indexStatusChanged, this, [&] { shown << store.indexStatus(); });
        QTRY_COMPARE(shown, strings({ "Reading text: 3 of 9" }));

        firstGate.open();
        QTRY_VERIFY(firstDone->load());
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(store.indexing());
        secondGate.open();
        QTRY_VERIFY(!store.indexing());
        settle();
        QCOMPARE(shown,
            strings({ "Reading text: 3 of 9", "1 files indexed \u00b7 1 partially indexed \u00b7 2 unreadable" }));
        QCOMPARE(store.textIndex().value("/t/a").text, QStringLiteral("second"));
        QVERIFY(store.viewsPrepared());
    }
    void indexPausesOnBatteryAndGoesOnFromThere_data()
    {
        QTest::addColumn<bool>("allowedOnBattery"); // resumed by the setting, else by mains power
        QTest::newRow("mains_power_returns") << false;
        QTest::newRow("indexing_on_battery_allowed") << true;
    }

    void indexPausesOnBatteryAndGoesOnFromThere()
    {
        const Probe probe;
        const Gate gate = probe.gate;
        const Counter reads = std::make_shared<std::atomic<int>>(0);
        LibraryWorkers workers = probe.workers();
        // Reads, in order, the files the index lacks; the first run is held after each file.
        workers.indexText = [=](const QList<FileRecord> &files, const TextIndex &existing,
                                const LibraryWorkers::IndexProgress &, std::stop_token stop) {
            const bool first = reads->load() == 0;
            TextIndexResult result;
            for (auto file = files.cbegin(); file != files.cend() && !stop.stop_requested(); ++file) {
                *reads += existing.contains(file->path) ? 0 : 1;
                result.entries.insert(file->path, TextEntry { 0, 0, QStringLiteral("read"), false });
                if (first)
                    gate.wait();
            }
            return result;
        };
        LibraryStore store(setup(m_file, workers));
        store.setFiles({ record("/t/a"), record("/t/b"), record("/t/c") });
        store.indexText();
        QTRY_COMPARE(gate.arrivals(), 1);
        store.setOnBattery(true);
        QVERIFY(!store.indexing() && store.indexPaused());
        QCOMPARE(store.indexStatus(), QStringLiteral("Text indexing paused on battery power"));
        gate.open();
        settle();
        // What was read is kept; a run asked for on battery waits too.
        QCOMPARE(store.textIndex().keys(), QByteArrayList { "/t/a" });
        store.indexText();
        QVERIFY(!store.indexing() && store.indexPaused());

        QFETCH(bool, allowedOnBattery);
        allowedOnBattery ? store.setIndexOnBattery(true) : store.setOnBattery(false);
        QVERIFY(store.indexing() && !store.indexPaused());
        QTRY_VERIFY(!store.indexing());
        QCOMPARE(store.textIndex().size(), 3);
        QCOMPARE(reads->load(), 3);
        QCOMPARE(LibrarySettings(m_file).indexOnBattery(), allowedOnBattery);
    }
};

QTEST_MAIN(StoreJobsTest)
#include "storejobstest.moc"
