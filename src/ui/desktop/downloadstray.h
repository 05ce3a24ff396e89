#pragma once

#include <QObject>

#include <memory>

class DesktopServices;
class DownloadsPanel;
class LibraryStore;
class QMenu;
class QSystemTrayIcon;

// The tray icon, present exactly while the store's `menuBarEnabled` is true. Activating it shows
// the downloads panel as a popup at the pointer, kept on the screen, or as a small window where
// the desktop cannot place popups (Wayland). Its menu offers Quick Search, Open Tessary,
// Settings… and Quit. Main thread only.
class DownloadsTray : public QObject
{
    Q_OBJECT

public:
    DownloadsTray(LibraryStore &store, DesktopServices &services, QObject *parent = nullptr);
    ~DownloadsTray() override;

    // Whether the desktop shows tray icons at all (GNOME needs its AppIndicator extension).
    static bool isAvailable();
    // Null while `menuBarEnabled` is false.
    QSystemTrayIcon *icon() const { return m_icon.get(); }
    QMenu *menu() const { return m_menu.get(); }
    // Made on first use and kept.
    DownloadsPanel *panel() const { return m_panel.get(); }

    // Shows the panel near `point` (global coordinates), inside that screen's available area.
    void showPanel(const QPoint &point);

private:
    void followSetting();
    void updateMenuText();

    LibraryStore &m_store;
    DesktopServices &m_services;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    std::unique_ptr<DownloadsPanel> m_panel;
    class QAction *m_quickSearch = nullptr;
};
