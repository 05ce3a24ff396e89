#pragma once

#include "platform/uniquefd.h"
#include "readers/readerrequest.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>

// The helper's side of the socket: one thread receives requests (and cancellations of them)
// while the main thread reads the files, one at a time in the order asked, and answers each.
// The file of a request comes as a descriptor with it and is lent to the readers (LentFiles)
// while the request is served. Ends when the application closes its end.
class ReaderService
{
public:
    ReaderService(int socket, bool testing, SandboxProtections confinement);

    // Serves until the socket closes; the exit status for the process.
    int run();

private:
    struct Queued
    {
        quint32 id = 0;
        ReaderRequest request;
        UniqueFd file;
    };

    void receive();
    std::optional<Queued> next();
    ReaderResponse handle(const ReaderRequest &request, std::stop_token stop) const;
    ReaderResponse handleTest(const ReaderRequest &request) const;

    int m_socket;
    bool m_testing;
    SandboxProtections m_confinement;

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<Queued> m_queue;
    std::set<quint32> m_cancelled;
    quint32 m_current = 0;
    std::stop_source m_currentStop;
    bool m_closed = false;
};
