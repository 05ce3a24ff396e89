#include "automation/runneradaptor.h"
#include "automation/searchprovideradaptor.h"
#include "bustesting.h"
#include "platform/fileurl.h"
#include "store/storetesting.h"

#include <QDBusArgument>
#include <QDBusMetaType>

using namespace StoreTesting;

namespace {

const QString kProvider = QStringLiteral("org.gnome.Shell.SearchProvider2");
const QString kRunner = QStringLiteral("org.kde.krunner1");

QString uri(const QByteArray &path)
{
    return QString::fromLatin1(FileUrl::encoded(path));
}

// "/lib/report-0.pdf" … newest last, then a few that match nothing.
QList<FileRecord> library()
{
    QList<FileRecord> files;
    for (int i = 0; i < 25; ++i)
        files.append(record("/lib/report-" + QByteArray::number(i) + ".pdf", FileKind::documents, 1,
            Timestamp::fromUnix(1'700'000'000 + i)));
    files.append(record("/lib/q3/budget q3.ods", FileKind::documents));
    files.append(record("/lib/q4/budget q4.ods", FileKind::documents));
    files.append(record("/notes.txt", FileKind::documents));
    return files;
}

} // namespace

// Both desktop search providers over the bus, served from this process the way the application
// serves them.
class DesktopSearchTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;
    QString m_file = m_environment.newSettingsFile();

    struct Instance
    {
        QObject provider;
        QObject runner;
        int shown = 0;
        QStringList searches;
        QByteArrayList opened;

        explicit Instance(LibraryStore &store)
        {
            const AutomationHooks hooks { [this] { ++shown; }, [this](const QString &query) { searches.append(query); },
                [this](const FileRecord &file) { opened.append(file.path); } };
            new SearchProviderAdaptor(&provider, store, hooks);
            new RunnerAdaptor(&runner, store, hooks);
            QDBusConnection bus = QDBusConnection::sessionBus();
            bus.registerObject(SearchProviderAdaptor::objectPath(), &provider, QDBusConnection::ExportAdaptors);
            bus.registerObject(RunnerAdaptor::objectPath(), &runner, QDBusConnection::ExportAdaptors);
        }
        ~Instance()
        {
            QDBusConnection bus = QDBusConnection::sessionBus();
            bus.unregisterObject(SearchProviderAdaptor::objectPath());
            bus.unregisterObject(RunnerAdaptor::objectPath());
        }
    };

    static QDBusMessage provider(const QString &method, const QVariantList &arguments)
    {
        return callOverBus(SearchProviderAdaptor::objectPath(), kProvider, method, arguments);
    }
    static QDBusMessage runner(const QString &method, const QVariantList &arguments)
    {
        return callOverBus(RunnerAdaptor::objectPath(), kRunner, method, arguments);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        QVERIFY(QDBusConnection::sessionBus().registerService(ActionsProtocol::serviceName()));
        qDBusRegisterMetaType<QList<QVariantMap>>();
        qDBusRegisterMetaType<RunnerMatch>();
        qDBusRegisterMetaType<QList<RunnerMatch>>();
    }

    void resultSets_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<QStringList>("expected");

        QStringList newest20;
        for (int i = 24; i >= 5; --i)
            newest20 << uri("/lib/report-" + QByteArray::number(i) + ".pdf");
        QTest::newRow("25 matches give the newest 20")
            << QStringLiteral("GetInitialResultSet") << QStringList { QStringLiteral("report") } << newest20;
        QTest::newRow("terms are one search")
            << QStringLiteral("GetInitialResultSet") << QStringList { QStringLiteral("budget"), QStringLiteral("q3") }
            << QStringList { uri("/lib/q3/budget q3.ods") };
        QTest::newRow("a sub-search searches afresh")
            << QStringLiteral("GetSubsearchResultSet") << QStringList { QStringLiteral("report-3") }
            << QStringList { uri("/lib/report-3.pdf") };
        QTest::newRow("nothing found") << QStringLiteral("GetInitialResultSet")
                                       << QStringList { QStringLiteral("invoice") } << QStringList();
    }

    void resultSets()
    {
        QFETCH(QString, method);
        QFETCH(QStringList, terms);
        QFETCH(QStringList, expected);
        LibraryStore store(setup(m_file));
        store.setFiles(library());
        Instance instance(store);

        QVariantList arguments;
        if (method == QLatin1String("GetSubsearchResultSet"))
            arguments << QStringList { uri("/lib/report-24.pdf") };
        arguments << terms;
        const QDBusMessage reply = provider(method, arguments);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.arguments().value(0).toStringList(), expected);
        QCOMPARE(instance.shown, 0);
    }

    void resultMetas()
    {
        LibraryStore store(setup(m_file));
        store.setFiles(library());
        Instance instance(store);

        const QDBusMessage reply = provider(QStringLiteral("GetResultMetas"),
            { QStringList { uri("/lib/q4/budget q4.ods"), uri("/gone.txt"), QStringLiteral("https://example.org/a"),
                uri("/notes.txt"), uri("/lib/q4/budget q4.ods") } });
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const auto metas = qdbus_cast<QList<QVariantMap>>(reply.arguments().value(0));
        // Identifiers the library does not hold, and repeats, have no meta.
        QCOMPARE(metas.size(), 2);
        QCOMPARE(metas[0].value(QStringLiteral("id")).toString(), uri("/lib/q4/budget q4.ods"));
        QCOMPARE(metas[0].value(QStringLiteral("name")).toString(), QStringLiteral("budget q4.ods"));
        QCOMPARE(metas[0].value(QStringLiteral("description")).toString(), QStringLiteral("/lib/q4"));
        QCOMPARE(metas[0].value(QStringLiteral("gicon")).toString(),
            QStringLiteral(". GThemedIcon application-vnd.oasis.opendocument.spreadsheet x-office-spreadsheet"));
        QCOMPARE(metas[1].value(QStringLiteral("description")).toString(), QStringLiteral("/"));
    }

    void activation_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QByteArrayList>("opened");
        QTest::newRow("a result of the library opens") << uri("/notes.txt") << QByteArrayList { "/notes.txt" };
        QTest::newRow("a file outside the library does not") << uri("/etc/passwd") << QByteArrayList();
        QTest::newRow("an address that is not a file does not")
            << QStringLiteral("https://example.org/notes.txt") << QByteArrayList();
    }

    void activation()
    {
        QFETCH(QString, identifier);
        QFETCH(QByteArrayList, opened);
        LibraryStore store(setup(m_file));
        store.setFiles(library());
        Instance instance(store);

        QCOMPARE(provider(QStringLiteral("ActivateResult"), { identifier, QStringList(), 0u }).type(),
            QDBusMessage::ReplyMessage);
        QCOMPARE(instance.opened, opened);
        instance.opened.clear();
        QCOMPARE(runner(QStringLiteral("Run"), { identifier, QString() }).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(instance.opened, opened);
        QCOMPARE(instance.shown, 0);
    }

    void launchSearchShowsTessary()
    {
        LibraryStore store(setup(m_file));
        store.setFiles(library());
        Instance instance(store);

        provider(
            QStringLiteral("LaunchSearch"), { QStringList { QStringLiteral("budget"), QStringLiteral("q3") }, 0u });
        QCOMPARE(store.query(), QStringLiteral("budget q3"));
        QCOMPARE(instance.searches, QStringList { QStringLiteral("budget q3") });
        QCOMPARE(instance.shown, 1);

        runner(QStringLiteral("Match"), { QStringLiteral("report") });
        runner(QStringLiteral("Run"), { uri("/lib/report-1.pdf"), QStringLiteral("search") });
        QCOMPARE(store.query(), QStringLiteral("report"));
        QCOMPARE(instance.shown, 2);
        QVERIFY(instance.opened.isEmpty());
    }

    void runnerMatches_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("one match with its folder")
            << QStringLiteral("budget q3") << QStringList { QStringLiteral("budget q3.ods") };
        QTest::newRow("a single letter is not searched") << QStringLiteral("b") << QStringList();
        QTest::newRow("nothing found") << QStringLiteral("invoice") << QStringList();
    }

    void runnerMatches()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, names);
        LibraryStore store(setup(m_file));
        store.setFiles(library());
        Instance instance(store);

        const QDBusMessage reply = runner(QStringLiteral("Match"), { query });
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), QStringLiteral("a(sssida{sv})"));
        const auto matches = qdbus_cast<QList<RunnerMatch>>(reply.arguments().value(0));
        QStringList found;
        for (const RunnerMatch &match : matches) {
            found << match.text;
            QCOMPARE(match.properties.value(QStringLiteral("subtext")).toString(), QStringLiteral("/lib/q3"));
            QCOMPARE(match.id, uri("/lib/q3/budget q3.ods"));
            QVERIFY(!match.iconName.isEmpty());
        }
        QCOMPARE(found, names);
    }
};

QTEST_GUILESS_MAIN(DesktopSearchTest)
#include "desktopsearchtest.moc"
