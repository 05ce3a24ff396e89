#include "analysis/sha256.h"
#include "store/librarysettings.h"
#include "store/savedcatalog.h"
#include "storetesting.h"
#include "support/testtree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

using namespace StoreTesting;

namespace {

constexpr LibraryWatcher::Options kQuickWatch { 0, std::chrono::milliseconds(20), std::chrono::milliseconds(100) };

// The records below `folder`, relative to it and sorted, each as "path", "path from HOST" (a
// download source) or "path SIZE" (a package).
QStringList describe(const QList<FileRecord> &files, const QByteArray &folder)
{
    QStringList lines;
    for (const FileRecord &file : files) {
        QString line = QString::fromUtf8(file.path.mid(folder.size() + 1));
        if (file.source)
            line += QStringLiteral(" from ") + *file.source;
        if (file.isPackage)
            line += u' ' + QString::number(file.size);
        lines.append(line);
    }
    lines.sort();
    return lines;
}

// Runs a script of changes on `tree`, steps separated by ";": "mkfile PATH [TEXT]",
// "mv FROM TO", "rm PATH" (with everything in it), "ln TARGET PATH", "xattr PATH NAME VALUE".
// Returns false when the file system keeps no extended attributes.
bool act(TestTree &tree, const QString &script)
{
    for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
        const QByteArrayList words = step.trimmed().toUtf8().split(' ');
        const QByteArray &verb = words[0];
        if (verb == "mkfile")
            tree.file(words[1], words.value(2, "x"));
        else if (verb == "mv" && ::rename(tree.path(words[1]).constData(), tree.path(words[2]).constData()) != 0)
            qFatal("cannot move %s", words[1].constData());
        else if (verb == "rm")
            QDir(QFile::decodeName(tree.path(words[1]))).removeRecursively();
        else if (verb == "ln")
            tree.symlink(words[2], words[1]);
        else if (verb == "xattr" && !tree.setAttribute(words[1], words[2].constData(), words[3]))
            return false;
    }
    return true;
}

SavedCatalog::Contents savedOf(const QByteArrayList &roots, const QList<FileRecord> &files)
{
    return SavedCatalog::Contents { roots, files, 0, false };
}

} // namespace

// A library that follows its folders: changes read again and applied as differences, roots
// that cannot be followed, lost events, and the library saved for the next start.
class StoreLiveTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;

    // A store following tree/lib (and the further roots given), its first scan applied; `adjust`
    // may change its setup first.
    std::unique_ptr<LibraryStore> following(const TestTree &tree, LibraryWatcher::Options options = kQuickWatch,
        QByteArrayList roots = { "lib" }, const std::function<void(LibraryStore::Setup &)> &adjust = {})
    {
        LibraryStore::Setup setup = StoreTesting::setup(m_environment.newSettingsFile(), diskWorkers());
        setup.watches = true;
        setup.watcherOptions = options;
        if (adjust)
            adjust(setup);
        auto store = std::make_unique<LibraryStore>(setup);
        for (QByteArray &root : roots)
            root = tree.path(root);
        store->setRoots(roots);
        store->refresh();
        settle();
        return store;
    }

private Q_SLOTS:
    void watchedChanges_data()
    {
        QTest::addColumn<QStringList>("before"); // files below the tree, "path" or "path=text"
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("after"); // as describe() gives them below lib

        QTest::newRow("a file created") << strings({ "lib/a/x.txt" }) << QStringLiteral("mkfile lib/a/new.txt")
                                        << strings({ "a/new.txt", "a/x.txt" });
        QTest::newRow("a file renamed into another folder")
            << strings({ "lib/a/x.txt", "lib/b/y.txt" }) << QStringLiteral("mv lib/a/x.txt lib/b/x.txt")
            << strings({ "b/x.txt", "b/y.txt" });
        QTest::newRow("a folder deleted with its contents")
            << strings({ "lib/a/x.txt", "lib/a/sub/y.txt", "lib/b/z.txt" }) << QStringLiteral("rm lib/a")
            << strings({ "b/z.txt" });
        QTest::newRow("a folder renamed") << strings({ "lib/a/sub/y.txt", "lib/b/z.txt" })
                                          << QStringLiteral("mv lib/a lib/c; mkfile lib/c/sub/later.txt")
                                          << strings({ "b/z.txt", "c/sub/later.txt", "c/sub/y.txt" });
        QTest::newRow("a folder moved in, then filled")
            << strings({ "lib/b/z.txt", "elsewhere/q/w.txt" })
            << QStringLiteral("mv elsewhere/q lib/q; mkfile lib/q/deeper/new.txt")
            << strings({ "b/z.txt", "q/deeper/new.txt", "q/w.txt" });
        QTest::newRow("a folder moved out, then written to")
            << strings({ "lib/a/x.txt", "lib/b/z.txt" })
            << QStringLiteral("mv lib/a gone; mkfile gone/y.txt; mkfile lib/b/seen.txt")
            << strings({ "b/seen.txt", "b/z.txt" });
        QTest::newRow("hidden files appearing")
            << strings({ "lib/a/x.txt" })
            << QStringLiteral("mkfile lib/a/.secret; mkfile lib/.cache/c; mkfile lib/a/seen.txt")
            << strings({ "a/seen.txt", "a/x.txt" });
        QTest::newRow("a name newly listed in .hidden")
            << strings({ "lib/a/x.txt", "lib/a/y.txt" }) << QStringLiteral("mkfile lib/a/.hidden x.txt")
            << strings({ "a/y.txt" });
        QTest::newRow("a link") << strings({ "lib/a/x.txt" })
                                << QStringLiteral("ln x.txt lib/a/link.txt; mkfile lib/a/marker.txt")
                                << strings({ "a/marker.txt", "a/x.txt" });
        QTest::newRow("a package growing")
            << strings({ "lib/Tool.app/Contents/bin=1234" })
            << QStringLiteral("mkfile lib/Tool.app/Contents/Resources/more 12345") << strings({ "Tool.app 9" });
        QTest::newRow("a download source added")
            << strings({ "lib/d/file.pdf" })
            << QStringLiteral("xattr lib/d/file.pdf user.xdg.origin.url https://files.example.org/file.pdf")
            << strings({ "d/file.pdf from files.example.org" });
        QTest::newRow("the root deleted") << strings({ "lib/a/x.txt" }) << QStringLiteral("rm lib") << QStringList();
    }

    void watchedChanges()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, script);
        QFETCH(QStringList, after);

        TestTree tree;
        for (const QString &entry : before)
            tree.file(entry.section(u'=', 0, 0).toUtf8(), entry.section(u'=', 1).toUtf8());
        const std::unique_ptr<LibraryStore> store = following(tree);
        QVERIFY(!store->files().isEmpty());
        QCOMPARE(store->followedRoots().value(0).following, LibraryWatcher::Following::live);
        if (!act(tree, script))
            QSKIP("this file system keeps no extended attributes");
        QTRY_COMPARE(describe(store->files(), tree.path("lib")), after);
        // What was applied is what a scan finds.
        QTRY_VERIFY(!store->updating());
        settle();
        QCOMPARE(describe(store->files(), tree.path("lib")),
            describe(LibraryScanner::scan({ tree.path("lib") }).files, tree.path("lib")));
    }

    // Views keep their place: the change comes as a delta, and what the user chose stays.
    void changesKeepTheViewsState()
    {
        TestTree tree;
        tree.file("lib/a.txt");
        tree.file("lib/b.txt");
        const std::unique_ptr<LibraryStore> store = following(tree);
        store->navigate(Destination::ofKind(FileKind::documents));
        const QByteArray b = tree.path("lib/b.txt");
        store->setSelection(b);
        store->setSelectedIDs({ b, tree.path("lib/a.txt") });
        QSignalSpy updates(store.get(), &LibraryStore::filesUpdated);

        tree.file("lib/c.txt");
        ::unlink(tree.path("lib/a.txt").constData());
        QTRY_COMPARE(describe(store->files(), tree.path("lib")), strings({ "b.txt", "c.txt" }));
        QVERIFY(!updates.isEmpty());
        LibraryDelta all;
        for (const QList<QVariant> &update : std::as_const(updates)) {
            const auto delta = update.value(0).value<LibraryDelta>();
            all.added += delta.added;
            all.removed += delta.removed;
        }
        QCOMPARE(all.removed, QByteArrayList { tree.path("lib/a.txt") });
        QCOMPARE(all.added.value(0).path, tree.path("lib/c.txt"));
        QCOMPARE(store->destination(), Destination::ofKind(FileKind::documents));
        QCOMPARE(store->selection(), std::optional(b));
        QCOMPARE(store->selectedIDs(), QSet<QByteArray> { b });
        QCOMPARE(store->status(), QStringLiteral("2 files \u00b7 Updated just now"));
    }

    // Groups that lose or change a member go; the others stay with their kept copies.
    void groupsLoseOnlyChangedMembers()
    {
        TestTree tree;
        for (const char *name : { "lib/a1", "lib/a2", "lib/b1", "lib/b2" })
            tree.file(name, "same");
        // Pairs by first letter, the way a digest would pair equal files.
        const auto store = following(tree, kQuickWatch, { "lib" }, [](LibraryStore::Setup &setup) {
            setup.workers.duplicates = [](const QList<FileRecord> &files, std::stop_token) {
                QMap<QChar, DuplicateGroup> groups;
                for (const FileRecord &file : files)
                    groups[file.name().at(0)].files.append(file);
                return groups.values();
            };
        });
        store->findDuplicates();
        settle();
        QCOMPARE(store->duplicates().size(), 2);

        tree.file("lib/b2", "edited");
        QTRY_COMPARE(store->duplicates().size(), 1);
        QCOMPARE(store->duplicates().value(0).files.value(0).path, tree.path("lib/a1"));
        QCOMPARE(store->keeperIDs().keys(), QList<QByteArray> { tree.path("lib/a1") });
        QVERIFY(store->duplicatesChecked());
    }

    // A file trashed while a noticed change is read never comes back when that reading lands.
    void trashedWhileAChangeIsRead()
    {
        TestTree tree;
        tree.file("lib/a.txt");
        const QByteArray gone = tree.file("lib/b.txt");
        Gate gate;
        auto opener = qScopeGuard([gate] { gate.open(); });
        const auto store = following(tree, kQuickWatch, { "lib" }, [gate](LibraryStore::Setup &setup) {
            setup.workers.rescan = [gate, rescan = setup.workers.rescan](const QByteArrayList &roots,
                                       const QByteArrayList &paths, const ScanOptions &options, std::stop_token stop) {
                gate.wait();
                return rescan(roots, paths, options, stop);
            };
        });
        tree.file("lib/c.txt");
        QTRY_COMPARE(gate.arrivals(), 1);
        store->requestTrash({ *store->file(gone) });
        store->trashPending();
        bool cameBack = false;
        connect(store.get(), &LibraryStore::filesChanged, this, [&] { cameBack = cameBack || store->file(gone); });
        gate.open();
        QTRY_COMPARE(describe(store->files(), tree.path("lib")), strings({ "a.txt", "c.txt" }));
        settle();
        QVERIFY(!cameBack);
    }

    // With every root followed the service timer leaves the disk alone, but for a rare check.
    void serviceTimerWithFollowedRoots_data()
    {
        QTest::addColumn<int>("watchLimit");
        QTest::addColumn<int>("checkMinutes");
        QTest::addColumn<int>("scans"); // started by the tick

        QTest::newRow("every root followed, checked recently") << 0 << 30 << 0;
        QTest::newRow("every root followed, check due") << 0 << 0 << 1;
        QTest::newRow("a root without room for its watches") << 1 << 30 << 1;
    }

    void serviceTimerWithFollowedRoots()
    {
        QFETCH(int, watchLimit);
        QFETCH(int, checkMinutes);
        QFETCH(int, scans);
        TestTree tree;
        tree.file("lib/a/x.txt");
        const auto counter = std::make_shared<std::atomic<int>>(0);
        const auto store = following(
            tree, { watchLimit, kQuickWatch.quiet, kQuickWatch.longest }, { "lib" }, [&](LibraryStore::Setup &setup) {
                setup.fullCheckInterval = std::chrono::minutes(checkMinutes);
                setup.workers.scan = [counter, scan = setup.workers.scan](const QByteArrayList &roots,
                                         const ScanOptions &options, std::stop_token stop) {
                    if (options.readContentMetadata)
                        ++*counter;
                    return scan(roots, options, stop);
                };
            });
        QCOMPARE(*counter, 1);
        store->serviceTick();
        settle();
        QCOMPARE(*counter, 1 + scans);
        // Nothing the user sees is reset by it.
        QCOMPARE(store->files().size(), 1);
    }

    // No room for a root's watches: it falls back to being read every minute, the others stay live.
    void rootWithoutRoomForWatches()
    {
        TestTree tree;
        tree.file("small/x.txt");
        for (const char *name : { "big/a/1", "big/b/2", "big/c/3" })
            tree.file(name);
        // Room for two watches: "small" takes one, "big" would need four.
        const std::unique_ptr<LibraryStore> store
            = following(tree, { 2, kQuickWatch.quiet, kQuickWatch.longest }, { "small", "big" });
        QCOMPARE(store->followedRoots().size(), 2);
        QCOMPARE(store->followedRoots()[0].following, LibraryWatcher::Following::live);
        QCOMPARE(store->followedRoots()[1].following, LibraryWatcher::Following::tooManyFolders);
        QCOMPARE(store->files().size(), 4);

        tree.file("big/a/new");
        tree.file("small/new");
        QTRY_COMPARE(store->files().size(), 5);
        settle();
        QVERIFY(!store->file(tree.path("big/a/new")));
        store->serviceTick();
        QTRY_VERIFY(store->file(tree.path("big/a/new")));
        QCOMPARE(store->followedRoots()[1].following, LibraryWatcher::Following::tooManyFolders);
    }

    // Events lost in the kernel's overflowing queue: one reading of everything finds the files.
    void lostEventsMeanOneCheck()
    {
        const int queue = readFile("/proc/sys/fs/inotify/max_queued_events").trimmed().toInt();
        if (queue <= 0 || queue > 65536)
            QSKIP("the kernel's event queue is too long to overflow here");
        TestTree tree;
        tree.file("lib/first");
        const std::unique_ptr<LibraryStore> store = following(tree);
        // Each new file queues two events (created, closed after writing); the event loop does
        // not run meanwhile, so nothing is read until the queue has overflowed.
        const int count = queue / 2 + 64;
        for (int i = 0; i < count; ++i)
            tree.file("lib/f" + QByteArray::number(i));
        QTRY_COMPARE_WITH_TIMEOUT(store->files().size(), count + 1, 30000);
        QCOMPARE(store->followedRoots().value(0).following, LibraryWatcher::Following::live);
    }

    void savedCatalogue_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("whole") << QString();
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("truncated") << QStringLiteral("truncated");
        QTest::newRow("one byte changed") << QStringLiteral("flipped");
        QTest::newRow("another version") << QStringLiteral("version");
        QTest::newRow("made for other folders") << QStringLiteral("roots");
        QTest::newRow("not a catalogue") << QStringLiteral("text");
    }

    // Round trip of every field; anything else is refused whole.
    void savedCatalogue()
    {
        QFETCH(QString, damage);
        FileRecord full = record("/lib/photo.jpg", FileKind::images, 4'000'000, Timestamp::fromUnix(1'700'000'000, 5));
        full.created = Timestamp::fromUnix(1'600'000'000, 123'456'789);
        full.added = full.created;
        full.lastUsed = Timestamp::fromUnix(1'700'000'100);
        full.source = QStringLiteral("mail.example.org");
        full.identity = QStringLiteral("2049:1311032");
        full.tags = strings({ "Work", "Ünïcode" });
        full.camera = QStringLiteral("Pixel 8");
        full.dimensions = QStringLiteral("4032 \u00d7 3024");
        full.duration = 12.5;
        full.spotlightText = QStringLiteral("words");
        FileRecord other = record(QByteArray("/lib/photos/n\xe4me.jpg"), FileKind::images, 1);
        other.added = Timestamp::fromUnix(1);
        other.camera = full.camera;
        other.isCloudOnly = true;
        FileRecord package = record("/lib/Tool.app", FileKind::apps, 9);
        package.isPackage = true;
        const SavedCatalog::Contents contents { { "/lib" }, { full, other, package }, 3, true };

        QByteArray data = SavedCatalog::encode(contents);
        QByteArrayList roots { "/lib" };
        if (damage == u"missing")
            data.clear();
        else if (damage == u"truncated")
            data.chop(data.size() / 2);
        else if (damage == u"flipped")
            data[data.size() / 2] = char(data[data.size() / 2] ^ 0x10);
        else if (damage == u"roots")
            roots = { "/elsewhere" };
        else if (damage == u"text")
            data = "TESSARY CATALOG\nnot really";
        else if (damage == u"version") {
            // A well-formed file of another version, its digest made anew.
            data.chop(32);
            data[16] = char(SavedCatalog::kVersion + 1);
            Sha256 sha;
            sha.update(data.constData(), std::size_t(data.size()));
            const Sha256::Digest digest = sha.finish();
            data.append(reinterpret_cast<const char *>(digest.data()), 32);
        }
        const std::optional<SavedCatalog::Contents> decoded = SavedCatalog::decode(data, roots);
        QCOMPARE(decoded.has_value(), damage.isEmpty());
        if (decoded)
            QCOMPARE(*decoded, contents);

        const QString file = m_environment.path(
            QStringLiteral("cache/tessary/catalogue-%1").arg(QString::fromUtf8(QTest::currentDataTag())));
        QVERIFY(!SavedCatalog::save(file, contents));
        QCOMPARE(modeOf(QFile::encodeName(file)), 0600);
        QCOMPARE(modeOf(QFile::encodeName(QFileInfo(file).path())), 0700);
        QCOMPARE(SavedCatalog::load(file, { "/lib" }), std::optional(contents));
    }

    // At start the saved library is shown while a scan checks it; only differences are applied.
    void savedLibraryShownThenChecked_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("a whole catalogue") << QString();
        QTest::newRow("a corrupt catalogue") << QStringLiteral("corrupt");
    }

    void savedLibraryShownThenChecked()
    {
        QFETCH(QString, damage);
        TestTree tree;
        tree.file("lib/a.txt");
        tree.file("lib/b.txt");
        const QByteArray lib = tree.path("lib");
        // Saved last time: a.txt, b.txt and ghost.txt, deleted since.
        QList<FileRecord> saved = LibraryScanner::scan({ lib }).files;
        saved.append(record(lib + "/ghost.txt"));
        const QString catalogue
            = m_environment.path(QStringLiteral("catalogue-%1").arg(QString::fromUtf8(QTest::currentDataTag())));
        QVERIFY(!SavedCatalog::save(catalogue, savedOf({ lib }, saved)));
        if (!damage.isEmpty())
            writeFile(QFile::encodeName(catalogue), readFile(QFile::encodeName(catalogue)).replace(40, 7, "garbage"));

        const QString settings = m_environment.newSettingsFile();
        QVERIFY(LibrarySettings(settings).setFolderBookmarks({ lib }));
        Gate gate;
        LibraryStore::Setup setup = StoreTesting::setup(settings, diskWorkers(), true);
        const auto scan = setup.workers.scan;
        setup.workers.scan
            = [gate, scan](const QByteArrayList &roots, const ScanOptions &options, std::stop_token stop) {
                  gate.wait();
                  return scan(roots, options, stop);
              };
        setup.catalogFile = catalogue;
        setup.saveDelay = {};
        auto opener = qScopeGuard([gate] { gate.open(); });
        LibraryStore store(setup);
        QTRY_COMPARE(gate.arrivals(), 1);
        QCoreApplication::processEvents();
        if (damage.isEmpty()) {
            QCOMPARE(describe(store.files(), lib), strings({ "a.txt", "b.txt", "ghost.txt" }));
            QVERIFY(store.checking());
            QVERIFY(store.scanning());
            QCOMPARE(store.status(), QStringLiteral("3 files \u00b7 Being checked\u2026"));
            store.setSelection(lib + "/a.txt");
            store.setSelectedIDs({ lib + "/a.txt", lib + "/ghost.txt" });
        } else {
            // Nothing of a refused catalogue is shown: the full scan runs as without one.
            QVERIFY(store.files().isEmpty());
            QVERIFY(!store.checking());
        }
        gate.open();
        QTRY_VERIFY(!store.scanning());
        QCOMPARE(describe(store.files(), lib), strings({ "a.txt", "b.txt" }));
        QVERIFY(!store.checking());
        QCOMPARE(store.status(), QStringLiteral("2 files \u00b7 Updated just now"));
        if (damage.isEmpty()) {
            QCOMPARE(store.lastChange()->removed, QByteArrayList { lib + "/ghost.txt" });
            QCOMPARE(store.selection(), std::optional(lib + "/a.txt"));
            QCOMPARE(store.selectedIDs(), QSet<QByteArray> { lib + "/a.txt" });
        }
        // The checked library is saved for the next start.
        QTRY_COMPARE(SavedCatalog::load(catalogue, { lib }).value_or(SavedCatalog::Contents()).files.size(), 2);
        settle();
    }

    // Without a saved library, the files are shown as soon as they are listed; the check that
    // opens their media then fills in what it read, and only then is the library saved (a
    // library saved without its media would keep it out at every later start).
    void firstScanShowsFilesBeforeTheirMedia()
    {
        TestTree tree;
        tree.file("lib/photo.jpg");
        tree.file("lib/notes.txt");
        const QByteArray lib = tree.path("lib");
        Gate reading;
        const Counter reads = std::make_shared<std::atomic<int>>(0);
        LibraryStore::Setup setup = StoreTesting::setup(m_environment.newSettingsFile(), diskWorkers());
        const auto scan = setup.workers.scan;
        setup.workers.scan = [reading, reads, scan](
                                 const QByteArrayList &roots, const ScanOptions &options, std::stop_token stop) {
            ScanResult result = scan(roots, options, stop);
            if (!options.readContentMetadata)
                return result;
            reading.wait();
            // As the scanner does: a file an earlier scan read keeps what it read.
            for (FileRecord &file : result.files) {
                const auto earlier = std::find_if(options.previous.cbegin(), options.previous.cend(),
                    [&file](const FileRecord &e) { return e.path == file.path; });
                if (earlier != options.previous.cend())
                    file.dimensions = earlier->dimensions;
                else if (file.kind == FileKind::images) {
                    ++*reads;
                    file.dimensions = QStringLiteral("4000 × 3000");
                }
            }
            return result;
        };
        setup.catalogFile = m_environment.path(QStringLiteral("catalogue-first-scan"));
        setup.saveDelay = {};
        auto opener = qScopeGuard([reading] { reading.open(); });
        LibraryStore store(setup);
        store.setRoots({ lib });
        store.refresh();
        QTRY_COMPARE(reading.arrivals(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(describe(store.files(), lib), strings({ "notes.txt", "photo.jpg" }));
        QVERIFY(store.checking());
        QCOMPARE(store.status(), QStringLiteral("2 files \u00b7 Being checked\u2026"));
        QTest::qWait(50);
        QVERIFY(!QFile::exists(setup.catalogFile));

        reading.open();
        QTRY_VERIFY(!store.scanning());
        QVERIFY(!store.checking());
        QCOMPARE(store.status(), QStringLiteral("2 files \u00b7 Updated just now"));
        const auto photo = [](const QList<FileRecord> &files) {
            return std::find_if(files.cbegin(), files.cend(), [](const FileRecord &f) { return f.kind == FileKind::images; })
                ->dimensions;
        };
        QCOMPARE(photo(store.files()), std::optional(QStringLiteral("4000 × 3000")));
        QTRY_VERIFY(SavedCatalog::load(setup.catalogFile, { lib }).has_value());
        QCOMPARE(photo(SavedCatalog::load(setup.catalogFile, { lib })->files), std::optional(QStringLiteral("4000 × 3000")));
        // Read once: later scans keep it.
        store.refresh();
        settle();
        QCOMPARE(reads->load(), 1);
        QCOMPARE(photo(store.files()), std::optional(QStringLiteral("4000 × 3000")));
    }

    // Demo mode neither reads nor writes the saved library.
    void demoModeLeavesTheCatalogueAlone()
    {
        TestTree tree;
        tree.file("lib/a.txt");
        const QByteArray lib = tree.path("lib");
        const QString catalogue = m_environment.path(QStringLiteral("catalogue-demo"));
        QVERIFY(!SavedCatalog::save(catalogue, savedOf({ lib }, { record(lib + "/ghost.txt") })));
        const QByteArray before = readFile(QFile::encodeName(catalogue));
        qputenv("TESSARY_DEMO_PATH", lib);
        auto unset = qScopeGuard([] { qunsetenv("TESSARY_DEMO_PATH"); });
        LibraryStore::Setup setup = StoreTesting::setup(m_environment.newSettingsFile(), diskWorkers(), true);
        setup.arguments = strings({ "tessary", "--demo" });
        setup.catalogFile = catalogue;
        setup.saveDelay = {};
        LibraryStore store(setup);
        QTRY_COMPARE(describe(store.files(), lib), strings({ "a.txt" }));
        QVERIFY(!store.checking());
        tree.file("lib/b.txt");
        store.refresh();
        QTRY_COMPARE(store.files().size(), 2);
        settle();
        QCOMPARE(readFile(QFile::encodeName(catalogue)), before);
    }

    void applyDelta_data()
    {
        QTest::addColumn<QStringList>("files"); // paths, "path*" when the found record differs
        QTest::addColumn<QStringList>("cleared");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("expected"); // the new list, in order
        QTest::addColumn<QStringList>("change"); // "+added", "-removed", "~changed"

        QTest::newRow("a changed file keeps its place")
            << strings({ "/l/a", "/l/b", "/l/c" }) << strings({ "/l/b" }) << strings({ "/l/b*" }) << 10
            << strings({ "/l/a", "/l/b", "/l/c" }) << strings({ "~/l/b" });
        QTest::newRow("an unchanged file is no change")
            << strings({ "/l/a", "/l/b" }) << strings({ "/l/b" }) << strings({ "/l/b" }) << 10
            << strings({ "/l/a", "/l/b" }) << QStringList();
        QTest::newRow("a removed folder takes its contents, not its look-alike siblings")
            << strings({ "/l/d/x", "/l/d-2/y", "/l/d.txt", "/l/d/e/z" }) << strings({ "/l/d" }) << QStringList() << 10
            << strings({ "/l/d-2/y", "/l/d.txt" }) << strings({ "-/l/d/x", "-/l/d/e/z" });
        QTest::newRow("new files join at the end")
            << strings({ "/l/a" }) << strings({ "/l/n", "/l/n/1" }) << strings({ "/l/n/1", "/l/n/2" }) << 10
            << strings({ "/l/a", "/l/n/1", "/l/n/2" }) << strings({ "+/l/n/1", "+/l/n/2" });
        QTest::newRow("the limit keeps newcomers out")
            << strings({ "/l/a", "/l/b" }) << strings({ "/l/n" }) << strings({ "/l/n/1", "/l/n/2" }) << 3
            << strings({ "/l/a", "/l/b", "/l/n/1" }) << strings({ "+/l/n/1" });
        QTest::newRow("found records outside the cleared paths are ignored")
            << strings({ "/l/a" }) << strings({ "/l/x" }) << strings({ "/l/a*", "/l/y" }) << 10 << strings({ "/l/a" })
            << QStringList();
    }

    void applyDelta()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, cleared);
        QFETCH(QStringList, found);
        QFETCH(int, limit);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, change);

        const auto records = [](const QStringList &paths) {
            QList<FileRecord> result;
            for (const QString &path : paths)
                result.append(record(
                    path.chopped(path.endsWith(u'*') ? 1 : 0).toUtf8(), FileKind::other, path.endsWith(u'*') ? 2 : 1));
            return result;
        };
        QByteArrayList clearedPaths;
        for (const QString &path : cleared)
            clearedPaths.append(path.toUtf8());
        const LibraryDelta::Applied applied = LibraryDelta::apply(records(files), clearedPaths, records(found), limit);
        QStringList paths;
        for (const FileRecord &file : applied.files)
            paths.append(QString::fromUtf8(file.path));
        QCOMPARE(paths, expected);
        QStringList lines;
        for (const FileRecord &file : applied.delta.added)
            lines.append(u'+' + QString::fromUtf8(file.path));
        for (const QByteArray &path : applied.delta.removed)
            lines.append(u'-' + QString::fromUtf8(path));
        for (const FileRecord &file : applied.delta.changed)
            lines.append(u'~' + QString::fromUtf8(file.path));
        QCOMPARE(lines, change);
        QCOMPARE(applied.truncated, QTest::currentDataTag() == QByteArray("the limit keeps newcomers out"));
        // The same change as telling the two lists apart.
        LibraryDelta between = LibraryDelta::between(records(files), applied.files);
        QCOMPARE(between, applied.delta);
    }
};

QTEST_GUILESS_MAIN(StoreLiveTest)
#include "storelivetest.moc"
