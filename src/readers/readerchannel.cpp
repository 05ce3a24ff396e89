#include "readers/readerchannel.h"

#include "readers/readercodec.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// All of `bytes`, however the socket splits it; false when the peer is gone.
bool sendAll(int fd, QByteArrayView bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a helper that died turns into an error here, not a SIGPIPE.
        const ssize_t n = ::send(fd, bytes.data() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

} // namespace

bool ReaderChannel::send(const QByteArray &payload)
{
    // Header and payload go out one after the other: an image of tens of megabytes is not
    // copied just to put four bytes in front of it.
    return sendAll(m_fd, ReaderCodec::frameHeader(quint32(payload.size()))) && sendAll(m_fd, payload);
}

bool ReaderChannel::waitReadable(std::optional<Clock::time_point> deadline, bool *timedOut)
{
    *timedOut = false;
    for (;;) {
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            if (left <= 0) {
                *timedOut = true;
                return false;
            }
            timeout = int(std::min<long long>(left, 60'000));
        }
        pollfd entry { m_fd, POLLIN, 0 };
        const int ready = ::poll(&entry, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (ready > 0)
            return true;
    }
}

qsizetype ReaderChannel::missing() const
{
    if (m_buffer.size() < 4)
        return 4 - m_buffer.size();
    const std::optional<quint32> size = ReaderCodec::payloadSize(QByteArrayView(m_buffer).first(4));
    if (!size)
        return -1;
    return std::max<qsizetype>(0, 4 + qsizetype(*size) - m_buffer.size());
}

ReaderChannel::Outcome ReaderChannel::receive(QByteArray *payload, std::optional<Clock::time_point> deadline)
{
    for (;;) {
        const qsizetype needed = missing();
        if (needed < 0)
            return Outcome::broken;
        if (needed == 0 && m_buffer.size() >= 4) {
            const quint32 length = *ReaderCodec::payloadSize(QByteArrayView(m_buffer).first(4));
            *payload = m_buffer.mid(4, qsizetype(length));
            m_buffer.remove(0, 4 + qsizetype(length));
            return Outcome::message;
        }
        bool timedOut = false;
        if (!waitReadable(deadline, &timedOut))
            return timedOut ? Outcome::timedOut : Outcome::broken;
        // Read what the message still lacks (at least a little, so headers come in one go).
        const qsizetype want = std::max<qsizetype>(needed, 4096);
        const qsizetype had = m_buffer.size();
        m_buffer.resize(had + want);
        const ssize_t n = ::recv(m_fd, m_buffer.data() + had, size_t(want), 0);
        m_buffer.resize(had + std::max<ssize_t>(n, 0));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n == 0)
            return m_buffer.isEmpty() ? Outcome::closed : Outcome::broken;
        if (n < 0)
            return Outcome::broken;
    }
}
