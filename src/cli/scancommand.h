#pragma once

#include <QByteArrayList>

// `tessary scan [--limit N] [--query TEXT] [--json] DIR...`: scans folders and prints the records
// (those matching TEXT) and counts.
namespace ScanCommand {
extern const char *const kUsage;
int run(const QByteArrayList &arguments);
} // namespace ScanCommand
