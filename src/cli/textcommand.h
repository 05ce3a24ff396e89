#pragma once

#include <QByteArrayList>

// `tessary text [--json] FILE...`: prints the text the content reader extracts from files.
namespace TextCommand {
extern const char *const kUsage;
int run(const QByteArrayList &arguments);
} // namespace TextCommand
