#include "automation/actionsadaptor.h"

#include "automation/actionsprotocol.h"
#include "bustesting.h"
#include "platform/fileurl.h"
#include "store/storetesting.h"
#include "support/testtree.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTest>

using namespace StoreTesting;

namespace {

constexpr qint64 kBase = 1'700'000'000;

// A record under a Downloads folder, added `age` seconds before kBase.
FileRecord download(const char *name, qint64 age, bool cloudOnly = false, bool package = false)
{
    FileRecord file
        = record(QByteArray("/home/ada/Downloads/") + name, FileKind::documents, 10, Timestamp::fromUnix(kBase - age));
    file.added = Timestamp::fromUnix(kBase - age);
    file.isCloudOnly = cloudOnly;
    file.isPackage = package;
    return file;
}

QString uri(const QByteArray &path)
{
    return QString::fromLatin1(FileUrl::encoded(path));
}

// Records parsed from "name:flags" entries: flag c is cloud-only, p a package; listed newest first.
QList<FileRecord> downloads(const QStringList &entries)
{
    QList<FileRecord> files;
    for (const QString &entry : entries) {
        const QString name = entry.section(u':', 0, 0);
        const QString flags = entry.section(u':', 1);
        files.append(
            download(name.toUtf8().constData(), files.size() * 60, flags.contains(u'c'), flags.contains(u'p')));
    }
    return files;
}

} // namespace

class ActionsAdaptorTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;
    QString m_file = m_environment.newSettingsFile();

    // The server side, registered on the session bus the way the application registers itself.
    struct Instance
    {
        QObject object;
        int shown = 0;
        QStringList searches;

        Instance(LibraryStore &store, ScanWait::Timing timing = {})
        {
            new ActionsAdaptor(&object, QDBusConnection::sessionBus(), store,
                { [this] { ++shown; }, [this](const QString &query) { searches.append(query); }, {} }, timing);
            QDBusConnection bus = QDBusConnection::sessionBus();
            registered = bus.registerObject(ActionsProtocol::objectPath(), &object, QDBusConnection::ExportAdaptors)
                && bus.registerService(ActionsProtocol::serviceName());
        }
        ~Instance()
        {
            QDBusConnection bus = QDBusConnection::sessionBus();
            bus.unregisterService(ActionsProtocol::serviceName());
            bus.unregisterObject(ActionsProtocol::objectPath());
        }
        bool registered = false;
    };

    static QDBusMessage call(const QString &method, const QVariantList &arguments = {})
    {
        return callOverBus(ActionsProtocol::objectPath(), ActionsProtocol::interfaceName(), method, arguments);
    }
    static QStringList uris(const QDBusMessage &reply) { return reply.arguments().value(0).toStringList(); }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session"); }

    // The interface other programs see: the call's own message is no argument of it.
    void findFiles_data()
    {
        QTest::addColumn<QList<FileRecord>>("files");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");

        QList<FileRecord> many;
        QStringList newest100;
        for (int i = 0; i < 250; ++i) {
            const QByteArray path = "/lib/report-" + QByteArray::number(i) + ".txt";
            many.append(record(path, FileKind::documents, 1, Timestamp::fromUnix(kBase + i)));
            if (i >= 150)
                newest100.prepend(uri(path));
        }
        QTest::newRow("250 matches give the 100 newest") << many << QStringLiteral("report") << newest100;

        QList<FileRecord> mixed = { record("/lib/report-old.txt", FileKind::documents, 1, Timestamp::fromUnix(kBase)),
            record("/lib/report-cloud.txt", FileKind::documents, 1, Timestamp::fromUnix(kBase + 1)),
            record("/lib/report-tool.app", FileKind::apps, 1, Timestamp::fromUnix(kBase + 2)),
            record("/lib/report-new.txt", FileKind::documents, 1, Timestamp::fromUnix(kBase + 3)) };
        mixed[1].isCloudOnly = true;
        mixed[2].isPackage = true;
        QTest::newRow("cloud-only files and packages are left out, order kept")
            << mixed << QStringLiteral("report")
            << QStringList { uri("/lib/report-new.txt"), uri("/lib/report-old.txt") };

        QTest::newRow("no match is an empty list, not an error")
            << QList<FileRecord> { record("/lib/notes.txt") } << QStringLiteral("invoice") << QStringList();

        const QByteArray latin1Name = "/lib/r\xe9sum\xe9 report.txt";
        QTest::newRow("a name that is not UTF-8 keeps its bytes")
            << QList<FileRecord> { record(latin1Name) } << QStringLiteral("report") << QStringList { uri(latin1Name) };
    }

    void findFiles()
    {
        QFETCH(QList<FileRecord>, files);
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        LibraryStore store(setup(m_file));
        store.setFiles(files);
        Instance instance(store);
        QVERIFY(instance.registered);

        const QDBusMessage reply = call(QStringLiteral("FindFiles"), { query });
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(uris(reply), expected);
        QCOMPARE(instance.shown, 1);
        // The URIs name the paths exactly.
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY(FileUrl::toPath(QUrl(uris(reply)[i], QUrl::StrictMode)).has_value());
    }

    void latestDownload_data()
    {
        QTest::addColumn<QList<FileRecord>>("files");
        QTest::addColumn<QString>("expected"); // empty: NoDownloads

        QTest::newRow("a cloud-only newest download gives the next local one")
            << downloads({ QStringLiteral("new.pdf:c"), QStringLiteral("older.pdf"), QStringLiteral("oldest.pdf") })
            << uri("/home/ada/Downloads/older.pdf");
        QTest::newRow("a package is passed over")
            << downloads({ QStringLiteral("Tool.app:p"), QStringLiteral("setup.deb") })
            << uri("/home/ada/Downloads/setup.deb");
        QStringList tenCloud;
        for (int i = 0; i < 10; ++i)
            tenCloud << QStringLiteral("cloud-%1.pdf:c").arg(i);
        QTest::newRow("no local download among the ten newest, an older local one")
            << downloads(tenCloud << QStringLiteral("eleventh.pdf")) << QString();
        QTest::newRow("no downloads at all")
            << QList<FileRecord> { record("/home/ada/Documents/notes.txt") } << QString();
    }

    void latestDownload()
    {
        QFETCH(QList<FileRecord>, files);
        QFETCH(QString, expected);
        LibraryStore store(setup(m_file));
        store.setFiles(files);
        Instance instance(store);
        QVERIFY(instance.registered);

        const QDBusMessage reply = call(QStringLiteral("LatestDownload"));
        QCOMPARE(instance.shown, 1);
        if (expected.isEmpty()) {
            QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
            QCOMPARE(reply.errorName(), ActionsProtocol::noDownloadsError());
        } else {
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            QCOMPARE(reply.arguments().value(0).toString(), expected);
        }
    }

    void waitsForTheScan_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("scanEnds");
        QTest::addColumn<QVariant>("expected");

        const QString found = uri("/home/ada/Downloads/report.pdf");
        QTest::newRow("Find Files answers when the scan ends")
            << QStringLiteral("FindFiles") << true << QVariant(QStringList { found });
        QTest::newRow("Find Files gives up on a scan that outlasts the wait")
            << QStringLiteral("FindFiles") << false << QVariant();
        QTest::newRow("Latest Download answers when the scan ends")
            << QStringLiteral("LatestDownload") << true << QVariant(found);
        QTest::newRow("Latest Download gives up on a scan that outlasts the wait")
            << QStringLiteral("LatestDownload") << false << QVariant();
    }

    void waitsForTheScan()
    {
        QFETCH(QString, method);
        QFETCH(bool, scanEnds);
        QFETCH(QVariant, expected);
        Probe probe;
        LibraryWorkers workers = probe.workers();
        const Gate gate = probe.gate;
        // The scan finds one download, once the test lets it.
        workers.scan = [gate](const QByteArrayList &, const ScanOptions &, std::stop_token) {
            gate.wait();
            return ScanResult { { download("report.pdf", 0) }, 0, 0, false };
        };
        LibraryStore store(setup(m_file, workers));
        store.setRoots({ "/home/ada/Downloads" });
        store.refresh();
        QVERIFY(store.scanning());
        // 40 looks 25 ms apart: a second in all.
        Instance instance(store, { std::chrono::milliseconds(25), 40 });

        QVariantList arguments;
        if (method == QLatin1String("FindFiles"))
            arguments << QStringLiteral("report");
        QElapsedTimer clock;
        clock.start();
        if (scanEnds)
            QTimer::singleShot(300, this, [gate] { gate.open(); });
        const QDBusMessage reply = call(method, arguments);
        if (scanEnds) {
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            QCOMPARE(reply.arguments().value(0), expected);
        } else {
            QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
            QCOMPARE(reply.errorName(), ActionsProtocol::stillScanningError());
            QCOMPARE(reply.errorMessage(), ActionsProtocol::stillScanningMessage());
            QVERIFY(clock.elapsed() >= 1000);
            QVERIFY(store.scanning());
        }
        QCOMPARE(instance.shown, 1);
        gate.open();
        settle();
    }

    // A download saved a moment ago is the answer: a change the watcher noticed is waited for (a
    // second at most), a settled library answers at once.
    void answersFromTheLiveLibrary()
    {
        TestTree tree;
        tree.file("Downloads/older.pdf");
        LibraryStore::Setup live = setup(m_file, diskWorkers());
        live.watches = true;
        live.watcherOptions.quiet = std::chrono::milliseconds(300);
        LibraryStore store(live);
        store.setRoots({ tree.path("Downloads") });
        store.refresh();
        settle();
        Instance instance(store);
        QCOMPARE(call(QStringLiteral("LatestDownload")).arguments().value(0).toString(),
            uri(tree.path("Downloads/older.pdf")));

        tree.file("Downloads/new.pdf");
        // The watcher reads the event; the change is applied only after a quiet moment.
        QTRY_VERIFY(store.updating());
        QElapsedTimer clock;
        clock.start();
        const QDBusMessage reply = call(QStringLiteral("FindFiles"), { QStringLiteral("new") });
        QCOMPARE(uris(reply), QStringList { uri(tree.path("Downloads/new.pdf")) });
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(call(QStringLiteral("LatestDownload")).arguments().value(0).toString(),
            uri(tree.path("Downloads/new.pdf")));
    }

    void searchInTessary_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("a query becomes the window's search") << QStringLiteral("pdfs over 5 mb");
        QTest::newRow("an empty query clears the search") << QString();
    }

    void searchInTessary()
    {
        QFETCH(QString, query);
        Probe probe;
        LibraryStore store(setup(m_file, probe.workers(strings({ "scan" }))));
        store.setQuery(QStringLiteral("old search"));
        // It does not wait for a running scan.
        store.refresh();
        Instance instance(store);

        const QDBusMessage reply = call(QStringLiteral("SearchInTessary"), { query });
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(store.query(), query);
        QCOMPARE(instance.searches, QStringList { query });
        QCOMPARE(instance.shown, 1);
        probe.gate.open();
        settle();
    }
};

QTEST_GUILESS_MAIN(ActionsAdaptorTest)
#include "actionsadaptortest.moc"
