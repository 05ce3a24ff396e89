#include "platform/desktop/filemanagerreveal.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString kFileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

} // namespace

// Takes the place of the desktop's URL opener.
class UrlReceiver : public QObject
{
    Q_OBJECT
public:
    QList<QByteArray> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url.toEncoded()); }
};

// Takes the place of the file manager on a private bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shownItems;
    QStringList startupIds;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        shownItems.append(uris);
        startupIds.append(startupId);
    }
};

class FileManagerRevealTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_environment;
    UrlReceiver m_receiver;
    QProcess m_busDaemon;
    QString m_busAddress;

    // Starts a bus of our own that no installed service can be activated on.
    void startPrivateBus()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty())
            return;
        QFile config(m_environment.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=" + QFile::encodeName(m_environment.path())
            + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/><allow "
              "receive_sender=\"*\"/>"
              "<allow own=\"*\"/></policy></busconfig>\n");
        config.close();

        m_busDaemon.start(program,
            { QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--print-address"),
                QStringLiteral("--nofork") });
        QVERIFY(m_busDaemon.waitForStarted());
        QTRY_VERIFY(m_busDaemon.canReadLine());
        m_busAddress = QString::fromUtf8(m_busDaemon.readLine().trimmed());
    }

private Q_SLOTS:
    void initTestCase()
    {
        // No session bus for this process: the fallback paths must be taken.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("DISPLAY");
        qunsetenv("XDG_ACTIVATION_TOKEN");
        qunsetenv("DESKTOP_STARTUP_ID");
        for (const char *variable : { "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR" })
            qputenv(variable, QFile::encodeName(m_environment.path()));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_receiver, "open");
        startPrivateBus();
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fileManager"));
        if (m_busDaemon.state() != QProcess::NotRunning) {
            m_busDaemon.terminate();
            m_busDaemon.waitForFinished();
        }
    }

    void init() { m_receiver.opened.clear(); }

    void revealWithoutSessionBusOpensFolder_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("folderUrl");
        QTest::newRow("file at the root") << QByteArray("/notes.txt") << QByteArray("file:///");
        QTest::newRow("folder with a trailing slash")
            << QByteArray("/home/ada/photos/") << QByteArray("file:///home/ada");
        QTest::newRow("awkward folder name") << QByteArray("/caf\xe9 #1/a?") << QByteArray("file:///caf%E9%20%231");
    }

    void revealWithoutSessionBusOpensFolder()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, folderUrl);
        if (QDBusConnection::sessionBus().isConnected())
            QSKIP("A session bus was reached although none was configured");
        FileManagerReveal::reveal(path);
        QTRY_COMPARE(m_receiver.opened, QList<QByteArray> { folderUrl });
    }

    void openOpensTheFileItself()
    {
        FileManagerReveal::open("/caf\xe9/100% sure.txt");
        QCOMPARE(m_receiver.opened, QList<QByteArray> { "file:///caf%E9/100%25%20sure.txt" });
    }

    void revealAsksFileManager_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("uri");
        QTest::newRow("plain name, no token")
            << QByteArray("/home/ada/a b.txt") << QByteArray() << QStringLiteral("file:///home/ada/a%20b.txt");
        QTest::newRow("awkward name, activation token")
            << QByteArray("/caf\xe9/#1?") << QByteArray("token-42") << QStringLiteral("file:///caf%E9/%231%3F");
    }

    void revealAsksFileManager()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, token);
        QFETCH(QString, uri);
        if (m_busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed");

        FakeFileManager fileManager;
        QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("fileManager"));
        QVERIFY(service.registerObject(kFileManagerPath, &fileManager, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(kFileManagerService));
        const auto unregister = qScopeGuard([&service] {
            service.unregisterService(kFileManagerService);
            service.unregisterObject(kFileManagerPath);
            qunsetenv("XDG_ACTIVATION_TOKEN");
        });
        if (!token.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token);

        FileManagerReveal::reveal(path, QDBusConnection::connectToBus(m_busAddress, QStringLiteral("client")));
        QTRY_COMPARE(fileManager.shownItems, QList<QStringList> { QStringList { uri } });
        QCOMPARE(fileManager.startupIds, QStringList { QString::fromUtf8(token) });
    }

    void revealWithoutFileManagerOpensFolder()
    {
        if (m_busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed");
        FileManagerReveal::reveal(
            "/home/ada/notes.txt", QDBusConnection::connectToBus(m_busAddress, QStringLiteral("client")));
        QTRY_COMPARE(m_receiver.opened, QList<QByteArray> { "file:///home/ada" });
    }
};

QTEST_MAIN(FileManagerRevealTest)
#include "filemanagerrevealtest.moc"
