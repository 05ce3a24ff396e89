#pragma once

#include <QByteArray>

class QDBusConnection;

// Shows files in the desktop's file manager and opens them with their default applications.
//
// Call from the GUI thread, with a QGuiApplication running. Nothing here blocks: the file
// manager is asked over D-Bus asynchronously, and its answer (or failure) is handled later by
// the event loop.
namespace FileManagerReveal {

// Asks the file manager for a window showing the file at `path` (absolute) selected, through
// org.freedesktop.FileManager1.ShowItems on the session bus. When there is no session bus or
// the call fails, opens the folder containing the file instead.
void reveal(const QByteArray &path);

// The same through `bus` instead of the session bus.
void reveal(const QByteArray &path, const QDBusConnection &bus);

// Opens the file at `path` with its default application.
void open(const QByteArray &path);

} // namespace FileManagerReveal
