#pragma once

#include <QByteArrayList>

// `tessary dupes [--json] DIR...`: scans folders and prints the groups of identical files.
namespace DupesCommand {
extern const char *const kUsage;
int run(const QByteArrayList &arguments);
} // namespace DupesCommand
