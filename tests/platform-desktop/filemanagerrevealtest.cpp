#include "platform/desktop/filemanagerreveal.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The test object stands in for the desktop's URL opener and, on a private bus that no installed
// service can be activated on, for the file manager.
class FileManagerRevealTest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

    QTemporaryDir m_environment;
    QProcess m_bus;
    QString m_busAddress;
    QByteArrayList m_opened;
    QStringList m_shown;

public Q_SLOTS:
    void openUrl(const QUrl &url) { m_opened.append(url.toEncoded()); }
    void ShowItems(const QStringList &uris, const QString &startupId) { m_shown << uris.join(u' ') + u'|' + startupId; }

private Q_SLOTS:
    void initTestCase()
    {
        // No session bus for this process.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("DISPLAY");
        for (const char *variable : { "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR" })
            qputenv(variable, QFile::encodeName(m_environment.path()));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        QFile config(m_environment.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=" + QFile::encodeName(m_environment.path())
            + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
              "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        m_bus.start(daemon,
            { QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--print-address"),
                QStringLiteral("--nofork") });
        QTRY_VERIFY(m_bus.canReadLine());
        m_busAddress = QString::fromUtf8(m_bus.readLine().trimmed());
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fileManager"));
        m_bus.terminate();
        m_bus.waitForFinished();
    }

    void init() { m_opened.clear(); }

    // Without a session bus, revealing opens the containing folder; opening opens the file itself.
    void withoutSessionBus_data()
    {
        QTest::addColumn<bool>("reveals");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("url");
        QTest::newRow("file at the root") << true << QByteArray("/notes.txt") << QByteArray("file:///");
        QTest::newRow("trailing slash") << true << QByteArray("/home/ada/photos/") << QByteArray("file:///home/ada");
        QTest::newRow("awkward name") << true << QByteArray("/caf\xe9 #1/a?") << QByteArray("file:///caf%E9%20%231");
        QTest::newRow("open") << false << QByteArray("/caf\xe9/100% a") << QByteArray("file:///caf%E9/100%25%20a");
    }

    void withoutSessionBus()
    {
        QFETCH(bool, reveals);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, url);
        reveals ? FileManagerReveal::reveal(path) : FileManagerReveal::open(path);
        QTRY_COMPARE(m_opened, QByteArrayList { url });
    }

    void theFileManagerShowsTheFile()
    {
        if (m_busAddress.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("fileManager"));
        QVERIFY(service.registerObject(
            QStringLiteral("/org/freedesktop/FileManager1"), this, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        qputenv("XDG_ACTIVATION_TOKEN", "token-42");
        const QDBusConnection client = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("client"));
        FileManagerReveal::reveal("/caf\xe9/#1?", client);
        QTRY_COMPARE(m_shown, QStringList { QStringLiteral("file:///caf%E9/%231%3F|token-42") });
        QVERIFY(m_opened.isEmpty());

        // Once no file manager answers, the folder opens instead.
        service.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        FileManagerReveal::reveal("/home/ada/notes.txt", client);
        QTRY_COMPARE(m_opened, QByteArrayList { "file:///home/ada" });
        QCOMPARE(m_shown.size(), 1);
    }
};

QTEST_MAIN(FileManagerRevealTest)
#include "filemanagerrevealtest.moc"
