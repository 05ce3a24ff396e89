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
        // RLIMIT_DATA (heap and other private writable memory) and RLIMIT_AS; 0 leaves a limit
        // as it is. Ignored in AddressSanitizer builds, which reserve terabytes up front.
        quint64 dataBytes = 0;
        quint64 addressSpaceBytes = 0;
        // RLIMIT_CPU, seconds of processor time over the process's life; 0 leaves it.
        quint64 cpuSeconds = 0;
        int openFiles = 256; // RLIMIT_NOFILE
        // Applies Landlock as this ABI would at most (0: all the kernel offers); lets tests
        // check what older kernels leave to the other protections.
        int landlockAbiLimit = 0;
    };

    // What the readers' libraries read at run time: Tesseract's language data, fonts and the
    // fontconfig caches, Poppler's data, /usr/share, /etc, the process's own /proc entries, CPU
    // topology (OpenMP) and the harmless devices. Only paths that exist are returned.
    static QByteArrayList libraryDataPaths();

    // Applies, in this order: resource limits (no core dumps, no file growth, open files, memory,
    // processor time), no new privileges, Landlock (reading `readable`, reading and executing
    // `executable`, nothing else; TCP refused; abstract UNIX sockets and signals scoped to the
    // process) and a seccomp allowlist whose default ends the process. Files open read-only
    // only, whatever Landlock's ABI. A protection the kernel lacks is skipped and left out of
    // the result, which reports what is actually in force; this never aborts (the caller
    // decides whether what is in force is enough).
    //
    // Landlock confines only the calling thread and the threads it starts later, so call this
    // while the process has a single thread; otherwise Landlock is still applied to the caller
    // but reported as absent. The seccomp filter is synchronised to every thread.
    //
    // SIGXFSZ is ignored from here on, so that a write to a regular file (stderr redirected to
    // a log, say) fails with EFBIG instead of killing the process.
    static SandboxProtections confine(const Policy &policy);
};
