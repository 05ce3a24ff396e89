#pragma once

#include <QString>

#include <functional>

class LibraryStore;
class QObject;

// The running instance's automation on the session bus.
namespace Automation {

// Adds the org.tessary.Tessary.Actions interface to `registeredObject`, which the caller then
// registers at /org/tessary/Tessary with QDBusConnection::ExportAdaptors (call this before that
// registration, and before taking the name), and registers the desktop search providers (GNOME
// Shell's at /org/tessary/Tessary/SearchProvider, KRunner's at /org/tessary/Tessary/Runner) on
// the session bus when there is one. `showMain` brings the main window forward;
// `searchInWindow`, which may be empty, lets the window show the search the store's query then
// holds.
//
// Main thread only; the store must outlive `registeredObject`.
void install(QObject *registeredObject, LibraryStore &store, std::function<void()> showMain,
    std::function<void(const QString &query)> searchInWindow);

} // namespace Automation
