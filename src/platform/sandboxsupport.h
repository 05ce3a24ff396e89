#pragma once

#include <QString>

// What the kernel offers for confining a process, probed with cheap system calls.
struct SandboxProtections
{
    int landlockAbi = 0; // 0: Landlock unavailable
    bool seccomp = false; // seccomp filter mode available / applied
    bool noNewPrivileges = false;
    bool resourceLimits = false;

    bool operator==(const SandboxProtections &) const = default;

    // One line for `tessary --version`, e.g. "Landlock (ABI 7), seccomp filter, no new privileges,
    // resource limits", or "none" when nothing applies.
    QString describe() const;
};

namespace SandboxSupport {
// Never spawns a process; a few system calls and one access(2), well under a millisecond.
SandboxProtections available();
} // namespace SandboxSupport
