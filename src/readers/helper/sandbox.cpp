#include "readers/helper/sandbox.h"

#include "platform/directoryreader.h"
#include "platform/uniquefd.h"
#include "platform/xdgpaths.h"

#include <QFile>

#include <algorithm>
#include <cstddef>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <utility>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

// Debian 12's headers describe Landlock ABI 1 and 2; later rights are fixed kernel ABI.
#ifndef __NR_landlock_create_ruleset
#define __NR_landlock_create_ruleset 444
#endif
#ifndef __NR_landlock_add_rule
#define __NR_landlock_add_rule 445
#endif
#ifndef __NR_landlock_restrict_self
#define __NR_landlock_restrict_self 446
#endif
#ifndef LANDLOCK_ACCESS_FS_REFER
#define LANDLOCK_ACCESS_FS_REFER (1ULL << 13)
#endif
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif
#ifndef LANDLOCK_ACCESS_FS_IOCTL_DEV
#define LANDLOCK_ACCESS_FS_IOCTL_DEV (1ULL << 15)
#endif
#ifndef LANDLOCK_ACCESS_NET_BIND_TCP
#define LANDLOCK_ACCESS_NET_BIND_TCP (1ULL << 0)
#endif
#ifndef LANDLOCK_ACCESS_NET_CONNECT_TCP
#define LANDLOCK_ACCESS_NET_CONNECT_TCP (1ULL << 1)
#endif
#ifndef LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET
#define LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET (1ULL << 0)
#endif
#ifndef LANDLOCK_SCOPE_SIGNAL
#define LANDLOCK_SCOPE_SIGNAL (1ULL << 1)
#endif
#ifndef PR_SET_VMA
#define PR_SET_VMA 0x53564d41
#endif

#if defined(__SANITIZE_ADDRESS__)
#define TESSARY_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARY_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

#ifdef TESSARY_ADDRESS_SANITIZER
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// --- Resource limits -------------------------------------------------------------------------

// Lowers both the soft and the hard limit: a lowered hard limit cannot be raised again without
// privileges, so the confined code cannot undo it.
bool lowerLimit(int resource, rlim_t value)
{
    rlimit current{};
    if (::getrlimit(resource, &current) != 0)
        return false;
    const rlim_t limit = std::min(value, current.rlim_max);
    const rlimit lowered{limit, limit};
    return ::setrlimit(resource, &lowered) == 0;
}

bool applyResourceLimits(const Sandbox::Policy &policy)
{
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, nullptr);

    bool applied = lowerLimit(RLIMIT_CORE, 0);
    applied = lowerLimit(RLIMIT_FSIZE, 0) && applied;
    if (policy.openFiles > 0)
        applied = lowerLimit(RLIMIT_NOFILE, static_cast<rlim_t>(policy.openFiles)) && applied;
    if (policy.cpuSeconds > 0)
        applied = lowerLimit(RLIMIT_CPU, static_cast<rlim_t>(policy.cpuSeconds)) && applied;
    if (policy.dataBytes > 0 && !kAddressSanitizer)
        applied = lowerLimit(RLIMIT_DATA, static_cast<rlim_t>(policy.dataBytes)) && applied;
    if (policy.addressSpaceBytes > 0 && !kAddressSanitizer)
        applied = lowerLimit(RLIMIT_AS, static_cast<rlim_t>(policy.addressSpaceBytes)) && applied;
    return applied;
}

// --- Landlock --------------------------------------------------------------------------------

// struct landlock_ruleset_attr as of ABI 6. The kernel accepts a larger structure than it
// knows as long as the fields it does not know are zero.
struct RulesetAttributes
{
    __u64 handledAccessFs = 0;
    __u64 handledAccessNet = 0;
    __u64 scoped = 0;
};

constexpr __u64 kFileRights = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE
    | LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_TRUNCATE | LANDLOCK_ACCESS_FS_IOCTL_DEV;
constexpr __u64 kReadRights = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr __u64 kExecuteRights = kReadRights | LANDLOCK_ACCESS_FS_EXECUTE;

RulesetAttributes rulesetFor(int abi)
{
    RulesetAttributes attributes;
    // Every right of ABI 1: execute, write, read, read_dir, remove and make of all kinds.
    attributes.handledAccessFs = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;
    if (abi >= 2)
        attributes.handledAccessFs |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        attributes.handledAccessFs |= LANDLOCK_ACCESS_FS_TRUNCATE;
    if (abi >= 5)
        attributes.handledAccessFs |= LANDLOCK_ACCESS_FS_IOCTL_DEV;
    // Handled without a rule granting them: TCP bind and connect are refused outright.
    if (abi >= 4)
        attributes.handledAccessNet = LANDLOCK_ACCESS_NET_BIND_TCP | LANDLOCK_ACCESS_NET_CONNECT_TCP;
    if (abi >= 6)
        attributes.scoped = LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET | LANDLOCK_SCOPE_SIGNAL;
    return attributes;
}

size_t rulesetSize(int abi)
{
    if (abi >= 6)
        return sizeof(RulesetAttributes);
    if (abi >= 4)
        return offsetof(RulesetAttributes, scoped);
    return offsetof(RulesetAttributes, handledAccessNet);
}

// A path that cannot be opened is left out: it then stays unreadable, which is the safe side.
void allowBeneath(int rulesetFd, const QByteArray &path, __u64 access)
{
    const UniqueFd fd(::open(path.constData(), O_PATH | O_CLOEXEC));
    struct stat status{};
    if (!fd.isValid() || ::fstat(fd.get(), &status) != 0)
        return;
    // The kernel rejects directory rights on a rule for a file.
    landlock_path_beneath_attr rule{};
    rule.allowed_access = S_ISDIR(status.st_mode) ? access : access & kFileRights;
    rule.parent_fd = fd.get();
    ::syscall(__NR_landlock_add_rule, rulesetFd, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
}

bool applyLandlock(const Sandbox::Policy &policy, int abi)
{
    const RulesetAttributes attributes = rulesetFor(abi);
    const UniqueFd ruleset(
        static_cast<int>(::syscall(__NR_landlock_create_ruleset, &attributes, rulesetSize(abi), 0U)));
    if (!ruleset.isValid())
        return false;
    const __u64 handled = attributes.handledAccessFs;
    for (const QByteArray &path : policy.readable)
        allowBeneath(ruleset.get(), path, kReadRights & handled);
    for (const QByteArray &path : policy.executable)
        allowBeneath(ruleset.get(), path, kExecuteRights & handled);
    return ::syscall(__NR_landlock_restrict_self, ruleset.get(), 0U) == 0;
}

bool isSingleThreaded()
{
    const UniqueFd tasks(::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<DirectoryReader::Entry> entries;
    return tasks.isValid() && DirectoryReader::readAll(tasks.get(), entries) && entries.size() == 1;
}

// --- seccomp ---------------------------------------------------------------------------------

// Allowed whatever their arguments. Creating files, sockets and processes is not among them;
// opening files is (read-only, see allowWithArguments), because Landlock decides which files.
constexpr const char *kAllowedSystemCalls[] = {
    // Memory (glibc malloc, the sanitizers' allocators, dynamic loading).
    "brk", "mmap", "munmap", "mremap", "mprotect", "madvise", "membarrier",
    // Threads.
    "futex", "futex_waitv", "set_robust_list", "get_robust_list", "rseq", "set_tid_address",
    "sched_yield", "sched_getaffinity", "sched_getparam", "sched_getscheduler",
    "sched_get_priority_min", "sched_get_priority_max", "getpriority", "getcpu",
    // Reading files.
    "read", "readv", "pread64", "preadv", "preadv2", "lseek",
    "fadvise64", "fstat", "newfstatat", "statx", "stat", "lstat", "fstatfs", "statfs", "getdents",
    "getdents64", "readlink", "readlinkat", "access", "faccessat", "faccessat2", "fcntl", "dup",
    "dup2", "dup3", "close", "close_range", "getcwd",
    // Extended attributes, read to tell a cloud placeholder from a local file.
    "getxattr", "lgetxattr", "fgetxattr", "listxattr", "llistxattr", "flistxattr",
    // Already open descriptors: the request socket, stderr, event loop wake-ups.
    "write", "writev", "pwrite64", "pwritev", "sendmsg", "recvmsg", "sendto", "recvfrom",
    "shutdown", "getsockopt", "getsockname", "getpeername", "poll", "ppoll", "select", "pselect6",
    "epoll_create", "epoll_create1", "epoll_ctl", "epoll_wait", "epoll_pwait", "epoll_pwait2",
    "eventfd", "eventfd2", "pipe", "pipe2", "timerfd_create", "timerfd_settime", "timerfd_gettime",
    // Identity, time, signals, exit.
    "getpid", "getppid", "gettid", "getuid", "geteuid", "getgid", "getegid", "getresuid",
    "getresgid", "getgroups", "uname", "sysinfo", "getrusage", "getrlimit", "arch_prctl",
    "clock_gettime", "clock_getres", "clock_nanosleep", "nanosleep", "gettimeofday", "time",
    "getrandom", "rt_sigaction", "rt_sigprocmask", "rt_sigreturn", "rt_sigtimedwait",
    "rt_sigpending", "sigaltstack", "restart_syscall", "exit", "exit_group",
};

// Calls that change the file system. Libraries try them to keep caches (fontconfig's, Qt's
// runtime folder) and carry on when refused, so they fail with EPERM instead of ending the
// process; Landlock would refuse them as well.
constexpr const char *kRefusedFileChanges[] = {
    "mkdir", "mkdirat", "rmdir", "unlink", "unlinkat", "rename", "renameat", "renameat2", "link", "linkat",
    "symlink", "symlinkat", "chmod", "fchmod", "fchmodat", "chown", "fchown", "fchownat", "lchown", "truncate",
    "ftruncate", "fallocate", "utime", "utimes", "utimensat", "futimesat", "creat", "mknod", "mknodat",
    "setxattr", "lsetxattr", "fsetxattr", "removexattr", "lremovexattr", "fremovexattr",
};

// Thread names, naming anonymous mappings (sanitizers), and queries.
constexpr unsigned long kPrctlOptions[] = {
    PR_SET_NAME,         PR_GET_NAME,     PR_GET_DUMPABLE,   PR_SET_VMA,       PR_GET_SECCOMP,
    PR_GET_NO_NEW_PRIVS, PR_CAPBSET_READ, PR_GET_TIMERSLACK, PR_SET_PDEATHSIG, PR_GET_PDEATHSIG,
};

// isatty(), terminal size, bytes waiting, non-blocking and close-on-exec flags.
constexpr unsigned long kIoctlRequests[] = { TCGETS, TIOCGWINSZ, FIONREAD, FIONBIO, FIOCLEX, FIONCLEX };

// int arguments reach the filter as 64-bit registers whose upper half is not defined.
constexpr scmp_datum_t kLow32 = 0xffffffffU;

scmp_arg_cmp argumentEquals32(unsigned int argument, scmp_datum_t value)
{
    return scmp_arg_cmp{argument, SCMP_CMP_MASKED_EQ, kLow32, value & kLow32};
}

scmp_arg_cmp argumentEquals(unsigned int argument, scmp_datum_t value)
{
    return scmp_arg_cmp{argument, SCMP_CMP_EQ, value, 0};
}

void allow(scmp_filter_ctx filter, int systemCall, std::initializer_list<scmp_arg_cmp> conditions)
{
    seccomp_rule_add_array(filter, SCMP_ACT_ALLOW, systemCall, static_cast<unsigned int>(conditions.size()),
                           conditions.begin());
}

// Names, so that calls an architecture lacks (open, stat on arm64) are simply skipped.
void allowUnconditionally(scmp_filter_ctx filter)
{
    for (const char *name : kAllowedSystemCalls) {
        const int systemCall = seccomp_syscall_resolve_name(name);
        if (systemCall != __NR_SCMP_ERROR)
            seccomp_rule_add(filter, SCMP_ACT_ALLOW, systemCall, 0);
    }
    for (const char *name : kRefusedFileChanges) {
        const int systemCall = seccomp_syscall_resolve_name(name);
        if (systemCall != __NR_SCMP_ERROR)
            seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), systemCall, 0);
    }
}

// O_TMPFILE is this bit together with O_DIRECTORY, which alone is harmless.
constexpr scmp_datum_t kTmpFileBit = 020000000;
// open(2) and openat(2) flags that write, create or empty a file.
constexpr scmp_datum_t kWritingOpenFlags[] = { O_WRONLY, O_RDWR, O_CREAT, O_TRUNC, O_APPEND, kTmpFileBit };

// Read-only opening is allowed; an opening with any writing flag fails with EPERM rather than
// stopping the helper, since libraries try to update caches (fontconfig's) and cope with a
// refusal. This holds whatever Landlock can refuse: before its ABI 3 it cannot refuse O_TRUNC.
void allowReadOnlyOpening(scmp_filter_ctx filter)
{
    scmp_datum_t writing = 0;
    for (const scmp_datum_t flag : kWritingOpenFlags)
        writing |= flag;
    for (const auto &[name, flagsArgument] : { std::pair("open", 1U), std::pair("openat", 2U) }) {
        const int systemCall = seccomp_syscall_resolve_name(name);
        if (systemCall == __NR_SCMP_ERROR)
            continue;
        allow(filter, systemCall, {scmp_arg_cmp{flagsArgument, SCMP_CMP_MASKED_EQ, writing, 0}});
        for (const scmp_datum_t flag : kWritingOpenFlags) {
            const scmp_arg_cmp has{flagsArgument, SCMP_CMP_MASKED_EQ, flag, flag};
            seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EPERM), systemCall, 1, &has);
        }
    }
    // openat2 takes its flags in memory, out of the filter's sight. ENOSYS makes callers fall
    // back to openat.
    seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), 0);
}

void allowWithArguments(scmp_filter_ctx filter)
{
    allowReadOnlyOpening(filter);
    // Threads only: fork() and posix_spawn() reach clone without CLONE_THREAD. The flags are
    // the first argument on x86-64 and arm64 (not on s390).
    allow(filter, SCMP_SYS(clone), {scmp_arg_cmp{0, SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD}});
    // clone3 passes its flags in memory, out of the filter's sight. ENOSYS, unlike EPERM, makes
    // glibc fall back to clone.
    seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);

    const auto self = static_cast<scmp_datum_t>(::getpid());
    allow(filter, SCMP_SYS(tgkill), {argumentEquals32(0, self)});
    allow(filter, SCMP_SYS(kill), {argumentEquals32(0, self)});
    // The calling thread (0) or the process itself, never another process.
    for (const scmp_datum_t target : {scmp_datum_t(0), self})
        allow(filter, SCMP_SYS(sched_setaffinity), {argumentEquals32(0, target)});
    // Libraries look for local services over UNIX sockets (glibc's name service cache behind
    // getpwuid, which Qt calls while starting) and carry on without them; any other socket ends
    // the process.
    const scmp_arg_cmp unixFamily = argumentEquals32(0, AF_UNIX);
    seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(socket), 1, &unixFamily);
    // Reading limits only: prlimit64(0, resource, NULL, old).
    allow(filter, SCMP_SYS(prlimit64), {argumentEquals32(0, 0), argumentEquals(2, 0)});
    for (const unsigned long option : kPrctlOptions)
        allow(filter, SCMP_SYS(prctl), {argumentEquals32(0, option)});
    for (const unsigned long request : kIoctlRequests)
        allow(filter, SCMP_SYS(ioctl), {argumentEquals32(1, request)});
}

bool applySeccomp()
{
    // A call outside the list ends the process (SIGSYS): the parser that made it is not doing
    // what a reader does, and the application counts the file at fault. The kernel's audit log
    // names the call.
    const scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (filter == nullptr)
        return false;
    // Every thread gets the filter, not only the caller.
    seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1);
    // Every system call runs the filter: a binary tree instead of a list of ~150 checks, and
    // the calls recognition makes by the million (OpenMP's futex waits) looked at first.
    seccomp_attr_set(filter, SCMP_FLTATR_CTL_OPTIMIZE, 2);
    for (const int hot : { SCMP_SYS(futex), SCMP_SYS(sched_yield), SCMP_SYS(read), SCMP_SYS(lseek) })
        seccomp_syscall_priority(filter, hot, 255);
    allowUnconditionally(filter);
    allowWithArguments(filter);
    const bool loaded = seccomp_load(filter) == 0;
    seccomp_release(filter);
    return loaded;
}

// --- Library data ----------------------------------------------------------------------------

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QByteArrayList tessdataCandidates()
{
    QByteArrayList paths;
    const QByteArray prefix = qgetenv("TESSDATA_PREFIX");
    if (prefix.startsWith('/'))
        paths << prefix;
    paths << "/usr/share/tesseract-ocr" << "/usr/share/tessdata" << "/usr/local/share/tessdata";
    return paths;
}

QByteArrayList fontCandidates()
{
    const QByteArray home = encoded(XdgPaths::home());
    return {
        "/usr/share/fonts",
        "/usr/local/share/fonts",
        encoded(XdgPaths::dataHome()) + "/fonts",
        home + "/.local/share/fonts",
        home + "/.fonts",
        "/etc/fonts",
        encoded(XdgPaths::configHome()) + "/fontconfig",
        home + "/.fonts.conf",
        "/var/cache/fontconfig",
        encoded(XdgPaths::cacheHome()) + "/fontconfig",
    };
}

QByteArrayList systemCandidates()
{
    return {
        "/usr/share/poppler",
        "/usr/share",
        "/etc",
        // Resolved when the rule is made, so it names the confined process's own entry.
        "/proc/self",
        "/sys/devices/system/cpu",
        "/dev/null",
        "/dev/urandom",
        "/dev/zero",
    };
}

bool exists(const QByteArray &path)
{
    struct stat status{};
    return ::stat(path.constData(), &status) == 0;
}

} // namespace

QByteArrayList Sandbox::libraryDataPaths()
{
    QByteArrayList paths;
    for (const QByteArrayList &group : {tessdataCandidates(), fontCandidates(), systemCandidates()}) {
        for (const QByteArray &path : group) {
            if (!paths.contains(path) && exists(path))
                paths << path;
        }
    }
    return paths;
}

SandboxProtections Sandbox::confine(const Policy &policy)
{
    SandboxProtections kernel = SandboxSupport::available();
    if (policy.landlockAbiLimit > 0)
        kernel.landlockAbi = std::min(kernel.landlockAbi, policy.landlockAbiLimit);
    SandboxProtections applied;
    applied.resourceLimits = applyResourceLimits(policy);
    applied.noNewPrivileges = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
    // Both of the following require no-new-privileges when unprivileged.
    if (!applied.noNewPrivileges)
        return applied;

    // Counted before Landlock applies, since the policy need not make /proc/self readable.
    const bool singleThreaded = isSingleThreaded();
    if (kernel.landlockAbi > 0 && applyLandlock(policy, kernel.landlockAbi) && singleThreaded)
        applied.landlockAbi = kernel.landlockAbi;
    // Last: the filter refuses the Landlock calls above.
    applied.seccomp = kernel.seccomp && applySeccomp();
    return applied;
}
