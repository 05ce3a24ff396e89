#include "readers/helper/sandbox.h"

#include "support/testtree.h"

#include <QTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <optional>
#include <sched.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SANITIZER 1
#endif
#endif

// Every confinement is irreversible, so each case runs in a child forked from the test process.
// The child never returns into QTest: it reports through its exit status (0 for success, else
// the errno of the refusal) and leaves with _exit.
namespace {

enum class Needs { nothing, landlock, seccomp, memoryLimit };

constexpr int kUnexpected = 255;
constexpr int kKilledBase = 1000; // status of a child killed by signal n: kKilledBase + n
constexpr int kStopped = kKilledBase + SIGSYS; // the filter refused a call outright
constexpr quint64 kAddressLimit = 3ULL << 30;
constexpr quint64 kDataLimit = 1ULL << 30;
constexpr size_t kAllocation = 64 << 20;
// Debian 12's kernel offers Landlock ABI 2, which cannot refuse O_TRUNC: every case runs with
// what that ABI can do, so the rest has to hold without ABI 3's truncation right.
constexpr int kLandlockAbi = 2;

int failure()
{
    return errno > 0 && errno < kUnexpected ? errno : kUnexpected;
}

int result(bool succeeded)
{
    return succeeded ? 0 : failure();
}

int readOneByte(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure();
    char byte = 0;
    const int outcome = result(::read(fd, &byte, 1) == 1);
    ::close(fd);
    return outcome;
}

int openAndClose(const char *path, int flags)
{
    const int fd = ::open(path, flags | O_CLOEXEC, 0600);
    if (fd < 0)
        return failure();
    ::close(fd);
    return 0;
}

int listFolder(const char *path)
{
    DIR *folder = ::opendir(path);
    if (folder == nullptr)
        return failure();
    const int outcome = result(::readdir(folder) != nullptr);
    ::closedir(folder);
    return outcome;
}

int startThread()
{
    std::atomic<bool> ran = false;
    try {
        std::thread thread([&ran] { ran = true; });
        thread.join();
    } catch (const std::system_error &error) {
        return error.code().value();
    }
    return ran ? 0 : kUnexpected;
}

int allocate()
{
    void *memory = std::malloc(kAllocation);
    if (memory == nullptr)
        return failure();
    std::memset(memory, 1, kAllocation);
    std::free(memory);
    return 0;
}

int allocateBeyond(size_t bytes)
{
    void *memory = std::malloc(bytes);
    if (memory == nullptr)
        return failure();
    std::free(memory);
    return 0;
}

int reserve(size_t bytes)
{
    void *memory = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        return failure();
    ::munmap(memory, bytes);
    return 0;
}

int forkChild()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    if (child < 0)
        return failure();
    ::waitpid(child, nullptr, 0);
    return 0;
}

int execute()
{
    char *const arguments[] = {const_cast<char *>("true"), nullptr};
    ::execve("/bin/true", arguments, environ);
    return failure();
}

// What a case works with. The descriptors stand for those a helper holds before it confines
// itself: a log file and its request socket.
struct Setting
{
    const char *allowedFolder = nullptr;
    const char *allowedFile = nullptr;
    const char *outsideFile = nullptr;
    const char *newFile = nullptr;
    int log = -1;
    int sockets[2] = {-1, -1};
};

using Attempt = int (*)(const Setting &);

int sendAndReceive(const Setting &setting)
{
    char byte = 'x';
    if (::send(setting.sockets[0], &byte, 1, 0) != 1)
        return failure();
    return result(::recv(setting.sockets[1], &byte, 1, 0) == 1);
}

// Packs what confine() reported, and whether a second thread was refused writing afterwards.
int encode(const SandboxProtections &protections, bool otherThreadRefused)
{
    return (protections.landlockAbi & 0xf) | (protections.seccomp ? 0x10 : 0)
        | (protections.noNewPrivileges ? 0x20 : 0) | (protections.resourceLimits ? 0x40 : 0)
        | (otherThreadRefused ? 0x80 : 0);
}

int confineAndReport(const Sandbox::Policy &policy, bool threadFirst)
{
    int gate[2];
    if (::pipe2(gate, O_CLOEXEC) != 0)
        return kUnexpected;
    std::atomic<int> socketError = 0;
    const auto worker = [&] {
        char byte = 0;
        if (::read(gate[0], &byte, 1) != 1)
            return;
        const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        socketError = fd < 0 ? errno : 0;
    };
    try {
        std::optional<std::thread> thread;
        if (threadFirst)
            thread.emplace(worker);
        const SandboxProtections protections = Sandbox::confine(policy);
        if (!threadFirst)
            thread.emplace(worker);
        if (::write(gate[1], "x", 1) != 1)
            return kUnexpected;
        thread->join();
        return encode(protections, socketError == EPERM);
    } catch (const std::system_error &) {
        return kUnexpected;
    }
}

// The child's exit status, kKilledBase + signal, or -1 when it did not finish in time.
template<typename Work>
int inChild(Work work)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work());
    if (child < 0)
        return -1;
    constexpr timespec kPause{0, 10'000'000};
    for (int waited = 0; waited < 3000; ++waited) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : kKilledBase + WTERMSIG(status);
        ::nanosleep(&kPause, nullptr);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

QByteArray outcomeName(int status)
{
    if (status == 0)
        return "succeeded";
    if (status < 0)
        return "timed out";
    if (status >= kKilledBase)
        return "killed by signal " + QByteArray::number(status - kKilledBase);
    const char *name = ::strerrorname_np(status);
    return name != nullptr ? QByteArray(name) : "exit status " + QByteArray::number(status);
}

} // namespace

Q_DECLARE_METATYPE(Attempt)
Q_DECLARE_METATYPE(Needs)

class SandboxTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void availableOnThisMachine();
    void libraryDataPathsHonourTessdataPrefix_data();
    void libraryDataPathsHonourTessdataPrefix();
    void confinedAttempt_data();
    void confinedAttempt();
    void confineReportsWhatIsInForce_data();
    void confineReportsWhatIsInForce();

private:
    TestTree m_folder;
    QByteArray m_allowed;
    QByteArray m_allowedFile;
    QByteArray m_outsideFile;
    QByteArray m_newFile;
    QByteArray m_log;
    Sandbox::Policy m_policy;
};

void SandboxTest::initTestCase()
{
    m_allowedFile = m_folder.file("allowed/data.txt", "contents");
    m_outsideFile = m_folder.file("outside/data.txt", "contents");
    m_allowed = m_folder.path("allowed");
    m_newFile = m_allowed + "/new.txt";
    m_log = m_allowed + "/log";
    m_policy.readable = Sandbox::libraryDataPaths() << m_allowed;
    m_policy.executable = {"/usr", "/lib", "/lib64"};
    m_policy.addressSpaceBytes = kAddressLimit;
    m_policy.dataBytes = kDataLimit;
    m_policy.landlockAbiLimit = kLandlockAbi;
}

// The kernel lists "Seccomp_filters:" in every process's status exactly when it supports filters.
void SandboxTest::availableOnThisMachine()
{
    const SandboxProtections available = SandboxSupport::available();
    QCOMPARE(available.seccomp, readFile("/proc/self/status").contains("\nSeccomp_filters:"));
    if (available.landlockAbi == 0 || !available.seccomp)
        QSKIP(qPrintable(QStringLiteral("The kernel offers only: ") + available.describe()));
    QVERIFY(available.landlockAbi >= 1);
}

void SandboxTest::libraryDataPathsHonourTessdataPrefix_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<bool>("listed");

    QTest::newRow("existing folder") << m_folder.root() << true;
    QTest::newRow("missing folder") << m_folder.path("missing") << false;
    QTest::newRow("relative") << QByteArray("allowed") << false;
}

void SandboxTest::libraryDataPathsHonourTessdataPrefix()
{
    QFETCH(QByteArray, prefix);
    QFETCH(bool, listed);
    const QByteArray previous = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", prefix);
    const QByteArrayList paths = Sandbox::libraryDataPaths();
    qputenv("TESSDATA_PREFIX", previous);

    QCOMPARE(paths.contains(prefix), listed);
    for (const QByteArray &path : paths) {
        QVERIFY2(::access(path.constData(), F_OK) == 0, path.constData());
        QCOMPARE(paths.count(path), 1);
    }
}

void SandboxTest::confinedAttempt_data()
{
    QTest::addColumn<Attempt>("attempt");
    QTest::addColumn<Needs>("needs");
    QTest::addColumn<int>("expected"); // 0, or the errno of the refusal

    const auto row = [](const char *name, Attempt attempt, Needs needs, int expected) {
        QTest::newRow(name) << attempt << needs << expected;
    };
    row("read a file in the allowed folder", [](const Setting &s) { return readOneByte(s.allowedFile); },
        Needs::nothing, 0);
    row("list the allowed folder", [](const Setting &s) { return listFolder(s.allowedFolder); }, Needs::nothing, 0);
    row("read the process's own maps", [](const Setting &) { return readOneByte("/proc/self/maps"); },
        Needs::nothing, 0);
    row("read /dev/urandom", [](const Setting &) { return readOneByte("/dev/urandom"); }, Needs::nothing, 0);
    row("read a file in a sibling folder", [](const Setting &s) { return readOneByte(s.outsideFile); },
        Needs::landlock, EACCES);
    // Opening to write is refused by the filter (EPERM) before Landlock (EACCES) is asked.
    row(
        "create a file in the allowed folder",
        [](const Setting &s) { return openAndClose(s.newFile, O_WRONLY | O_CREAT | O_EXCL); }, Needs::seccomp, EPERM);
    row(
        "open an allowed file for writing", [](const Setting &s) { return openAndClose(s.allowedFile, O_WRONLY); },
        Needs::seccomp, EPERM);
    row(
        "open an allowed file with O_TRUNC",
        [](const Setting &s) { return openAndClose(s.allowedFile, O_RDONLY | O_TRUNC); }, Needs::seccomp, EPERM);
    row(
        "open an allowed file with O_APPEND",
        [](const Setting &s) { return openAndClose(s.allowedFile, O_RDONLY | O_APPEND); }, Needs::seccomp, EPERM);
    row(
        "make a nameless file in the allowed folder",
        [](const Setting &s) { return openAndClose(s.allowedFolder, O_TMPFILE | O_RDWR); }, Needs::seccomp, EPERM);
    row(
        "open through openat2",
        [](const Setting &s) {
            open_how how {};
            how.flags = O_RDONLY | O_CLOEXEC;
            const long fd = ::syscall(SYS_openat2, AT_FDCWD, s.allowedFile, &how, sizeof how);
            if (fd >= 0)
                ::close(int(fd));
            return result(fd >= 0);
        },
        Needs::seccomp, ENOSYS);
    row("truncate an allowed file", [](const Setting &s) { return result(::truncate(s.allowedFile, 0) == 0); },
        Needs::seccomp, EPERM);
    row(
        "make a folder in the allowed folder",
        [](const Setting &s) { return result(::mkdir(QByteArray(s.allowedFolder + QByteArray("/new")), 0700) == 0); },
        Needs::seccomp, EPERM);
    row("grow a file opened beforehand", [](const Setting &s) { return result(::write(s.log, "x", 1) == 1); },
        Needs::nothing, EFBIG);
    row("send on a socket opened beforehand", sendAndReceive, Needs::nothing, 0);
    row(
        "open a UNIX socket", [](const Setting &) { return result(::socket(AF_UNIX, SOCK_STREAM, 0) >= 0); },
        Needs::seccomp, EACCES);
    row(
        "open a TCP socket", [](const Setting &) { return result(::socket(AF_INET, SOCK_STREAM, 0) >= 0); },
        Needs::seccomp, kStopped);
    row(
        "execute /bin/true", [](const Setting &) { return execute(); }, Needs::seccomp, kStopped);
    row(
        "trace itself", [](const Setting &) { return result(::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) == 0); },
        Needs::seccomp, kStopped);
    row(
        "fork", [](const Setting &) { return forkChild(); }, Needs::seccomp, kStopped);
    row(
        "signal the parent", [](const Setting &) { return result(::kill(::getppid(), 0) == 0); }, Needs::seccomp,
        kStopped);
    row(
        "move the parent to another processor",
        [](const Setting &) {
            cpu_set_t cpus;
            CPU_ZERO(&cpus);
            CPU_SET(0, &cpus);
            return result(::sched_setaffinity(::getppid(), sizeof cpus, &cpus) == 0);
        },
        Needs::seccomp, kStopped);
    row(
        "move itself to the processors it has",
        [](const Setting &) {
            cpu_set_t cpus;
            return result(
                ::sched_getaffinity(0, sizeof cpus, &cpus) == 0 && ::sched_setaffinity(0, sizeof cpus, &cpus) == 0);
        },
        Needs::nothing, 0);
    row("signal its own thread",
        [](const Setting &) { return result(::syscall(SYS_tgkill, ::getpid(), ::gettid(), 0) == 0); },
        Needs::nothing, 0);
    row("start a thread", [](const Setting &) { return startThread(); }, Needs::nothing, 0);
    row("allocate 64 MB", [](const Setting &) { return allocate(); }, Needs::nothing, 0);
    row(
        "allocate past the memory limit", [](const Setting &) { return allocateBeyond(kDataLimit + (256 << 20)); },
        Needs::memoryLimit, ENOMEM);
    row(
        "reserve past the address-space limit", [](const Setting &) { return reserve(kAddressLimit + (1ULL << 30)); },
        Needs::memoryLimit, ENOMEM);
}

void SandboxTest::confinedAttempt()
{
    QFETCH(Attempt, attempt);
    QFETCH(Needs, needs);
    QFETCH(int, expected);

    const SandboxProtections available = SandboxSupport::available();
    if (needs == Needs::landlock && available.landlockAbi < 1)
        QSKIP("Landlock is unavailable");
    if (needs == Needs::seccomp && !available.seccomp)
        QSKIP("seccomp filters are unavailable");
#ifdef ADDRESS_SANITIZER
    if (needs == Needs::memoryLimit)
        QSKIP("AddressSanitizer builds keep memory unlimited");
#endif

    Setting setting{m_allowed.constData(), m_allowedFile.constData(), m_outsideFile.constData(),
                    m_newFile.constData()};
    const int status = inChild([&] {
        setting.log = ::open(m_log.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, setting.sockets);
        Sandbox::confine(m_policy);
        return attempt(setting);
    });
    QCOMPARE(outcomeName(status), outcomeName(expected));
    // Whatever was tried, the allowed file keeps its contents.
    QCOMPARE(readFile(m_allowedFile), QByteArray("contents"));
}

void SandboxTest::confineReportsWhatIsInForce_data()
{
    QTest::addColumn<bool>("threadFirst");

    QTest::newRow("thread started after") << false;
    QTest::newRow("thread already running") << true;
}

// A thread that was already running escapes Landlock, which confine() must admit; the seccomp
// filter has to reach it all the same.
void SandboxTest::confineReportsWhatIsInForce()
{
    QFETCH(bool, threadFirst);
    const SandboxProtections available = SandboxSupport::available();
    SandboxProtections expected = available;
    expected.landlockAbi = threadFirst ? 0 : std::min(available.landlockAbi, kLandlockAbi);

    const int status = inChild([&] { return confineAndReport(m_policy, threadFirst); });
    QVERIFY2(status >= 0 && status < kUnexpected, outcomeName(status).constData());
    QCOMPARE(status & 0xf, expected.landlockAbi);
    QCOMPARE(bool(status & 0x10), expected.seccomp);
    QVERIFY(status & 0x20);
    QCOMPARE(bool(status & 0x80), available.seccomp);
}

QTEST_APPLESS_MAIN(SandboxTest)
#include "sandboxtest.moc"
