#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

// The running instance on the session bus: owns the name org.tessary.Tessary and serves
// org.freedesktop.Application on /org/tessary/Tessary, so a second `tessary`, or the desktop
// activating the application, reaches the first one instead of opening another window.
//
// Main thread only. Without a session bus Tessary runs as a lone instance.
class ApplicationService : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kServiceName = "org.tessary.Tessary";
    static constexpr const char *kObjectPath = "/org/tessary/Tessary";

    enum class Role {
        // This process owns the name and serves the interface.
        primary,
        // Another process owns the name already.
        secondary,
        // There is no session bus.
        alone,
    };

    explicit ApplicationService(QObject *parent = nullptr);
    ~ApplicationService() override;

    // Registers the object, then tries to own the name. Call once.
    Role registerOnSessionBus();
    Role registerOn(QDBusConnection bus);
    // From a secondary: asks the primary to come forward (`action` empty) or to run one of its
    // actions. False when the call failed.
    static bool activateRunning(const QString &action = QString(), int timeoutMs = 5000);

    // Called by the adaptor.
    void activate(const QVariantMap &platformData);
    void open(const QStringList &uris, const QVariantMap &platformData);
    void activateAction(const QString &name, const QVariantList &parameters, const QVariantMap &platformData);

Q_SIGNALS:
    // Bring the main window forward.
    void activated();
    // Run the named action ("quick-search", "settings", "quit").
    void actionRequested(const QString &name);
    // Open these files (lossless file URLs).
    void openRequested(const QList<QUrl> &urls);
};
