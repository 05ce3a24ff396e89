#include "ui/shell/applicationservice.h"

#include "ui/shell/freedesktopapplicationadaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

QString serviceName()
{
    return QString::fromLatin1(ApplicationService::kServiceName);
}

QString objectPath()
{
    return QString::fromLatin1(ApplicationService::kObjectPath);
}

// What the desktop passes on to let the window take the focus: the startup notification id on
// X11 and the activation token on Wayland.
QVariantMap platformData()
{
    QVariantMap data;
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startupId));
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty())
        data.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    return data;
}

} // namespace

ApplicationService::ApplicationService(QObject *parent) : QObject(parent)
{
    new FreedesktopApplicationAdaptor(this);
}

ApplicationService::~ApplicationService() = default;

ApplicationService::Role ApplicationService::registerOnSessionBus()
{
    return registerOn(QDBusConnection::sessionBus());
}

ApplicationService::Role ApplicationService::registerOn(QDBusConnection bus)
{
    if (!bus.isConnected())
        return Role::alone;
    // The object first, so a second instance that sees the name always finds the interface.
    if (!bus.registerObject(objectPath(), this, QDBusConnection::ExportAdaptors))
        return Role::alone;
    QDBusConnectionInterface *daemon = bus.interface();
    if (daemon == nullptr)
        return Role::alone;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        daemon->registerService(serviceName(), QDBusConnectionInterface::DontQueueService,
                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        bus.unregisterObject(objectPath());
        return Role::alone;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Role::primary;
    bus.unregisterObject(objectPath());
    return Role::secondary;
}

bool ApplicationService::activateRunning(const QString &action, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call;
    if (action.isEmpty()) {
        call = QDBusMessage::createMethodCall(serviceName(), objectPath(), kInterface, QStringLiteral("Activate"));
        call << platformData();
    } else {
        call = QDBusMessage::createMethodCall(serviceName(), objectPath(), kInterface, QStringLiteral("ActivateAction"));
        call << action << QVariantList() << platformData();
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void ApplicationService::activate(const QVariantMap &platformData)
{
    Q_UNUSED(platformData)
    Q_EMIT activated();
}

void ApplicationService::open(const QStringList &uris, const QVariantMap &platformData)
{
    Q_UNUSED(platformData)
    QList<QUrl> urls;
    for (const QString &uri : uris) {
        const QUrl url(uri, QUrl::StrictMode);
        if (url.isValid() && url.isLocalFile())
            urls.append(url);
    }
    Q_EMIT activated();
    if (!urls.isEmpty())
        Q_EMIT openRequested(urls);
}

void ApplicationService::activateAction(const QString &name, const QVariantList &parameters,
                                        const QVariantMap &platformData)
{
    Q_UNUSED(parameters)
    Q_UNUSED(platformData)
    Q_EMIT actionRequested(name);
}
