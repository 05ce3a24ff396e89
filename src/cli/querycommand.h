#pragma once

#include <QByteArrayList>

// `tessary query [--now ISO-8601] [--first-weekday 1-7] [--json] [--remove-chip N] TEXT...`:
// parses a search line and prints the query it gives, or the line without one chip.
namespace QueryCommand {
extern const char *const kUsage;
int run(const QByteArrayList &arguments);
} // namespace QueryCommand
