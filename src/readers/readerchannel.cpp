#include "readers/readerchannel.h"

#include "readers/readercodec.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Room for the descriptors of one message; more would be a forged message.
constexpr int kMaxFilesAtOnce = 4;

} // namespace

bool ReaderChannel::waitFor(short events, std::optional<Clock::time_point> deadline, bool *timedOut)
{
    *timedOut = false;
    for (;;) {
        int timeout = -1;
        if (deadline) {
            // Past the deadline the socket is still looked at once, without waiting.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            timeout = int(std::clamp<long long>(left, 0, 60'000));
        }
        pollfd entry { m_fd, events, 0 };
        const int ready = ::poll(&entry, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (ready > 0)
            return true;
        if (timeout == 0) {
            *timedOut = true;
            return false;
        }
    }
}

bool ReaderChannel::sendAll(QByteArrayView bytes, int file, std::optional<Clock::time_point> deadline, bool *timedOut)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        iovec part { const_cast<char *>(bytes.data() + sent), size_t(bytes.size() - sent) };
        msghdr message {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] {};
        if (file >= 0) {
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            cmsghdr *header = CMSG_FIRSTHDR(&message);
            header->cmsg_level = SOL_SOCKET;
            header->cmsg_type = SCM_RIGHTS;
            header->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(header), &file, sizeof(int));
        }
        // MSG_NOSIGNAL: a peer that died turns into an error here, not a SIGPIPE.
        const ssize_t n = ::sendmsg(m_fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(POLLOUT, deadline, timedOut))
                return false;
            continue;
        }
        if (n <= 0)
            return false;
        // The descriptor travels with the first bytes that went out.
        file = -1;
        sent += n;
    }
    return true;
}

bool ReaderChannel::send(const QByteArray &payload, int file, std::optional<Clock::time_point> deadline, bool *timedOut)
{
    bool late = false;
    // Header and payload go out one after the other: an image of tens of megabytes is not
    // copied just to put four bytes in front of it.
    const bool sent = sendAll(ReaderCodec::frameHeader(quint32(payload.size())), file, deadline, &late)
        && sendAll(payload, -1, deadline, &late);
    if (timedOut != nullptr)
        *timedOut = late;
    return sent;
}

ReaderChannel::Received ReaderChannel::receiveSome(qsizetype want)
{
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + want);
    iovec part { m_buffer.data() + had, size_t(want) };
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxFilesAtOnce)];
    msghdr message {};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t n = 0;
    do {
        n = ::recvmsg(m_fd, &message, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    m_buffer.resize(had + std::max<ssize_t>(n, 0));
    if (n < 0)
        return errno == EAGAIN ? Received::nothing : Received::failed;
    bool intact = (message.msg_flags & MSG_CTRUNC) == 0;
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int file = -1;
            std::memcpy(&file, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            UniqueFd owned(file);
            if (m_files == Files::accepted)
                m_received.push_back(std::move(owned));
            else
                intact = false;
        }
    }
    if (!intact)
        return Received::failed;
    return n == 0 ? Received::end : Received::bytes;
}

ReaderChannel::Outcome ReaderChannel::receive(
    QByteArray *payload, std::optional<Clock::time_point> deadline, quint32 maxPayload)
{
    for (;;) {
        qsizetype needed = 4 - m_buffer.size();
        if (m_buffer.size() >= 4) {
            const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData());
            if (length > std::min(maxPayload, ReaderCodec::kMaxPayload))
                return Outcome::oversized;
            needed = 4 + qsizetype(length) - m_buffer.size();
            if (needed <= 0) {
                *payload = m_buffer.mid(4, qsizetype(length));
                m_buffer.remove(0, 4 + qsizetype(length));
                return Outcome::message;
            }
        }
        bool timedOut = false;
        if (!waitFor(POLLIN, deadline, &timedOut))
            return timedOut ? Outcome::timedOut : Outcome::broken;
        // Read what the message still lacks (at least a little, so headers come in one go).
        switch (receiveSome(std::max<qsizetype>(needed, 4096))) {
        case Received::bytes:
        case Received::nothing:
            break;
        case Received::end:
            return m_buffer.isEmpty() ? Outcome::closed : Outcome::broken;
        case Received::failed:
            return Outcome::broken;
        }
    }
}

UniqueFd ReaderChannel::takeFile()
{
    if (m_received.empty())
        return UniqueFd();
    UniqueFd file = std::move(m_received.front());
    m_received.pop_front();
    return file;
}
