#include "store/librarysettings.h"
#include "storetesting.h"
#include "support/testtree.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace StoreTesting;

namespace {

// A scan that found a record for each of `paths`.
ScanResult scanOf(const QByteArrayList &paths, int errors = 0, bool truncated = false)
{
    ScanResult result;
    for (const QByteArray &path : paths)
        result.files.append(record(path));
    result.errors = errors;
    result.truncated = truncated;
    return result;
}

} // namespace

// The remembered settings, the roots, their scans and the service timer's tick.
class StoreSettingsTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;
    QString m_file;

private Q_SLOTS:
    void init() { m_file = m_environment.newSettingsFile(); }
    void cleanup() { settle(); }

    void storedTypes_data()
    {
        QTest::addColumn<QByteArray>("json"); // empty: no file
        QTest::addColumn<double>("tileSize");
        QTest::addColumn<bool>("menuBarEnabled");
        QTest::addColumn<bool>("autoInstallers");
        QTest::addColumn<QString>("lastRuleRun");

        const QString past = Timestamp::distantPast().toIsoString();
        const auto row = [&](const char *name, const char *json, double tile, bool menuBar, bool installers,
                             const QString &lastRun) {
            QTest::newRow(name) << QByteArray(json) << tile << menuBar << installers << lastRun;
        };
        row("first launch", "", 170, true, false, past);
        row("tile size 0 means the default", R"({"tileSize": 0})", 170, true, false, past);
        row("tile size kept", R"({"tileSize": 240.5})", 240.5, true, false, past);
        row("tile size as a string", R"({"tileSize": "240"})", 170, true, false, past);
        row("menu bar stored as a string", R"({"menuBarEnabled": "false"})", 170, true, false, past);
        row("menu bar stored false", R"({"menuBarEnabled": false})", 170, false, false, past);
        row("plain Boolean read of a string", R"({"autoInstallers": "YES"})", 170, true, true, past);
        row("last rule run not a date", R"({"lastRuleRun": "2024-03-05T12:00:00Z"})", 170, true, false, past);
        row("last rule run to the nanosecond", R"({"lastRuleRun": {"date": "2024-03-05T12:34:56.123456789Z"}})", 170,
            true, false, QStringLiteral("2024-03-05T12:34:56.123456789Z"));
        row("corrupt file", R"({"tileSize": 99, "menuBarEnabled": false,)", 170, true, false, past);
        row("not an object", "[1, 2]", 170, true, false, past);
    }

    void storedTypes()
    {
        QFETCH(QByteArray, json);
        if (!json.isEmpty())
            writeFile(QFile::encodeName(m_file), json);
        {
            LibraryStore store(setup(m_file));
            QTEST(store.tileSize(), "tileSize");
            QTEST(store.menuBarEnabled(), "menuBarEnabled");
            QTEST(store.autoInstallers(), "autoInstallers");
            QTEST(store.lastRuleRun().toIsoString(), "lastRuleRun");
            // Reading leaves the file as it was, however odd; the first change replaces it.
            QCOMPARE(readFile(QFile::encodeName(m_file)), json.isEmpty() ? QByteArray("<missing>") : json);
            store.setAutoScreenshots(true);
        }
        QVERIFY(LibraryStore(setup(m_file)).autoScreenshots());
    }

    // A settings file written by an earlier run reads back under the same key names.
    void keysOfAnEarlierRun()
    {
        writeFile(QFile::encodeName(m_file),
            R"({"pinnedPaths": ["/p"], "savedSearches": ["pdf"], "appearance": "Dark", "autoRefresh": false})");
        LibraryStore store(setup(m_file));
        QCOMPARE(store.pinnedPaths() + store.savedSearches() << store.appearance(), strings({ "/p", "pdf", "Dark" }));
        QVERIFY(!store.autoRefresh());
    }

    void failedWriteIsReported()
    {
        writeFile(QFile::encodeName(m_file), "x"); // the settings file's folder is a plain file
        LibraryStore store(setup(m_file + QStringLiteral("/defaults.json")));
        store.setTileSize(300);
        QCOMPARE(store.tileSize(), 300.0);
        QVERIFY(store.error().value_or(QString()).startsWith(QStringLiteral("Tessary could not save its settings: ")));
    }

    void addFolders_data()
    {
        QTest::addColumn<QByteArrayList>("roots");
        QTest::addColumn<QByteArrayList>("chosen");
        QTest::addColumn<QByteArrayList>("expected");

        using List = std::initializer_list<QByteArray>;
        const auto row = [](const char *name, List roots, List chosen, List expected) {
            QTest::newRow(name) << QByteArrayList(roots) << QByteArrayList(chosen) << QByteArrayList(expected);
        };
        row("a sibling sharing a prefix", { "/home/ada/Docs" }, { "/home/ada/Docs2" },
            { "/home/ada/Docs", "/home/ada/Docs2" });
        row("a parent of two roots replaces both, at the end", { "/home/ada/a", "/srv", "/home/ada/b" },
            { "/home/ada" }, { "/srv", "/home/ada" });
        row("the root folder covers everything", { "/home/x", "/srv" }, { "/" }, { "/" });
        row("inside the root folder", { "/" }, { "/home/x" }, { "/" });
    }

    void addFolders()
    {
        QFETCH(QByteArrayList, roots);
        QFETCH(QByteArrayList, chosen);
        const Probe probe;
        LibraryStore store(setup(m_file, probe.workers()));
        store.setRoots(roots);
        store.addFolders(chosen);
        QTEST(store.roots(), "expected");
        // Persisted and rescanned even when nothing was added.
        QTEST(LibrarySettings(m_file).folderBookmarks(), "expected");
        settle();
        QCOMPARE(probe.scans->load(), 1);
    }

    void onlyTheNewestRefreshApplies()
    {
        // A duplicate run and the first scan are held; that scan would empty the library, the
        // second finds a and b only.
        Probe probe;
        probe.groups = { DuplicateGroup { { record("/lib/a"), record("/lib/b") } } };
        const QList<ScanResult> results { scanOf({ "/lib/old.txt" }), scanOf({ "/lib/a", "/lib/b" }) };
        LibraryWorkers workers = probe.workers(strings({ "duplicates" }));
        workers.scan = [results, gate = probe.gate, calls = probe.scans](
                           const QByteArrayList &, const ScanOptions &, std::stop_token) {
            const int call = (*calls)++;
            if (call == 0)
                gate.wait();
            return results.value(call);
        };
        LibraryStore store(setup(m_file, workers));
        store.setRoots({ "/lib" });
        store.setFiles({ record("/lib/a"), record("/lib/b"), record("/lib/c") });
        store.setSelectedIDs({ "/lib/a", "/lib/c" });
        store.setSelection(QByteArray("/lib/c"));
        store.findDuplicates();
        store.refresh();
        QVERIFY(!store.checkingDuplicates());
        QTRY_COMPARE(probe.gate.arrivals(), 2);
        store.refresh();
        QTRY_VERIFY(!store.scanning());
        QCOMPARE(names(store.files()), strings({ "a", "b" }));
        // Vanished files leave the selected set; the selection itself stays but finds nothing.
        QCOMPARE(store.selectedIDs(), QSet<QByteArray>({ "/lib/a" }));
        QVERIFY(store.selection() && !store.selected());

        QSignalSpy filesSpy(&store, &LibraryStore::filesChanged);
        QSignalSpy statusSpy(&store, &LibraryStore::statusChanged);
        probe.gate.open();
        settle();
        QCOMPARE(filesSpy.count() + statusSpy.count(), 0);
        QCOMPARE(store.files().size(), 2);
        QVERIFY(store.duplicates().isEmpty() && !store.duplicatesChecked() && !store.checkingDuplicates());
    }

    void restoredRoots_data()
    {
        QTest::addColumn<bool>("demo");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArrayList>("roots");
        QTest::addColumn<bool>("rewritten");
        const QByteArray stored = R"({"folderBookmarks": [{"data": "L2xpYi9h"}, {"data": "cmVs"}]})"; // /lib/a, rel
        QTest::newRow("a relative path is dropped and the rest rewritten")
            << false << stored << QByteArrayList { "/lib/a" } << true;
        QTest::newRow("one foreign element voids the list")
            << false << QByteArray(R"({"folderBookmarks": [{"data": "L2xpYi9h"}, "/lib/b"]})") << QByteArrayList()
            << false;
        QTest::newRow("demo mode: only the demo folder, nothing stored")
            << true << stored << QByteArrayList { "/demo/lib" } << false;
    }

    void restoredRoots()
    {
        QFETCH(bool, demo);
        QFETCH(QByteArray, json);
        QFETCH(QByteArrayList, roots);
        writeFile(QFile::encodeName(m_file), json);
        qputenv("TESSARY_DEMO_PATH", "/demo/./lib/");
        const Probe probe;
        LibraryStore::Setup restoring = setup(m_file, probe.workers(), true);
        if (demo)
            restoring.arguments = strings({ "tessary", "--demo" });
        LibraryStore store(restoring);
        qunsetenv("TESSARY_DEMO_PATH");
        QCOMPARE(store.isDemo(), demo);
        QCOMPARE(store.roots(), roots);
        QFETCH(bool, rewritten);
        QCOMPARE(readFile(QFile::encodeName(m_file)) != json, rewritten);
        settle();
        QCOMPARE(probe.scans->load(), roots.isEmpty() ? 0 : 1);
    }

    void removingTheLastRoot()
    {
        const Probe probe;
        LibraryStore store(setup(m_file, probe.workers()));
        store.setRoots({ "/lib" });
        store.navigate(place(u"Images"));
        store.removeRoot("/lib");
        QVERIFY(store.roots().isEmpty());
        QCOMPARE(store.destination().key(), QStringLiteral("Home"));
        QCOMPARE(LibrarySettings(m_file).folderBookmarks(), QByteArrayList());
        QTRY_VERIFY(!store.scanning());
        QCOMPARE(store.status(), QStringLiteral("Choose a folder to make yourself at home."));
    }

    void scanStatus_data()
    {
        QTest::addColumn<ScanResult>("result");
        QTest::addColumn<QString>("status");

        ScanResult limited = scanOf({}, 3, true);
        limited.files.fill(record("/lib/f"), 50'000);
        QTest::newRow("one inaccessible item") << scanOf(
            { "/lib/a" }, 1) << QStringLiteral("1 files \u00b7 Updated just now \u00b7 1 inaccessible locations/items");
        QTest::newRow("limit reached with inaccessible items")
            << limited
            << QStringLiteral("50,000 files \u00b7 Updated just now \u00b7 3 inaccessible locations/items \u00b7 "
                              "50,000-file limit reached; choose smaller folders");
        QTest::newRow("no roots") << scanOf({}, 2) << QStringLiteral("Choose a folder to make yourself at home.");
    }

    void scanStatus()
    {
        QFETCH(ScanResult, result);
        const Probe probe;
        LibraryWorkers workers = probe.workers();
        workers.scan = [result](const QByteArrayList &, const ScanOptions &, std::stop_token) { return result; };
        LibraryStore store(setup(m_file, workers));
        if (qstrcmp(QTest::currentDataTag(), "no roots") != 0)
            store.setRoots({ "/lib" });
        store.refresh();
        QCOMPARE(store.status(), QStringLiteral("Reading file metadata\u2026"));
        QTRY_VERIFY(!store.scanning());
        QTEST(store.status(), "status");
    }

    // `state` is what holds before the tick: "refresh" (automatic refresh on), "roots",
    // "installers" or "screenshots" (that rule on), "ran:H" (the rules ran H hours ago), and last
    // at most one busy state: a held "scan", "index", "duplicates", "similar" or "rules" run, a
    // pending "trash" request, an open "preview", or the "Duplicates" section shown.
    void serviceTick_data()
    {
        textColumns({ "state", "expected" });
        textRow("idle: refresh", { "refresh roots", "refresh" });
        textRow("auto refresh off", { "roots", "nothing" });
        textRow("no roots", { "refresh", "nothing" });
        textRow("rule on, never run", { "refresh roots installers", "rules" });
        textRow("screenshot rule on, 25 hours ago", { "refresh roots screenshots ran:25", "rules" });
        textRow("rule on, 23 hours ago: refresh instead", { "refresh roots installers ran:23", "refresh" });
        textRow("rules even without auto refresh or roots", { "installers ran:25", "rules" });
        textRow("scanning", { "refresh roots installers scan", "nothing" });
        textRow("indexing", { "refresh roots index", "nothing" });
        textRow("checking duplicates", { "refresh roots duplicates", "nothing" });
        textRow("comparing images", { "refresh roots similar", "nothing" });
        textRow("rules running", { "refresh roots installers rules", "nothing" });
        textRow("trash pending", { "refresh roots installers trash", "nothing" });
        textRow("preview open", { "refresh roots installers preview", "nothing" });
        textRow("duplicates section", { "refresh roots Duplicates", "nothing" });
    }

    void serviceTick()
    {
        QFETCH(QString, state);
        QFETCH(QString, expected);
        const QStringList parts = state.split(u' ');
        {
            LibrarySettings settings(m_file);
            settings.setAutoRefresh(parts.contains(u"refresh"));
            settings.setAutoInstallers(parts.contains(u"installers"));
            settings.setAutoScreenshots(parts.contains(u"screenshots"));
            for (const QString &part : parts)
                if (part.startsWith(u"ran:"))
                    settings.setLastRuleRun(
                        Timestamp::fromUnix(Timestamp::now().unixSeconds() - part.mid(4).toInt() * 3600));
        }
        const Probe probe;
        LibraryStore store(setup(m_file, probe.workers(parts)));
        if (parts.contains(u"roots"))
            store.setRoots({ "/lib" });
        const FileRecord file = record("/lib/a.txt");
        store.setFiles({ file });
        const QHash<QString, std::function<void()>> busy { { QStringLiteral("scan"), [&] { store.refresh(); } },
            { QStringLiteral("index"), [&] { store.indexText(); } },
            { QStringLiteral("duplicates"), [&] { store.findDuplicates(); } },
            { QStringLiteral("similar"), [&] { store.findSimilar(); } },
            { QStringLiteral("rules"), [&] { store.runRules(); } },
            { QStringLiteral("trash"), [&] { store.requestTrash({ file }); } },
            { QStringLiteral("preview"), [&] { store.setPreview(file); } },
            { QStringLiteral("Duplicates"), [&] { store.setDestination(place(u"Duplicates")); } } };
        busy.value(parts.last(), [] {})();
        // A held scan or rules pass has been counted already.
        const int scansBefore = parts.last() == u"scan" ? 1 : 0;
        const int rulesBefore = parts.last() == u"rules" ? 1 : 0;

        store.serviceTick();
        probe.gate.open();
        settle();
        QCOMPARE(probe.scans->load() - scansBefore, expected == u"refresh" ? 1 : 0);
        QCOMPARE(probe.rulePasses->load() - rulesBefore, expected == u"rules" ? 1 : 0);
    }
};

QTEST_MAIN(StoreSettingsTest)
#include "storesettingstest.moc"
