// The window and the application as native Wayland clients of weston's headless compositor
// (with-weston), on a private session bus where no portal, tray host or KDE service answers.

#include "desktoptesting.h"
#include "ui/desktop/downloadstray.h"
#include "ui/desktop/settingswindow.h"
#include "ui/shell/lookcontroller.h"
#include "ui/shell/mainwindow.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>

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
    }

    void windowMapsAndSettingsSayWhatTheDesktopOffers()
    {
        LibraryStore store(StoreTesting::setup(m_environment.newSettingsFile()));
        LookController look(store);
        MainWindow window(store);
        DesktopServices services; // the portal, KDE's service and the X11 key grab
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        services.configure(store, [] {});
        QTRY_COMPARE(store.hotKeyStatus(), DesktopServices::unavailableStatus());
        services.showSettings();
        QVERIFY(QTest::qWaitForWindowExposed(services.settingsWindow()));
        QStringList shown;
        for (const QLabel *label : services.settingsWindow()->findChildren<QLabel *>())
            shown << label->text();
        QVERIFY(shown.contains(DesktopServices::unavailableStatus()));
        QVERIFY(!DownloadsTray::isAvailable());
        QVERIFY(shown.contains(u"This desktop shows no tray icons (on GNOME, install the AppIndicator extension)."));
    }

    void applicationStartsAndQuits()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        // LeakSanitizer does not know every library the Wayland platform loads into the
        // application, so it misses the pointers they keep in their globals and reads ICU's
        // process-wide caches as leaks. The window's own code is leak-checked in this process.
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
            environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        const QString library = m_environment.path(QStringLiteral("library"));
        QVERIFY(QDir().mkpath(library));
        environment.insert(QStringLiteral("TESSARY_DEMO_PATH"), library);
        QProcess tessary;
        tessary.setProcessEnvironment(environment);
        tessary.setProcessChannelMode(QProcess::ForwardedChannels);
        tessary.start(QStringLiteral(TESSARY_BINARY), { QStringLiteral("--demo") });
        const QString name = QStringLiteral("org.tessary.Tessary");
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(name), 30'000);
        for (const char *action : { "settings", "quit" }) {
            QDBusMessage call = QDBusMessage::createMethodCall(name, QStringLiteral("/org/tessary/Tessary"),
                QStringLiteral("org.freedesktop.Application"), QStringLiteral("ActivateAction"));
            call << QString::fromLatin1(action) << QVariantList() << QVariantMap();
            QCOMPARE(QDBusConnection::sessionBus().call(call).type(), QDBusMessage::ReplyMessage);
        }
        QVERIFY(tessary.waitForFinished(30'000));
        QCOMPARE(tessary.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tessary.exitCode(), 0);
    }
};

QTEST_MAIN(WaylandTest)
#include "waylandtest.moc"
