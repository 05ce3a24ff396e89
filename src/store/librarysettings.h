#pragma once

#include "platform/timestamp.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <memory>

class DefaultsFile;

// The store's remembered settings: each key with its type and its default in one place, over
// the defaults file. Reads come from the file as it was when this object was made; every setter
// rewrites the file at once and returns false when that failed (lastError() says why).
//
// Not thread-safe; the store uses it on the main thread only.
class LibrarySettings
{
public:
    static constexpr double kDefaultTileSize = 170;
    // The quick search shortcut: Space (virtual key code 49) with Shift and Ctrl (mask 768).
    static constexpr quint32 kDefaultHotKeyCode = 49;
    static constexpr quint32 kDefaultHotKeyMods = 768;

    explicit LibrarySettings(const QString &file = {});
    ~LibrarySettings();

    // 170 when absent or stored as 0.
    double tileSize() const;
    // True unless stored as the Boolean false.
    bool menuBarEnabled() const;
    QString appearance() const;
    bool autoRefresh() const;
    bool autoInstallers() const;
    bool autoScreenshots() const;
    bool minimal() const;
    // False unless stored as the Boolean true: the text index waits for mains power.
    bool indexOnBattery() const;
    QStringList pinnedPaths() const;
    QStringList savedSearches() const;
    // The distant past when absent or not a date.
    Timestamp lastRuleRun() const;
    // The roots' paths; empty when the stored list holds anything but paths.
    QByteArrayList folderBookmarks() const;
    // The quick search shortcut's key code, modifier mask and label; the defaults above (and
    // "Shift+Ctrl+Space") when absent, of another type, or a number outside 0 to 2^32 - 1.
    quint32 hotKeyCode() const;
    quint32 hotKeyMods() const;
    QString hotKeyLabel() const;

    bool setTileSize(double value);
    bool setMenuBarEnabled(bool value);
    bool setAppearance(const QString &value);
    bool setAutoRefresh(bool value);
    bool setAutoInstallers(bool value);
    bool setAutoScreenshots(bool value);
    bool setMinimal(bool value);
    bool setIndexOnBattery(bool value);
    bool setPinnedPaths(const QStringList &value);
    bool setSavedSearches(const QStringList &value);
    bool setLastRuleRun(const Timestamp &value);
    bool setFolderBookmarks(const QByteArrayList &value);
    // Writes the three shortcut keys.
    bool setHotKey(quint32 code, quint32 mods, const QString &label);

    QString lastError() const;

private:
    std::unique_ptr<DefaultsFile> m_file;
};
