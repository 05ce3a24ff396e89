#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

// Runs a helper program and collects what it prints.
//
// The arguments are passed as exact bytes (a file name that is not valid UTF-8 reaches the
// program unchanged). Standard input and standard error are /dev/null. Synchronous; safe on any
// thread.
namespace ProcessOutput {

// `arguments[0]` is looked up in PATH. Returns standard output when the program ran and exited
// with status 0 within `timeoutMilliseconds` (it is killed after that), absent otherwise,
// including when the program is not installed. Output beyond `maxBytes` fails the run.
std::optional<QByteArray> run(
    const QByteArrayList &arguments, int timeoutMilliseconds = 10'000, qsizetype maxBytes = 64 * 1024 * 1024);

} // namespace ProcessOutput
