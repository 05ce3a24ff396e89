#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <memory>
#include <sys/types.h>

// One running reader helper and our end of the socket pair it serves. The helper gets the
// other end as descriptor 3 and the folders it may read as arguments. Destroying the object
// closes the socket (the helper then exits by itself), kills the helper if it is still there,
// and reaps it.
class ReaderProcess
{
public:
    struct Launch
    {
        QByteArray program;
        QByteArrayList readable;
        // Lets the helper accept the requests that exist only for tests.
        bool testing = false;
    };

    static std::unique_ptr<ReaderProcess> start(const Launch &launch, QString *error);
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess &) = delete;
    ReaderProcess &operator=(const ReaderProcess &) = delete;

    int socket() const { return m_socket; }
    pid_t pid() const { return m_pid; }
    // Stops the helper at once (it hangs, or the caller gives up on it).
    void kill();
    // How it ended, once killed or reaped: "signal 9", "exit status 0".
    QString exitDescription() const;

private:
    ReaderProcess(pid_t pid, int socket) : m_pid(pid), m_socket(socket) { }

    pid_t m_pid;
    int m_socket;
    bool m_reaped = false;
    int m_status = 0;
};
