#pragma once

#include <QByteArrayList>

// `tessary similar [--threshold T] [--limit N] [--json] DIR...`: scans folders and prints the
// groups of look-alike images.
namespace SimilarCommand {
extern const char *const kUsage;
int run(const QByteArrayList &arguments);
} // namespace SimilarCommand
