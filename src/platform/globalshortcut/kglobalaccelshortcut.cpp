#include "platform/globalshortcut/kglobalaccelshortcut.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

namespace {

const QString kService = QStringLiteral("org.kde.kglobalaccel");
const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
// setShortcut flags: make the given keys the present ones, and do not restore saved ones.
constexpr uint kSetPresent = 2;
constexpr uint kNoAutoloading = 4;

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

} // namespace

KGlobalAccelShortcut::KGlobalAccelShortcut(QDBusConnection bus)
    : m_bus(std::move(bus))
{ }

KGlobalAccelShortcut::~KGlobalAccelShortcut()
{
    unbind();
}

QStringList KGlobalAccelShortcut::actionId()
{
    return { QString::fromLatin1(kComponent), QString::fromLatin1(kAction), QStringLiteral("Tessary"),
        QStringLiteral("Quick Search") };
}

void KGlobalAccelShortcut::bind(const HotKey &key)
{
    ++m_serial;
    m_answered = false;
    m_combination = key.qtCombination();
    if (!m_bus.isConnected()) {
        finish(ShortcutOutcome { ShortcutOutcome::Result::unavailable, {} });
        return;
    }
    call(QStringLiteral("doRegister"), { actionId() }, [this](const QDBusMessage &) {
        const QVariantList keys { QVariant::fromValue(QList<int> { m_combination }) };
        call(QStringLiteral("setShortcut"), { actionId(), keys.first(), kSetPresent | kNoAutoloading },
            [this](const QDBusMessage &reply) {
                const QList<int> present = qdbus_cast<QList<int>>(reply.arguments().value(0));
                if (m_combination == 0 || !present.contains(m_combination)) {
                    finish(ShortcutOutcome { ShortcutOutcome::Result::refused, QStringLiteral("in use") });
                    return;
                }
                m_active = true;
                call(QStringLiteral("getComponent"), { QString::fromLatin1(kComponent) },
                    [this](const QDBusMessage &component) {
                        listen(component.arguments().value(0).value<QDBusObjectPath>().path());
                        finish(ShortcutOutcome { ShortcutOutcome::Result::registered, {} });
                    });
            });
    });
}

void KGlobalAccelShortcut::unbind()
{
    ++m_serial;
    listen({});
    if (m_active && m_bus.isConnected()) {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("setInactive"));
        message << actionId();
        m_bus.asyncCall(message);
    }
    m_active = false;
}

void KGlobalAccelShortcut::pressed(const QString &component, const QString &action, qlonglong)
{
    if (component == QLatin1String(kComponent) && action == QLatin1String(kAction))
        Q_EMIT activated();
}

void KGlobalAccelShortcut::call(
    const QString &method, const QVariantList &arguments, std::function<void(const QDBusMessage &)> next)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    const int serial = m_serial;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, serial, next](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        if (serial != m_serial)
            return;
        const QDBusMessage reply = done->reply();
        if (reply.type() == QDBusMessage::ErrorMessage) {
            const QDBusError error(reply);
            finish(meansAbsent(error) ? ShortcutOutcome { ShortcutOutcome::Result::unavailable, {} }
                                      : ShortcutOutcome { ShortcutOutcome::Result::refused, error.name() });
            return;
        }
        next(reply);
    });
}

void KGlobalAccelShortcut::listen(const QString &componentPath)
{
    const QString signal = QStringLiteral("globalShortcutPressed");
    if (!m_componentPath.isEmpty())
        m_bus.disconnect(kService, m_componentPath, kComponentInterface, signal, this,
            SLOT(pressed(QString, QString, qlonglong)));
    m_componentPath = componentPath;
    if (!m_componentPath.isEmpty())
        m_bus.connect(kService, m_componentPath, kComponentInterface, signal, this,
            SLOT(pressed(QString, QString, qlonglong)));
}

void KGlobalAccelShortcut::finish(const ShortcutOutcome &outcome)
{
    if (m_answered)
        return;
    m_answered = true;
    Q_EMIT bound(outcome);
}
