#pragma once

#include <QByteArrayList>

// `tessary find`, `tessary latest-download` and `tessary search`: the running instance's actions
// from the terminal. Each prints its result on standard output (paths as their exact bytes, one
// per line) and a failure's message on standard error, and returns the exit status (0, 1 on
// failure, 2 on a usage error). Run under a QCoreApplication; they start Tessary when it is not
// running.
namespace ActionCommands {

int find(const QByteArrayList &arguments);
int latestDownload(const QByteArrayList &arguments);
int search(const QByteArrayList &arguments);

} // namespace ActionCommands
