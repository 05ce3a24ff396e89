#pragma once

#include <QByteArray>
#include <QByteArrayList>

// Runs a command as a child process and measures it: wall time from fork to exit, and the
// child's peak resident memory as the kernel accounts it (wait4). The kernel also counts the
// copy of this process that exists between fork and exec, so a peak is never reported below
// this process's own private memory: measure from a small process.
namespace ProcessRun {

struct Measurement
{
    double seconds = 0;
    qint64 peakKilobytes = 0;
    int exitStatus = -1; // -1 when the command could not be started or was killed
    QByteArray output; // standard output, when captured
};

enum class Output { discard, capture };

// Standard error is discarded with standard output unless the output is captured, in which
// case it goes to this process's standard error.
Measurement run(const QByteArrayList &command, Output output = Output::discard);

// Writes dirty pages and drops the page cache, so that the next run reads from the disk.
// False when the system refuses (not root, or a container without that right).
bool dropPageCache();

} // namespace ProcessRun
