#pragma once

#include "platform/uniquefd.h"

#include <QByteArray>

#include <chrono>
#include <deque>
#include <optional>

// Whole messages over one end of a stream socket: a length prefix and the payload, and a file
// descriptor passed along with a message where one is sent. Sends and reads wait with a
// deadline, so a peer that hangs or dies never blocks the caller for longer than it allows; a
// message cut short by the deadline is kept and completed by the next call. The socket is
// borrowed, not owned.
class ReaderChannel
{
public:
    using Clock = std::chrono::steady_clock;

    enum class Outcome { message, closed, timedOut, broken, oversized };
    enum class Files { refused, accepted };

    // With `Files::refused`, a descriptor the peer passes breaks the channel (and is closed),
    // so a peer cannot fill this process's descriptor table.
    explicit ReaderChannel(int fd, Files files = Files::refused)
        : m_fd(fd)
        , m_files(files)
    { }

    // Sends one message, with `file` (unless -1) passed along; false when the peer is gone, the
    // socket fails or the peer leaves no room for it before `deadline` (then `*timedOut`).
    bool send(const QByteArray &payload, int file = -1, std::optional<Clock::time_point> deadline = std::nullopt,
        bool *timedOut = nullptr);

    // Waits until `deadline` (none: forever) for the next message. `closed` when the peer
    // closed its end between messages, `broken` for a malformed length, a refused descriptor or
    // an error, `oversized` when the length announced exceeds `maxPayload` (nothing of the
    // payload is read then).
    Outcome receive(
        QByteArray *payload, std::optional<Clock::time_point> deadline = std::nullopt, quint32 maxPayload = kNoLimit);

    // The oldest descriptor received and not yet taken (invalid when there is none).
    UniqueFd takeFile();

    static constexpr quint32 kNoLimit = ~0U;

private:
    bool waitFor(short events, std::optional<Clock::time_point> deadline, bool *timedOut);
    bool sendAll(QByteArrayView bytes, int file, std::optional<Clock::time_point> deadline, bool *timedOut);
    enum class Received { bytes, nothing, end, failed };
    Received receiveSome(qsizetype want);

    int m_fd;
    Files m_files;
    QByteArray m_buffer;
    std::deque<UniqueFd> m_received;
};
