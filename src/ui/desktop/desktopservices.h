#pragma once

#include "platform/globalshortcut/globalshortcut.h"
#include "store/librarystore.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class DownloadsTray;
class QKeyEvent;
class QuickSearchPanel;
class SettingsWindow;

// Everything Tessary does outside its main window: the system-wide shortcut, the quick search
// panel, the tray list of downloads and the settings window, and bringing the main window
// forward (`showMain`). One shared instance; it holds the store weakly and knows the main window
// only through the action given to `configure`. Main thread only.
//
// The shortcut is stored in the store's settings as a key code and modifier mask (HotKey) and a
// label; `registerShortcut` binds it through the first global-shortcut service that works and
// reports the outcome in the store's `hotKeyStatus`.
class DesktopServices : public QObject
{
    Q_OBJECT

public:
    static DesktopServices &shared();
    // A service over the given shortcut backends (tests); `shared` uses the standard ones.
    explicit DesktopServices(QList<GlobalShortcut::Factory> backends = GlobalShortcut::standardBackends(),
        QObject *parent = nullptr);
    ~DesktopServices() override;

    // Always replaces `openMain`. The first call (or the first after the store went away)
    // records the store, shows the tray when the store wants it and registers the shortcut.
    void configure(LibraryStore &store, std::function<void()> openMain);
    bool isConfigured() const { return !m_store.isNull(); }
    LibraryStore *store() const { return m_store.data(); }

    // Binds the stored shortcut in place of the previous one.
    void registerShortcut();
    // What became of a key press offered as the shortcut.
    enum class Recording {
        stored, // stored and registered; a combination the desktop refuses is stored too
        incomplete, // a modifier key alone: the combination is still being pressed
        needsModifier, // neither Ctrl, Alt nor Super is held
        unnamedKey, // no shortcut service can name the key
    };
    // Records the shortcut of a key press (its Qt key, modifiers and X keysym, 0 when unknown).
    // Nothing is stored unless the result is `stored`.
    Recording setShortcut(const QKeyEvent &event);
    Recording setShortcut(int key, Qt::KeyboardModifiers modifiers, quint32 keysym = 0);
    // Why a press was refused, for the line under the record button; empty unless refused.
    static QString refusalText(Recording recording);
    // The stored label, "Shift+Ctrl+Space" by default.
    QString shortcutLabel() const;

    // Hides the panel when it is shown, else shows it centred on the screen under the pointer.
    void toggleSearch();
    void hideSearch();
    // Hides the panel and brings the main window forward.
    void showMain();
    // Opens the settings window, or raises it.
    void showSettings();

    // Made on first use and kept; null before.
    QuickSearchPanel *panel() const { return m_panel.get(); }
    SettingsWindow *settingsWindow() const { return m_settings.get(); }
    DownloadsTray *tray() const { return m_tray.get(); }

    // The status lines of `hotKeyStatus`.
    static QString registeredStatus(const QString &label);
    static QString refusedStatus(const QString &detail);
    static QString unavailableStatus();

Q_SIGNALS:
    // The settings window was made (it is kept afterwards).
    void settingsWindowCreated(SettingsWindow *window);

private:
    void showOutcome(const ShortcutOutcome &outcome);

    QPointer<LibraryStore> m_store;
    std::function<void()> m_openMain;
    QList<GlobalShortcut::Factory> m_backends;
    std::unique_ptr<GlobalShortcut> m_shortcut;
    std::unique_ptr<QuickSearchPanel> m_panel;
    std::unique_ptr<SettingsWindow> m_settings;
    std::unique_ptr<DownloadsTray> m_tray;
};
