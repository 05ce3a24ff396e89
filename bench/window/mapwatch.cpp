// Times a program's start-up to its first window on the screen: from just before the program is
// started to the X server's MapNotify for the first top-level window it maps. The program is not
// changed or asked anything; the watcher listens on the root window of a display without a
// window manager (Xvfb), where a top-level window is mapped directly as the root's child.
// Prints on standard output the milliseconds to the map, then the processor time the program had
// used by then: its main thread's, and all its threads' together (both from the scheduler's
// statistics, so that runs on a loaded machine can be compared by the work done), then its
// resident memory in kilobytes at that moment. Then stops the program and waits for it to end.
//
// Usage: tessary-bench-window-mapwatch [--timeout SECONDS] -- PROGRAM [ARGUMENT...]
// Exit status: 0 when a window was mapped, 1 when the program ended or timed out first, 2 for
// a usage error or no display.

#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

namespace {

double monotonicMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Processor time in milliseconds from a schedstat file (its first field, in nanoseconds).
double schedstatMs(const std::string &path)
{
    std::ifstream file(path);
    double nanoseconds = 0;
    file >> nanoseconds;
    return nanoseconds / 1e6;
}

// The main thread's processor time and that of all threads of process `pid`.
std::pair<double, double> processorMs(pid_t pid)
{
    const std::string task = "/proc/" + std::to_string(pid) + "/task";
    double all = 0;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(task, error))
        all += schedstatMs(entry.path().string() + "/schedstat");
    return { schedstatMs(task + "/" + std::to_string(pid) + "/schedstat"), all };
}

// The program's resident memory in kilobytes (VmRSS), 0 when unknown.
long long residentKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long long kilobytes = 0;
            status >> kilobytes;
            return kilobytes;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// Ends the program: a polite request first, then a kill when it does not end within 5 s.
void stop(pid_t child)
{
    kill(child, SIGTERM);
    for (int waited = 0; waited < 500; ++waited) {
        if (waitpid(child, nullptr, WNOHANG) == child)
            return;
        usleep(10'000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

bool childEnded(pid_t child)
{
    int status = 0;
    return waitpid(child, &status, WNOHANG) == child;
}

int usage()
{
    std::fprintf(stderr, "usage: tessary-bench-window-mapwatch [--timeout SECONDS] -- PROGRAM [ARGUMENT...]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    double timeoutMs = 60'000;
    int at = 1;
    for (; at < argc && std::strcmp(argv[at], "--") != 0; ++at) {
        if (std::strcmp(argv[at], "--timeout") == 0 && at + 1 < argc)
            timeoutMs = std::atof(argv[++at]) * 1e3;
        else
            return usage();
    }
    if (at + 1 >= argc)
        return usage();
    char **command = argv + at + 1;

    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(nullptr, &screenNumber), &xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) {
        std::fprintf(stderr, "mapwatch: cannot open the display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;

    // The selection is confirmed by a round trip before the program starts, so no map is missed.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    const std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
        xcb_request_check(connection.get(),
            xcb_change_window_attributes_checked(connection.get(), root, XCB_CW_EVENT_MASK, &mask)),
        &std::free);
    if (error) {
        std::fprintf(stderr, "mapwatch: cannot watch the root window (X error %d)\n", int(error->error_code));
        return 2;
    }

    const double started = monotonicMs();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("mapwatch: fork");
        return 2;
    }
    if (child == 0) {
        // The program's own output goes to standard error; standard output carries the result.
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execvp(command[0], command);
        std::perror("mapwatch: exec");
        _exit(127);
    }

    const int descriptor = xcb_get_file_descriptor(connection.get());
    while (true) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection.get())) {
            const bool isMap = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event);
            // Tool tips and menus are override-redirect windows; the program's window is not.
            const bool topLevel = isMap && map->event == root && !map->override_redirect;
            std::free(event);
            if (topLevel) {
                const double mapped = monotonicMs() - started;
                const auto [mainThread, allThreads] = processorMs(child);
                std::printf("%.3f %.3f %.3f %lld\n", mapped, mainThread, allThreads, residentKilobytes(child));
                std::fflush(stdout);
                stop(child);
                return 0;
            }
        }
        if (xcb_connection_has_error(connection.get())) {
            std::fprintf(stderr, "mapwatch: the display connection broke\n");
            stop(child);
            return 1;
        }
        if (childEnded(child)) {
            std::fprintf(stderr, "mapwatch: %s ended before it mapped a window\n", command[0]);
            return 1;
        }
        const double left = started + timeoutMs - monotonicMs();
        if (left <= 0) {
            std::fprintf(stderr, "mapwatch: no window within %.0f s\n", timeoutMs / 1e3);
            stop(child);
            return 1;
        }
        pollfd watched { descriptor, POLLIN, 0 };
        poll(&watched, 1, int(std::min(left, 20.0)));
    }
}
