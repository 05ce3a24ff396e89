#include "scan/processrun.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ProcessRun {

Measurement run(const QByteArrayList &command, Output output)
{
    Measurement measurement;
    int pipeFds[2] = { -1, -1 };
    if (output == Output::capture && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return measurement;
    std::vector<char *> argv;
    for (const QByteArray &argument : command)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        return measurement;
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (output == Output::capture) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
        } else {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (output == Output::capture) {
        ::close(pipeFds[1]);
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            measurement.output.append(buffer, n);
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage {};
    while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) { }
    measurement.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measurement.peakKilobytes = usage.ru_maxrss;
    measurement.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measurement;
}

bool dropPageCache()
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, "3\n", 2) == 2;
    return ::close(fd) == 0 && written;
}

} // namespace ProcessRun
