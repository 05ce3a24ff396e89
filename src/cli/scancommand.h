#pragma once

#include <QByteArrayList>

// `tessary scan [--limit N] [--json] DIR...`: scans folders and prints the records and counts.
namespace ScanCommand {
extern const char *const kUsage;
int run(const QByteArrayList &arguments);
} // namespace ScanCommand
