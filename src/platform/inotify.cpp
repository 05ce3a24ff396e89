#include "platform/inotify.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kMaxReadsPerCall = 8;

} // namespace

Inotify::Inotify()
    : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (!m_fd.isValid())
        m_error = errno;
}

Inotify::Added Inotify::add(const QByteArray &path, uint32_t mask) const
{
    Added added;
    added.watch = ::inotify_add_watch(m_fd.get(), path.constData(), mask | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (added.watch < 0)
        added.error = errno;
    return added;
}

void Inotify::remove(int watch) const
{
    ::inotify_rm_watch(m_fd.get(), watch);
}

bool Inotify::read(std::vector<Event> &events) const
{
    // Room for many events per call; one event with the longest name fits as the kernel asks.
    alignas(inotify_event) char buffer[64 * 1024];
    bool any = false;
    // A flood is read in parts, so the caller's thread gets back to its other work in between.
    for (int reads = 0; reads < kMaxReadsPerCall; ++reads) {
        const ssize_t length = ::read(m_fd.get(), buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return any;
        any = true;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= length;) {
            inotify_event header;
            std::memcpy(&header, buffer + at, sizeof header);
            Event event;
            event.watch = header.wd;
            event.mask = header.mask;
            event.cookie = header.cookie;
            // The name is padded with zero bytes to an aligned length.
            if (header.len > 0)
                event.name = QByteArray(
                    buffer + at + sizeof header, qsizetype(::strnlen(buffer + at + sizeof header, header.len)));
            events.push_back(std::move(event));
            at += ssize_t(sizeof header + header.len);
        }
    }
    return any;
}
