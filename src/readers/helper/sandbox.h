#pragma once

#include "platform/sandboxsupport.h"

#include <QByteArrayList>
#include <QtGlobal>

// The confinement the reader helper applies to itself before it parses anything.
//
// Everything here is one-way: once applied, nothing in the process can lift it, which is the
// point, since the code that runs afterwards parses files chosen by whoever sent them.
class Sandbox
{
public:
    struct Policy
    {
        // Folders and files readable afterwards, recursively and read-only.
        QByteArrayList readable;
        // Folders whose files may also be executed or mapped as code (shared libraries, plugins).
        QByteArrayList executable;
        // RLIMIT_AS; 0 leaves the limit as it is. Ignored in AddressSanitizer builds, which
        // reserve terabytes of address space up front.
        quint64 addressSpaceBytes = 0;
        int openFiles = 256; // RLIMIT_NOFILE
    };

    // What the readers' libraries read at run time: Tesseract's language data, fonts and the
    // fontconfig caches, Poppler's data, /usr/share, /etc, the process's own /proc entries, CPU
    // topology (OpenMP) and the harmless devices. Only paths that exist are returned.
    static QByteArrayList libraryDataPaths();

    // Applies, in this order: resource limits (no core dumps, no file growth, open files, address
    // space), no new privileges, Landlock (reading `readable`, reading and executing
    // `executable`, nothing else; TCP refused; abstract UNIX sockets and signals scoped to the
    // process) and a seccomp allowlist. A protection the kernel lacks is skipped and left out of
    // the result, which reports what is actually in force; this never aborts.
    //
    // Landlock confines only the calling thread and the threads it starts later, so call this
    // while the process has a single thread; otherwise Landlock is still applied to the caller
    // but reported as absent. The seccomp filter is synchronised to every thread.
    //
    // SIGXFSZ is ignored from here on, so that a write to a regular file (stderr redirected to
    // a log, say) fails with EFBIG instead of killing the process.
    static SandboxProtections confine(const Policy &policy);
};
