#include "readers/readerprocess.h"

#include "platform/systemerror.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

std::unique_ptr<ReaderProcess> ReaderProcess::start(const Launch &launch, QString *error)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        *error = SystemError::text(errno);
        return nullptr;
    }
    QByteArrayList arguments { launch.program, QByteArrayLiteral("--socket"), QByteArrayLiteral("3") };
    if (launch.testing)
        arguments.append(QByteArrayLiteral("--testing"));
    for (const QByteArray &folder : launch.readable)
        arguments << QByteArrayLiteral("--read") << folder;
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on descriptor 3; every other descriptor of ours closes on exec.
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, launch.program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (failed != 0) {
        ::close(pair[0]);
        *error = SystemError::text(failed);
        return nullptr;
    }
    return std::unique_ptr<ReaderProcess>(new ReaderProcess(pid, pair[0]));
}

ReaderProcess::~ReaderProcess()
{
    ::close(m_socket);
    if (m_reaped)
        return;
    // The helper leaves when its socket closes; one that does not within a moment is stopped.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const pid_t done = ::waitpid(m_pid, nullptr, WNOHANG);
        if (done == m_pid || (done < 0 && errno != EINTR))
            return;
        ::usleep(2000);
    }
    kill();
}

QString ReaderProcess::exitDescription() const
{
    if (!m_reaped)
        return QStringLiteral("running");
    if (WIFSIGNALED(m_status))
        return QStringLiteral("signal %1").arg(WTERMSIG(m_status));
    return QStringLiteral("exit status %1").arg(WEXITSTATUS(m_status));
}

void ReaderProcess::kill()
{
    // Once reaped, the process id may belong to someone else.
    if (m_reaped)
        return;
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) { }
    m_reaped = true;
}
