#include "platform/sandboxsupport.h"

#include <QStringList>

#include <cerrno>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef __NR_landlock_create_ruleset
#define __NR_landlock_create_ruleset 444
#endif
#ifndef LANDLOCK_CREATE_RULESET_VERSION
#define LANDLOCK_CREATE_RULESET_VERSION (1U << 0)
#endif
#ifndef SECCOMP_GET_ACTION_AVAIL
#define SECCOMP_GET_ACTION_AVAIL 2
#endif

namespace {

constexpr long kSeccompModeFilter = 2; // PR_GET_SECCOMP's answer inside a filter

int landlockAbi()
{
    const long abi = ::syscall(__NR_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    // ENOSYS: kernel built without Landlock; EOPNOTSUPP: built in but not enabled at boot.
    return abi > 0 ? static_cast<int>(abi) : 0;
}

bool seccompFilterAvailable()
{
    // Asks directly whether filters may end the process, which is what the helper's filter does
    // with a call it refuses.
    const __u32 killAction = SECCOMP_RET_KILL_PROCESS;
    if (::syscall(SYS_seccomp, SECCOMP_GET_ACTION_AVAIL, 0, &killAction) == 0)
        return true;
    // Already filtered (a container, say) means filter mode exists even if seccomp(2) itself is
    // refused to us; stacking another filter is still allowed.
    if (::prctl(PR_GET_SECCOMP, 0, 0, 0, 0) == kSeccompModeFilter)
        return true;
    return ::access("/proc/sys/kernel/seccomp/actions_avail", R_OK) == 0;
}

} // namespace

QString SandboxProtections::describe() const
{
    QStringList parts;
    if (landlockAbi > 0)
        parts << QStringLiteral("Landlock (ABI %1)").arg(landlockAbi);
    if (seccomp)
        parts << QStringLiteral("seccomp filter");
    if (noNewPrivileges)
        parts << QStringLiteral("no new privileges");
    if (resourceLimits)
        parts << QStringLiteral("resource limits");
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

namespace SandboxSupport {

SandboxProtections available()
{
    SandboxProtections protections;
    protections.landlockAbi = landlockAbi();
    protections.seccomp = seccompFilterAvailable();
    // PR_SET_NO_NEW_PRIVS (Linux 3.5) and setrlimit(2) are part of every kernel Qt 6 runs on.
    protections.noNewPrivileges = true;
    protections.resourceLimits = true;
    return protections;
}

} // namespace SandboxSupport
