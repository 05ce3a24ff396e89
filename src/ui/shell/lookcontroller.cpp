#include "ui/shell/lookcontroller.h"

#include "store/librarystore.h"
#include "ui/common/theme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStyle>
#include <QStyleFactory>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants depending on the method and version.
uint unwrapUInt(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt();
}

} // namespace

LookController::Look LookController::lookFor(const QString &appearance, std::optional<SystemScheme> system)
{
    if (appearance == u"System") {
        if (system == SystemScheme::dark)
            return Look::dark;
        if (system == SystemScheme::light)
            return Look::light;
        return Look::platform;
    }
    if (appearance == u"Dark")
        return Look::dark;
    return Look::light;
}

LookController::SystemScheme LookController::schemeFromPortal(uint value)
{
    switch (value) {
    case 1:
        return SystemScheme::dark;
    case 2:
        return SystemScheme::light;
    default:
        return SystemScheme::noPreference;
    }
}

LookController::LookController(LibraryStore &store, QObject *parent)
    : QObject(parent), m_store(store), m_platformPalette(QApplication::palette())
{
    if (QApplication::style() != nullptr)
        m_platformStyle = QApplication::style()->name();
    connect(&store, &LibraryStore::appearanceChanged, this, &LookController::apply);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"), this,
                    SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
        readPortal();
    }
    apply();
}

void LookController::readPortal()
{
    // Asynchronous: the portal may need to be started, and the window must not wait for it.
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface,
                                                      QStringLiteral("Read"));
    call << kAppearanceGroup << kColorScheme;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QVariant> reply = *w;
        w->deleteLater();
        if (reply.isError())
            return;
        m_system = schemeFromPortal(unwrapUInt(reply.value()));
        apply();
    });
}

void LookController::portalSettingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group != kAppearanceGroup || key != kColorScheme)
        return;
    m_system = schemeFromPortal(unwrapUInt(value.variant()));
    apply();
}

void LookController::apply()
{
    const Look look = lookFor(m_store.appearance(), m_system);
    if (look == Look::platform) {
        if (!m_platformStyle.isEmpty() && QApplication::style()->name() != m_platformStyle)
            QApplication::setStyle(QStyleFactory::create(m_platformStyle));
        QApplication::setPalette(m_platformPalette);
    } else {
        if (QApplication::style()->name() != u"fusion")
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(look == Look::dark ? Theme::darkPalette() : Theme::lightPalette());
    }
    if (look != m_current) {
        m_current = look;
        Q_EMIT lookChanged();
    }
}
