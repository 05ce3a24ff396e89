#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// Whether the computer runs on its battery, as UPower says (the OnBattery property of
// org.freedesktop.UPower on the system bus), followed as it changes. Without UPower (no system
// bus, the service not running, or gone) the computer counts as on mains power. UPower is never
// started for this.
//
// Nothing blocks: the property is asked for asynchronously and the answer arrives through the
// event loop. Main thread only.
class PowerSource : public QObject
{
    Q_OBJECT

public:
    // Follows UPower on the system bus.
    explicit PowerSource(QObject *parent = nullptr);
    // Follows UPower on `bus` (tests).
    explicit PowerSource(const QDBusConnection &bus, QObject *parent = nullptr);

    bool onBattery() const { return m_onBattery; }

Q_SIGNALS:
    void onBatteryChanged(bool onBattery);

private Q_SLOTS:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated);

private:
    void ask();
    void setOnBattery(bool on);

    QDBusConnection m_bus;
    bool m_onBattery = false;
    // Counts the answers and signals seen, so an answer older than a signal is not applied.
    quint64 m_serial = 0;
};
