#include "platform/desktop/powersource.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kProperty = QStringLiteral("OnBattery");

} // namespace

PowerSource::PowerSource(QObject *parent)
    : PowerSource(QDBusConnection::systemBus(), parent)
{ }

PowerSource::PowerSource(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    auto *watcher = new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &PowerSource::ask);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        ++m_serial;
        setOnBattery(false);
    });
    m_bus.connect(kService, kPath, kPropertiesInterface, QStringLiteral("PropertiesChanged"), this,
        SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    ask();
}

void PowerSource::ask()
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kPropertiesInterface, QStringLiteral("Get"));
    message << kService << kProperty;
    message.setAutoStartService(false);
    const quint64 serial = ++m_serial;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, serial](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        // A signal since the question tells the newer state; no answer means no UPower.
        if (serial != m_serial)
            return;
        setOnBattery(!reply.isError() && reply.value().variant().toBool());
    });
}

void PowerSource::propertiesChanged(
    const QString &interface, const QVariantMap &changed, const QStringList &invalidated)
{
    if (interface != kService)
        return;
    if (const auto value = changed.constFind(kProperty); value != changed.constEnd()) {
        ++m_serial;
        setOnBattery(value->toBool());
    } else if (invalidated.contains(kProperty)) {
        ask();
    }
}

void PowerSource::setOnBattery(bool on)
{
    if (m_onBattery == on)
        return;
    m_onBattery = on;
    Q_EMIT onBatteryChanged(on);
}
