#include "readers/readerfaults.h"

#include <fcntl.h>
#include <sys/stat.h>

ReaderFaults::Entry ReaderFaults::currentState(const QByteArray &path)
{
    Entry entry;
    struct stat status {};
    if (::fstatat(AT_FDCWD, path.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        entry.size = status.st_size;
        entry.modifiedNs = qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    }
    return entry;
}

void ReaderFaults::record(const QByteArray &path)
{
    Entry now = currentState(path);
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.constFind(path);
    if (found != m_entries.constEnd() && found->size == now.size && found->modifiedNs == now.modifiedNs)
        now.faults = found->faults;
    ++now.faults;
    m_entries.insert(path, now);
}

bool ReaderFaults::refuses(const QByteArray &path) const
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_entries.contains(path))
            return false;
    }
    const Entry now = currentState(path);
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.constFind(path);
    return found != m_entries.constEnd() && found->faults >= kFaultsBeforeRefusal && found->size == now.size
        && found->modifiedNs == now.modifiedNs;
}
