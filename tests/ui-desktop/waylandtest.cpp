// The window as a native Wayland client: run under weston's headless back end (with-weston) and a
// private session bus on which no portal, tray host or KDE service answers.

#include "desktoptesting.h"
#include "ui/desktop/downloadstray.h"
#include "ui/desktop/quicksearchpanel.h"
#include "ui/desktop/settingswindow.h"
#include "ui/shell/lookcontroller.h"
#include "ui/shell/mainwindow.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kServiceName = QStringLiteral("org.tessary.Tessary");

bool settingsShows(const SettingsWindow &window, const QString &text)
{
    const QList<QLabel *> labels = window.findChildren<QLabel *>();
    return std::any_of(labels.cbegin(), labels.cend(), [&](const QLabel *label) { return label->text() == text; });
}

QDBusMessage activateAction(const QString &action)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kServiceName, QStringLiteral("/org/tessary/Tessary"),
        QStringLiteral("org.freedesktop.Application"), QStringLiteral("ActivateAction"));
    message << action << QVariantList() << QVariantMap();
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 20'000);
}

} // namespace

class WaylandTest : public QObject
{
    Q_OBJECT

    StoreTesting::StoreEnvironment m_environment;

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("TESSARY_WAYLAND_UNAVAILABLE"))
            QSKIP(qPrintable(qEnvironmentVariable("TESSARY_WAYLAND_UNAVAILABLE")));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
    }

    void windowsMapAndSettingsSayWhatTheDesktopOffers()
    {
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        LookController look(store);
        MainWindow window(store);
        // The standard shortcut services: the portal, KDE's service and the X11 key grab.
        DesktopServices services;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        services.configure(store, [&window] { window.showMain(); });

        // Neither the portal nor KDE answers, and there is no X server to grab keys on.
        QTRY_COMPARE(store.hotKeyStatus(), DesktopServices::unavailableStatus());
        QVERIFY(!DownloadsTray::isAvailable());
        services.showSettings();
        SettingsWindow *settings = services.settingsWindow();
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        QVERIFY(settingsShows(*settings, DesktopServices::unavailableStatus()));
        QVERIFY(settingsShows(*settings,
            QStringLiteral("This desktop shows no tray icons (on GNOME, install the AppIndicator extension).")));

        services.toggleSearch();
        QVERIFY(services.panel());
        QVERIFY(QTest::qWaitForWindowExposed(services.panel()));
        services.toggleSearch();
        QVERIFY(!services.panel()->isVisible());
    }

    void applicationRunsAsAWaylandClient()
    {
        // The program itself: it takes its name on the bus, opens its settings when asked and
        // quits cleanly, never falling back to X11 (there is none) or stopping on the absent
        // portal.
        QTemporaryDir home;
        QTemporaryDir library;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("HOME"), home.path());
        for (const char *folder : { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" })
            environment.insert(QString::fromLatin1(folder), home.filePath(QString::fromLatin1(folder)));
        environment.insert(QStringLiteral("TESSARY_DEMO_PATH"), library.path());
        QProcess tessary;
        tessary.setProcessEnvironment(environment);
        tessary.setProcessChannelMode(QProcess::ForwardedChannels);
        tessary.start(QStringLiteral(TESSARY_BINARY), { QStringLiteral("--demo") });
        QVERIFY(tessary.waitForStarted());
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        QTRY_VERIFY_WITH_TIMEOUT(
            bus->isServiceRegistered(kServiceName) || tessary.state() == QProcess::NotRunning, 30'000);
        QVERIFY(tessary.state() == QProcess::Running);

        QCOMPARE(activateAction(QStringLiteral("settings")).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(activateAction(QStringLiteral("quit")).type(), QDBusMessage::ReplyMessage);
        QVERIFY(tessary.waitForFinished(30'000));
        QCOMPARE(tessary.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tessary.exitCode(), 0);
    }
};

QTEST_MAIN(WaylandTest)
#include "waylandtest.moc"
