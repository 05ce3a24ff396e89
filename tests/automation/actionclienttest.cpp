#include "automation/actionclient.h"

#include "automation/actionsadaptor.h"
#include "automation/actionsprotocol.h"
#include "store/storetesting.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace StoreTesting;

Q_DECLARE_METATYPE(ActionClient::Outcome)

// The command-line front against an instance served from this process: the client talks over
// its own connection, as the `tessary` command would from another process.
class ActionClientTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;
    QString m_file = m_environment.newSettingsFile();

    struct Instance
    {
        QObject object;
        explicit Instance(LibraryStore &store)
        {
            new ActionsAdaptor(&object, QDBusConnection::sessionBus(), store, {});
            QDBusConnection bus = QDBusConnection::sessionBus();
            bus.registerObject(ActionsProtocol::objectPath(), &object, QDBusConnection::ExportAdaptors);
            bus.registerService(ActionsProtocol::serviceName());
        }
        ~Instance()
        {
            QDBusConnection bus = QDBusConnection::sessionBus();
            bus.unregisterService(ActionsProtocol::serviceName());
            bus.unregisterObject(ActionsProtocol::objectPath());
        }
    };

    static ActionClient::Outcome run(ActionClient &client, const QString &method, const QVariantList &arguments)
    {
        QSignalSpy finished(&client, &ActionClient::finished);
        client.start(method, arguments);
        if (finished.isEmpty() && !finished.wait(20'000))
            return { -1, QByteArray(), QStringLiteral("no outcome") };
        return finished.first().first().value<ActionClient::Outcome>();
    }
    static QDBusConnection clientBus()
    {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("front"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<ActionClient::Outcome>();
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
    }

    void answersOfTheRunningInstance_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QByteArrayList>("files");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("error");

        QTest::newRow("found paths, one per line, exact bytes")
            << QStringLiteral("FindFiles") << QByteArrayList { "/lib/report one.txt", "/lib/r\xe9sum\xe9 report.txt" }
            << 0 << QByteArray("/lib/report one.txt\n/lib/r\xe9sum\xe9 report.txt\n") << QString();
        QTest::newRow("nothing found prints nothing and succeeds")
            << QStringLiteral("FindFiles") << QByteArrayList { "/lib/notes.txt" } << 0 << QByteArray() << QString();
        QTest::newRow("latest download is one path")
            << QStringLiteral("LatestDownload") << QByteArrayList { "/home/ada/Downloads/setup.deb" } << 0
            << QByteArray("/home/ada/Downloads/setup.deb\n") << QString();
        QTest::newRow("no download fails with the message")
            << QStringLiteral("LatestDownload") << QByteArrayList {} << 1 << QByteArray()
            << QStringLiteral("No local downloads found. Add your Downloads folder in Tessary first.");
    }

    void answersOfTheRunningInstance()
    {
        QFETCH(QString, method);
        QFETCH(QByteArrayList, files);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        QFETCH(QString, error);
        QList<FileRecord> records;
        for (const QByteArray &path : files)
            records.append(record(path));
        LibraryStore store(setup(m_file));
        store.setFiles(records);
        Instance instance(store);
        int launches = 0;
        ActionClient client(clientBus(), [&launches] { return ++launches > 0; });

        QVariantList arguments;
        if (method == QLatin1String("FindFiles"))
            arguments << QStringLiteral("report");
        const ActionClient::Outcome outcome = run(client, method, arguments);
        QCOMPARE(outcome.error, error);
        QCOMPARE(outcome.status, status);
        QCOMPARE(outcome.output, output);
        QCOMPARE(launches, 0);
    }

    void startsTessaryWhenItIsNotRunning_data()
    {
        QTest::addColumn<bool>("launches");
        QTest::addColumn<bool>("appears");
        QTest::addColumn<QString>("error");

        QTest::newRow("started and answering") << true << true << QString();
        QTest::newRow("the program could not be started")
            << false << false << QStringLiteral("Tessary could not be started.");
        QTest::newRow("started but never on the bus")
            << true << false << QStringLiteral("Tessary did not start in time.");
    }

    void startsTessaryWhenItIsNotRunning()
    {
        QFETCH(bool, launches);
        QFETCH(bool, appears);
        QFETCH(QString, error);
        LibraryStore store(setup(m_file));
        store.setFiles({ record("/home/ada/Downloads/setup.deb") });
        std::unique_ptr<Instance> instance;
        ActionClient client(clientBus(), [&] {
            if (appears)
                QTimer::singleShot(200, this, [&] { instance = std::make_unique<Instance>(store); });
            return launches;
        });
        client.setStartTimeout(1000);

        const ActionClient::Outcome outcome = run(client, QStringLiteral("LatestDownload"), {});
        QCOMPARE(outcome.error, error);
        QCOMPARE(outcome.status, error.isEmpty() ? 0 : 1);
        QCOMPARE(outcome.output, error.isEmpty() ? QByteArray("/home/ada/Downloads/setup.deb\n") : QByteArray());
    }
};

QTEST_GUILESS_MAIN(ActionClientTest)
#include "actionclienttest.moc"
