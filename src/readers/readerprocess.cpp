#include "readers/readerprocess.h"

#include "platform/systemerror.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <future>
#include <mutex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The thread that starts every helper. A helper asks to be killed when its parent goes, and
// for the kernel its parent is the thread that started it, not the process: worker threads
// come and go, so none of them may be that parent.
class Launcher
{
public:
    static Launcher &instance()
    {
        static Launcher launcher;
        return launcher;
    }

    template<typename Work>
    auto run(Work work) -> decltype(work())
    {
        std::packaged_task<decltype(work())()> task(std::move(work));
        auto result = task.get_future();
        {
            std::lock_guard lock(m_mutex);
            m_tasks.emplace_back([&task] { task(); });
        }
        m_wake.notify_one();
        return result.get();
    }

    ~Launcher()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

private:
    Launcher() : m_thread([this] { serve(); }) { }

    void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
};

QByteArrayList cleanEnvironment()
{
    QByteArrayList variables;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const QByteArrayView variable(*entry);
        const qsizetype equals = variable.indexOf('=');
        if (equals > 0 && ReaderProcess::passesVariable(variable.first(equals)))
            variables.append(variable.toByteArray());
    }
    return variables;
}

std::vector<char *> pointers(QByteArrayList &strings)
{
    std::vector<char *> list;
    for (QByteArray &string : strings)
        list.push_back(string.data());
    list.push_back(nullptr);
    return list;
}

// The helper's process id and our end of its socket; false with the reason in `error`.
bool spawn(const ReaderProcess::Launch &launch, QString *error, pid_t *pid, int *socket)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        *error = SystemError::text(errno);
        return false;
    }
    QByteArrayList arguments { launch.program, QByteArrayLiteral("--socket"), QByteArrayLiteral("3"),
        QByteArrayLiteral("--parent"), QByteArray::number(::getpid()) };
    if (launch.testing)
        arguments.append(QByteArrayLiteral("--testing"));
    if (launch.background)
        arguments.append(QByteArrayLiteral("--background"));
    if (launch.memoryBytes > 0)
        arguments << QByteArrayLiteral("--memory") << QByteArray::number(launch.memoryBytes);
    if (launch.cpuSeconds > 0)
        arguments << QByteArrayLiteral("--cpu") << QByteArray::number(launch.cpuSeconds);
    std::vector<char *> argv = pointers(arguments);
    QByteArrayList variables = cleanEnvironment();
    std::vector<char *> envp = pointers(variables);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    // The libraries' own complaints about a damaged file are no news to anyone; a sanitizer's
    // report in a test build is.
    if (!kSanitized)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // dup2 clears close-on-exec on descriptor 3; every other descriptor of ours closes on exec.
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    const int failed = ::posix_spawn(pid, launch.program.constData(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (failed != 0) {
        ::close(pair[0]);
        *error = SystemError::text(failed);
        return false;
    }
    *socket = pair[0];
    return true;
}

} // namespace

bool ReaderProcess::passesVariable(QByteArrayView name)
{
    static const QByteArrayView kPassed[] = {
        // Languages of recognition and messages.
        "LANG", "LANGUAGE", "TZ",
        // Where fonts, their configuration and Tesseract's models are found.
        "HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS",
        "FONTCONFIG_FILE", "FONTCONFIG_PATH", "TESSDATA_PREFIX",
        // A sanitizer build's settings.
        "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS",
    };
    if (name.startsWith("LC_"))
        return true;
    return std::find(std::begin(kPassed), std::end(kPassed), name) != std::end(kPassed);
}

std::unique_ptr<ReaderProcess> ReaderProcess::start(const Launch &launch, QString *error)
{
    pid_t pid = 0;
    int socket = -1;
    if (!Launcher::instance().run([&] { return spawn(launch, error, &pid, &socket); }))
        return nullptr;
    return std::unique_ptr<ReaderProcess>(new ReaderProcess(pid, socket));
}

ReaderProcess::~ReaderProcess()
{
    ::close(m_socket);
    if (m_reaped)
        return;
    // The helper leaves when its socket closes; one that does not within a moment is stopped.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (hasEnded())
            return;
        ::usleep(2000);
    }
    kill();
}

bool ReaderProcess::hasEnded()
{
    if (m_reaped)
        return true;
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(m_pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0)
        return false;
    // Reaped by someone else (done < 0): ended all the same.
    m_status = done == m_pid ? status : 0;
    m_reaped = true;
    return true;
}

bool ReaderProcess::endedByItsFilter() const
{
    // Nothing here sends SIGSYS.
    return m_reaped && WIFSIGNALED(m_status) && WTERMSIG(m_status) == SIGSYS;
}

QString ReaderProcess::exitDescription() const
{
    if (!m_reaped)
        return QStringLiteral("running");
    if (endedByItsFilter())
        return QStringLiteral("a system call its filter refuses (SIGSYS)");
    if (WIFSIGNALED(m_status))
        return QStringLiteral("signal %1").arg(WTERMSIG(m_status));
    return QStringLiteral("exit status %1").arg(WEXITSTATUS(m_status));
}

void ReaderProcess::kill()
{
    // Once reaped, the process id may belong to someone else.
    if (hasEnded())
        return;
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) { }
    m_reaped = true;
}

std::chrono::seconds ReaderProcess::cpuTime() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    // Fields after the command's closing parenthesis: state is the first, utime the 12th and
    // stime the 13th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return {};
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return std::chrono::seconds((fields[11].toLongLong() + fields[12].toLongLong()) / std::max(1L, ticks));
}
