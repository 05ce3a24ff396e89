#include "readers/readerfaults.h"

#include "platform/privatefile.h"
#include "platform/regularfile.h"
#include "platform/xdgpaths.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// One line per file: faults, size, modification time in nanoseconds and the percent-encoded
// path bytes, separated by blanks.
constexpr qsizetype kMaxStoreBytes = 16 * 1024 * 1024;

} // namespace

ReaderFaults &ReaderFaults::stored()
{
    static ReaderFaults faults(QFile::encodeName(XdgPaths::cacheHome()) + "/tessary/reader-faults");
    return faults;
}

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

void ReaderFaults::loadOnce()
{
    if (m_loaded || m_storePath.isEmpty())
        return;
    m_loaded = true;
    RegularFile file(m_storePath);
    if (!file.isOpen())
        return;
    for (const QByteArray &line : file.read(kMaxStoreBytes).split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 4)
            continue;
        Entry entry;
        bool counted = false;
        bool sized = false;
        bool dated = false;
        entry.faults = fields[0].toInt(&counted);
        entry.size = fields[1].toLongLong(&sized);
        entry.modifiedNs = fields[2].toLongLong(&dated);
        const QByteArray path = QByteArray::fromPercentEncoding(fields[3]);
        if (counted && sized && dated && entry.faults > 0 && path.startsWith('/') && m_entries.size() < kMaxEntries)
            m_entries.insert(path, entry);
    }
}

QByteArray ReaderFaults::serialized() const
{
    QByteArray bytes;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        bytes += QByteArray::number(it->faults) + ' ' + QByteArray::number(it->size) + ' '
            + QByteArray::number(it->modifiedNs) + ' ' + it.key().toPercentEncoding("/") + '\n';
    }
    return bytes;
}

void ReaderFaults::record(const QByteArray &path)
{
    Entry now = currentState(path);
    QByteArray contents;
    {
        std::lock_guard lock(m_mutex);
        loadOnce();
        const auto found = m_entries.constFind(path);
        if (found != m_entries.constEnd() && found->sameState(now))
            now.faults = found->faults;
        ++now.faults;
        if (m_entries.size() >= kMaxEntries && !m_entries.contains(path)) {
            for (auto it = m_entries.begin(); it != m_entries.end();)
                it = currentState(it.key()).sameState(*it) ? std::next(it) : m_entries.erase(it);
            while (m_entries.size() >= kMaxEntries)
                m_entries.erase(m_entries.begin());
        }
        m_entries.insert(path, now);
        if (m_storePath.isEmpty())
            return;
        contents = serialized();
    }
    // A lost memory costs a file one more try, nothing else.
    const QByteArray folder = m_storePath.left(m_storePath.lastIndexOf('/'));
    if (QDir().mkpath(QFile::decodeName(folder)))
        PrivateFile::replace(m_storePath, contents);
}

bool ReaderFaults::refuses(const QByteArray &path)
{
    {
        std::lock_guard lock(m_mutex);
        loadOnce();
        if (!m_entries.contains(path))
            return false;
    }
    const Entry now = currentState(path);
    std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(path);
    if (found == m_entries.end())
        return false;
    if (!found->sameState(now)) {
        // Changed since: it gets a fresh start.
        m_entries.erase(found);
        return false;
    }
    return found->faults >= kFaultsBeforeRefusal;
}
