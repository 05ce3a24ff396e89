// tessary-reader: reads file contents for Tessary in a process of its own. It serves requests on
// the socket it inherits as descriptor 3 and reads only the files the application opens for it
// and passes along with each request. Before anything can start a thread it confines itself:
// no user folder is readable by name, nothing can be written, connected or run; its first
// message tells the application which protections are in force.

#include "platform/lentfiles.h"
#include "readers/helper/readerservice.h"
#include "readers/helper/sandbox.h"
#include "readers/readerchannel.h"
#include "readers/readercodec.h"

#include <QGuiApplication>

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/ioprio.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Room beyond the data limit for what is mapped but not private memory: the libraries' code,
// thread stacks, mapped files.
constexpr quint64 kAddressSpaceMargin = 2ULL << 30;

struct Arguments
{
    int socket = -1;
    bool testing = false;
    bool background = false;
    pid_t parent = 0;
    quint64 memoryBytes = 0;
    quint64 cpuSeconds = 0;
};

bool parse(int argc, char **argv, Arguments *arguments)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--testing") == 0)
            arguments->testing = true;
        else if (std::strcmp(argv[i], "--background") == 0)
            arguments->background = true;
        else if (std::strcmp(argv[i], "--socket") == 0 && hasValue)
            arguments->socket = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--parent") == 0 && hasValue)
            arguments->parent = pid_t(std::atol(argv[++i]));
        else if (std::strcmp(argv[i], "--memory") == 0 && hasValue)
            arguments->memoryBytes = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--cpu") == 0 && hasValue)
            arguments->cpuSeconds = std::strtoull(argv[++i], nullptr, 10);
        else
            return false;
    }
    return arguments->socket >= 0;
}

// Idle scheduling and idle I/O: the helper runs only when nothing else wants the processor or
// the disk, so background reading never slows what the user is doing. With the kernel's
// automatic session groups, the processor is first shared between sessions and only then
// between the tasks of one, so idle scheduling alone yields nothing to programs of another
// session (about half of a busy two-core machine went to the helpers): the helper leads a
// session of its own and gives that group the weakest share.
void yieldToEverythingElse()
{
    if (::setsid() >= 0) {
        const int group = ::open("/proc/self/autogroup", O_WRONLY | O_CLOEXEC);
        if (group >= 0) {
            static const char kWeakest[] = "19";
            [[maybe_unused]] const ssize_t written = ::write(group, kWeakest, sizeof kWeakest - 1);
            ::close(group);
        }
    }
    const sched_param none {};
    ::sched_setscheduler(0, SCHED_IDLE, &none);
    ::syscall(SYS_ioprio_set, IOPRIO_WHO_PROCESS, 0, IOPRIO_PRIO_VALUE(IOPRIO_CLASS_IDLE, 0));
}

} // namespace

int main(int argc, char **argv)
{
    Arguments arguments;
    if (!parse(argc, argv, &arguments)) {
        std::fputs("tessary-reader is started by Tessary: tessary-reader --socket FD [--parent PID] [--background]"
                   " [--memory BYTES] [--cpu SECONDS]\n",
            stderr);
        return 2;
    }
    // Gone with the application, even when stuck in a parser: the thread that started us lives
    // as long as the application does.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (arguments.parent != 0 && ::getppid() != arguments.parent)
        return 1;
    // Nothing but the socket and the standard streams stays open in here.
    if (arguments.socket > 3)
        ::close_range(3, unsigned(arguments.socket) - 1, 0);
    ::close_range(unsigned(arguments.socket) + 1, ~0U, 0);
    if (arguments.background)
        yieldToEverythingElse();

    // The image, PDF and SVG code draws through Qt's painting and fonts, which need a GUI
    // application; no display is ever opened.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Whatever the libraries say about a damaged file is no news to the user: a file that cannot
    // be read is reported through the answer.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    Sandbox::Policy policy;
    policy.readable = Sandbox::libraryDataPaths();
    policy.executable = { QByteArrayLiteral("/usr"), QByteArrayLiteral("/lib"), QByteArrayLiteral("/lib64") };
    policy.dataBytes = arguments.memoryBytes;
    policy.addressSpaceBytes = arguments.memoryBytes > 0 ? arguments.memoryBytes + kAddressSpaceMargin : 0;
    policy.cpuSeconds = arguments.cpuSeconds;
    const SandboxProtections confinement = Sandbox::confine(policy);
    LentFiles::makeExclusive();

    ReaderResponse handshake = ReaderResponse::withStatus(ReaderResponse::Status::done);
    handshake.confinement = confinement;
    if (!ReaderChannel(arguments.socket).send(ReaderCodec::encode(0, handshake)))
        return 1;

    QGuiApplication application(argc, argv);
    ReaderService service(arguments.socket, arguments.testing, confinement);
    const int status = service.run();
    // Straight out: no destructors of libraries that may be in an unknown state after a
    // hostile file, and no leak checker wanting calls the filter refuses.
    std::fflush(stderr);
    ::_exit(status);
}
