#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>

// Whole messages over one end of a stream socket: a length prefix and the payload. Reads wait
// with a deadline, so a peer that hangs or dies never blocks the caller for longer than it
// allows; a message cut short by the deadline is kept and completed by the next call. The
// descriptor is borrowed, not owned.
class ReaderChannel
{
public:
    using Clock = std::chrono::steady_clock;

    enum class Outcome { message, closed, timedOut, broken };

    explicit ReaderChannel(int fd) : m_fd(fd) { }

    // Sends one message; false when the peer is gone or the socket fails.
    bool send(const QByteArray &payload);

    // Waits until `deadline` (none: forever) for the next message. `closed` when the peer
    // closed its end between messages, `broken` for a malformed length or an error.
    Outcome receive(QByteArray *payload, std::optional<Clock::time_point> deadline = std::nullopt);

private:
    bool waitReadable(std::optional<Clock::time_point> deadline, bool *timedOut);
    // The bytes still missing from the message at the front of the buffer; -1 for a bad length.
    qsizetype missing() const;

    int m_fd;
    QByteArray m_buffer;
};
