#pragma once

#include "platform/globalshortcut/globalshortcutbackend.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// The shortcut through the desktop portal's GlobalShortcuts interface: a session is created,
// the shortcut bound with the stored combination as its preferred trigger, and the portal's
// Activated signal for it toggles. Each binding opens a new session and closes the previous
// one. Unavailable when the portal or its GlobalShortcuts interface is absent; a request the
// portal answers with a non-zero response, or a D-Bus error, is a refusal. Main thread only.
class PortalShortcut : public GlobalShortcutBackend
{
    Q_OBJECT

public:
    static constexpr const char *kShortcutId = "quick-search";

    explicit PortalShortcut(QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalShortcut() override;

    QString name() const override { return QStringLiteral("portal"); }
    void bind(const HotKey &key) override;
    void unbind() override;

private Q_SLOTS:
    void sessionResponse(uint response, const QVariantMap &results);
    void bindResponse(uint response, const QVariantMap &results);
    void shortcutActivated(const QDBusMessage &message);

private:
    // The object path the portal will answer a request with `token` on.
    QString requestPath(const QString &token) const;
    // Listens for the Response of a request with a fresh token on `slot`; returns the token.
    QString expectResponse(const char *slot);
    void stopExpecting();
    void callFailed(QDBusPendingCallWatcher *watcher);
    void finish(const ShortcutOutcome &outcome);

    QDBusConnection m_bus;
    HotKey m_key;
    QString m_session;
    QString m_pendingRequest; // path whose Response is awaited
    int m_serial = 0;
    bool m_answered = true; // the current bind has emitted its outcome
};
