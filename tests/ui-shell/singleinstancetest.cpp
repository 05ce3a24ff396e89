// One Tessary per session: a second `tessary` reaches the first through its name on the session
// bus and exits, and the first brings its window forward or runs the action asked for. Run under
// a private bus (dbus-run-session). Also the launch without any display: one line and status 1.

#include "support/testtree.h"
#include "ui/shell/applicationservice.h"

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void secondLaunchActivatesTheFirst_data();
    void secondLaunchActivatesTheFirst();
    void withoutDisplay_data();
    void withoutDisplay();

private:
    TestTree m_home;
    ApplicationService *m_service = nullptr;
};

void SingleInstanceTest::initTestCase()
{
    // The launches inherit it, so none reads or writes the user's own settings.
    m_home.becomeHome();
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus: run under dbus-run-session");
    m_service = new ApplicationService(this);
    QCOMPARE(m_service->registerOnSessionBus(), ApplicationService::Role::primary);
}

void SingleInstanceTest::secondLaunchActivatesTheFirst_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("action");
    QTest::newRow("plain_launch_brings_the_window_forward") << QStringList() << QString();
    QTest::newRow("demo_launch_brings_the_window_forward") << QStringList{ QStringLiteral("--demo") } << QString();
    QTest::newRow("quick_search_runs_the_action")
        << QStringList{ QStringLiteral("--quick-search") } << QStringLiteral("quick-search");
}

void SingleInstanceTest::secondLaunchActivatesTheFirst()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, action);
    QSignalSpy activated(m_service, &ApplicationService::activated);
    QSignalSpy actions(m_service, &ApplicationService::actionRequested);
    QProcess second;
    second.start(QStringLiteral(TESSARY_BINARY), arguments);
    // The call is answered by this process's event loop, so wait with the loop running.
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    if (action.isEmpty()) {
        QCOMPARE(activated.count(), 1);
        QCOMPARE(actions.count(), 0);
    } else {
        QCOMPARE(actions.count(), 1);
        QCOMPARE(actions.first().first().toString(), action);
    }
}

void SingleInstanceTest::withoutDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("no_display_named") << QString();
    QTest::newRow("display_that_does_not_exist") << QStringLiteral(":97");
}

void SingleInstanceTest::withoutDisplay()
{
    QFETCH(QString, display);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("DISPLAY"));
    // Another bus, so the launch cannot reach the instance this test serves.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    QProcess launch;
    launch.setProcessEnvironment(env);
    launch.start(QStringLiteral(TESSARY_BINARY), {});
    QVERIFY(launch.waitForFinished(20000));
    QCOMPARE(launch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(launch.exitCode(), 1);
    const QString errors = QString::fromUtf8(launch.readAllStandardError());
    const QStringList lines = errors.trimmed().split(u'\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(errors.contains(u"graphical session") && errors.contains(u"xvfb-run") && errors.contains(u"tessary scan"),
             qPrintable(errors));
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "singleinstancetest.moc"
