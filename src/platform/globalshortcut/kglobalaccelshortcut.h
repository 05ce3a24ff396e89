#pragma once

#include "platform/globalshortcut/globalshortcutbackend.h"

#include <QDBusConnection>
#include <QStringList>

class QDBusPendingCall;

// The shortcut through KDE's global accelerator service (org.kde.kglobalaccel): the action is
// registered under Tessary's component, given the stored combination as its present key, and
// the component's pressed signal for it toggles. A combination another action holds comes back
// without the key: a refusal ("in use"). Unavailable when the service is absent. Main thread only.
class KGlobalAccelShortcut : public GlobalShortcutBackend
{
    Q_OBJECT

public:
    static constexpr const char *kComponent = "org.tessary.Tessary";
    static constexpr const char *kAction = "quick-search";

    explicit KGlobalAccelShortcut(QDBusConnection bus = QDBusConnection::sessionBus());
    ~KGlobalAccelShortcut() override;

    QString name() const override { return QStringLiteral("kglobalaccel"); }
    void bind(const HotKey &key) override;
    void unbind() override;

private Q_SLOTS:
    void pressed(const QString &component, const QString &action, qlonglong timestamp);

private:
    static QStringList actionId();
    // Calls `method` on the service; `next` runs with the reply unless it failed or a newer
    // binding started, in which case the outcome is given here.
    void call(const QString &method, const QVariantList &arguments, std::function<void(const QDBusMessage &)> next);
    void listen(const QString &componentPath);
    void finish(const ShortcutOutcome &outcome);

    QDBusConnection m_bus;
    int m_combination = 0;
    int m_serial = 0;
    bool m_answered = true;
    bool m_active = false;
    QString m_componentPath;
};
