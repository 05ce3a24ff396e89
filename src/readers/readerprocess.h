#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <memory>
#include <sys/types.h>

// One running reader helper and our end of the socket pair it serves. The helper gets the
// other end as descriptor 3, standard input and output from /dev/null, and an environment of
// only what its libraries read. Helpers are started by one thread that lives as long as the
// application, since a helper dies with the thread that started it. Destroying the object
// closes the socket (the helper then exits by itself), kills the helper if it is still there,
// and reaps it.
class ReaderProcess
{
public:
    struct Launch
    {
        QByteArray program;
        // Lets the helper accept the requests that exist only for tests.
        bool testing = false;
        // Idle scheduling and I/O, for work nobody is waiting on.
        bool background = false;
        // The helper's memory (heap and other private writable memory); 0: unlimited.
        quint64 memoryBytes = 0;
        // Processor time over the helper's life; 0: unlimited.
        quint64 cpuSeconds = 0;
    };

    static std::unique_ptr<ReaderProcess> start(const Launch &launch, QString *error);
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess &) = delete;
    ReaderProcess &operator=(const ReaderProcess &) = delete;

    int socket() const { return m_socket; }
    pid_t pid() const { return m_pid; }
    // Stops the helper at once (it hangs, or the caller gives up on it).
    void kill();
    // How it ended, once killed or reaped: "signal 9", "exit status 0", or that its system call
    // filter ended it.
    QString exitDescription() const;
    // Whether it has ended (reaping it then).
    bool hasEnded();
    // Whether its seccomp filter ended it, once reaped.
    bool endedByItsFilter() const;
    // Processor time used so far.
    std::chrono::seconds cpuTime() const;

    // The variables a helper's environment keeps, from this process's.
    static bool passesVariable(QByteArrayView name);

private:
    ReaderProcess(pid_t pid, int socket) : m_pid(pid), m_socket(socket) { }

    pid_t m_pid;
    int m_socket;
    bool m_reaped = false;
    int m_status = 0;
};
