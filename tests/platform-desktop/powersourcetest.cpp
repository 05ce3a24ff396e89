#include "platform/desktop/powersource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");

// UPower's daemon object as far as the power source reads it.
class FakeUPower : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower")
    Q_PROPERTY(bool OnBattery READ onBattery)

public:
    bool onBattery() const { return m_onBattery; }
    bool m_onBattery = false;
};

} // namespace

// Following UPower on a private bus (run under dbus-run-session), which stands for the system bus.
class PowerSourceTest : public QObject
{
    Q_OBJECT

    FakeUPower m_upower;

    QDBusConnection service() const { return QDBusConnection(QStringLiteral("upower")); }

    void announce(const QString &interface, const QVariantMap &changed, const QStringList &invalidated = {})
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
        signal << interface << changed << invalidated;
        QVERIFY(service().send(signal));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("needs a session bus: run under dbus-run-session");
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("upower"));
        QVERIFY(bus.registerObject(kPath, &m_upower, QDBusConnection::ExportAllProperties));
    }

    void cleanupTestCase() { QDBusConnection::disconnectFromBus(QStringLiteral("upower")); }

    void followsOnBattery()
    {
        PowerSource power(QDBusConnection::sessionBus());
        QVERIFY(!power.onBattery());

        // UPower starts while already on battery.
        m_upower.m_onBattery = true;
        QVERIFY(service().registerService(kService));
        QTRY_VERIFY(power.onBattery());

        m_upower.m_onBattery = false;
        announce(kService, { { QStringLiteral("OnBattery"), false } });
        QTRY_VERIFY(!power.onBattery());

        // Another interface's property of that name, and other properties, change nothing.
        QSignalSpy changes(&power, &PowerSource::onBatteryChanged);
        announce(QStringLiteral("org.freedesktop.UPower.Device"), { { QStringLiteral("OnBattery"), true } });
        announce(kService, { { QStringLiteral("LidIsClosed"), true } });
        announce(kService, { { QStringLiteral("OnBattery"), true } });
        QTRY_VERIFY(power.onBattery());
        QCOMPARE(changes.count(), 1);

        // A property announced as changed without its value is asked for again.
        m_upower.m_onBattery = false;
        announce(kService, {}, { QStringLiteral("OnBattery") });
        QTRY_VERIFY(!power.onBattery());
        m_upower.m_onBattery = true;
        announce(kService, {}, { QStringLiteral("OnBattery") });
        QTRY_VERIFY(power.onBattery());

        // Without UPower the computer counts as on mains power.
        QVERIFY(service().unregisterService(kService));
        QTRY_VERIFY(!power.onBattery());
    }

    void startsFromTheRunningServicesAnswer()
    {
        m_upower.m_onBattery = true;
        QVERIFY(service().registerService(kService));
        PowerSource power(QDBusConnection::sessionBus());
        QTRY_VERIFY(power.onBattery());
        QVERIFY(service().unregisterService(kService));
    }
};

QTEST_GUILESS_MAIN(PowerSourceTest)
#include "powersourcetest.moc"
