#pragma once

#include <QByteArray>

// Says on standard error, as "COMMAND: FOLDER: reason", why a folder given on the command line
// cannot be scanned. The scan itself still counts it; this only makes the reason visible.
namespace FolderCheck {
bool readable(const char *command, const QByteArray &folder);
}
