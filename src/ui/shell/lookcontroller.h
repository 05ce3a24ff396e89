#pragma once

#include <QObject>
#include <QPalette>
#include <QString>

#include <optional>

class LibraryStore;
class QStyle;

// Applies the store's `appearance` to the whole application: "Light" and "Dark" are palettes on
// the Fusion style; "System" follows the desktop's colour scheme as the settings portal reports
// it (org.freedesktop.appearance color-scheme, followed live), and the platform's own style and
// palette where the portal has no preference or is absent. Any other value gives the light look.
//
// Main thread only.
class LookController : public QObject
{
    Q_OBJECT

public:
    enum class Look { platform, light, dark };
    enum class SystemScheme { noPreference, dark, light };

    // The look for a stored appearance value and what the desktop reports.
    static Look lookFor(const QString &appearance, std::optional<SystemScheme> system);
    // The portal's color-scheme value: 1 dark, 2 light, anything else no preference.
    static SystemScheme schemeFromPortal(uint value);

    explicit LookController(LibraryStore &store, QObject *parent = nullptr);

    Look current() const { return m_current; }

Q_SIGNALS:
    void lookChanged();

private Q_SLOTS:
    void portalSettingChanged(const QString &group, const QString &key, const class QDBusVariant &value);

private:
    void readPortal();
    void apply();

    LibraryStore &m_store;
    std::optional<SystemScheme> m_system;
    Look m_current = Look::platform;
    QString m_platformStyle;
    QPalette m_platformPalette;
};
