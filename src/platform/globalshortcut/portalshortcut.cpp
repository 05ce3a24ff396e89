#include "platform/globalshortcut/portalshortcut.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// One element of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcutEntry
{
    QString id;
    QVariantMap properties;
};

} // namespace

Q_DECLARE_METATYPE(PortalShortcutEntry)

namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

// Errors that mean "no such portal here" rather than "the portal said no".
bool meansAbsent(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
    case QDBusError::Disconnected:
        return true;
    default:
        return false;
    }
}

QString pathText(const QVariant &value)
{
    return value.canConvert<QDBusObjectPath>() && value.metaType() == QMetaType::fromType<QDBusObjectPath>()
        ? value.value<QDBusObjectPath>().path()
        : value.toString();
}

} // namespace

PortalShortcut::PortalShortcut(QDBusConnection bus)
    : m_bus(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcutEntry>();
    qDBusRegisterMetaType<QList<PortalShortcutEntry>>();
    if (m_bus.isConnected())
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
            SLOT(shortcutActivated(QDBusMessage)));
}

PortalShortcut::~PortalShortcut()
{
    unbind();
}

void PortalShortcut::bind(const HotKey &key)
{
    unbind();
    m_key = key;
    m_answered = false;
    if (!m_bus.isConnected()) {
        finish(ShortcutOutcome { ShortcutOutcome::Result::unavailable, {} });
        return;
    }
    const QString token = expectResponse(SLOT(sessionResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
    call << QVariantMap { { QStringLiteral("handle_token"), token },
        { QStringLiteral("session_handle_token"), QStringLiteral("tessary_%1").arg(m_serial) } };
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalShortcut::callFailed);
}

void PortalShortcut::unbind()
{
    stopExpecting();
    if (!m_session.isEmpty() && m_bus.isConnected())
        m_bus.asyncCall(QDBusMessage::createMethodCall(
            kService, m_session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
    m_session.clear();
}

void PortalShortcut::sessionResponse(uint response, const QVariantMap &results)
{
    stopExpecting();
    if (response != 0) {
        finish(ShortcutOutcome { ShortcutOutcome::Result::refused, QString::number(response) });
        return;
    }
    m_session = pathText(results.value(QStringLiteral("session_handle")));
    if (m_session.isEmpty()) {
        finish(ShortcutOutcome { ShortcutOutcome::Result::refused, QStringLiteral("no session") });
        return;
    }
    const QString token = expectResponse(SLOT(bindResponse(uint, QVariantMap)));
    const QList<PortalShortcutEntry> shortcuts { { QString::fromLatin1(kShortcutId),
        { { QStringLiteral("description"), QStringLiteral("Quick Search") },
            { QStringLiteral("preferred_trigger"), m_key.portalTrigger() } } } };
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap { { QStringLiteral("handle_token"), token } };
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalShortcut::callFailed);
}

void PortalShortcut::bindResponse(uint response, const QVariantMap &results)
{
    stopExpecting();
    if (response != 0) {
        finish(ShortcutOutcome { ShortcutOutcome::Result::refused, QString::number(response) });
        return;
    }
    const QVariant bound = results.value(QStringLiteral("shortcuts"));
    if (bound.canConvert<QDBusArgument>()) {
        QList<PortalShortcutEntry> entries;
        bound.value<QDBusArgument>() >> entries;
        const bool ours = std::any_of(entries.cbegin(), entries.cend(),
            [](const PortalShortcutEntry &entry) { return entry.id == QLatin1String(kShortcutId); });
        if (!ours) {
            finish(ShortcutOutcome { ShortcutOutcome::Result::refused, QStringLiteral("not bound") });
            return;
        }
    }
    finish(ShortcutOutcome { ShortcutOutcome::Result::registered, {} });
}

void PortalShortcut::shortcutActivated(const QDBusMessage &message)
{
    // Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QVariantList arguments = message.arguments();
    const QString session = arguments.value(0).value<QDBusObjectPath>().path();
    if (!m_session.isEmpty() && session == m_session && arguments.value(1).toString() == QLatin1String(kShortcutId))
        Q_EMIT activated();
}

QString PortalShortcut::requestPath(const QString &token) const
{
    QString sender = m_bus.baseService();
    sender.remove(0, sender.startsWith(u':') ? 1 : 0).replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + u'/' + token;
}

QString PortalShortcut::expectResponse(const char *slot)
{
    stopExpecting();
    const QString token = QStringLiteral("tessary_%1").arg(++m_serial);
    m_pendingRequest = requestPath(token);
    // Subscribed before the call, so an answer sent at once is not missed.
    m_bus.connect(kService, m_pendingRequest, kRequestInterface, QStringLiteral("Response"), this, slot);
    return token;
}

void PortalShortcut::stopExpecting()
{
    if (m_pendingRequest.isEmpty())
        return;
    m_bus.disconnect(kService, m_pendingRequest, kRequestInterface, QStringLiteral("Response"), this,
        SLOT(sessionResponse(uint, QVariantMap)));
    m_bus.disconnect(kService, m_pendingRequest, kRequestInterface, QStringLiteral("Response"), this,
        SLOT(bindResponse(uint, QVariantMap)));
    m_pendingRequest.clear();
}

void PortalShortcut::callFailed(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (!reply.isError() || m_answered)
        return;
    stopExpecting();
    const QDBusError error = reply.error();
    finish(meansAbsent(error) ? ShortcutOutcome { ShortcutOutcome::Result::unavailable, {} }
                              : ShortcutOutcome { ShortcutOutcome::Result::refused, error.name() });
}

void PortalShortcut::finish(const ShortcutOutcome &outcome)
{
    if (m_answered)
        return;
    m_answered = true;
    Q_EMIT bound(outcome);
}
