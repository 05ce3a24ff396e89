#pragma once

#include <QByteArrayList>

// `tessary index [--file PATH] DIR...`: scans folders and builds or updates a text index.
namespace IndexCommand {
extern const char *const kUsage;
int run(const QByteArrayList &arguments);
} // namespace IndexCommand
