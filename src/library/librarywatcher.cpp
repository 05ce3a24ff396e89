#include "library/librarywatcher.h"

#include "library/libraryscanner.h"
#include "library/libraryscanner_p.h"
#include "platform/directoryreader.h"
#include "platform/filesystemtype.h"
#include "platform/inotify.h"
#include "platform/uniquefd.h"

#include <QFutureWatcher>
#include <QSocketNotifier>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>

// The state the watcher shares with followers on other threads. `mutex` guards `folders` and
// `roots`; a watch is added and recorded under the lock, so an event read meanwhile always
// finds its folder.
struct LibraryWatcher::Shared
{
    Inotify inotify;
    int watchLimit = 0;
    std::mutex mutex;
    QHash<int, QByteArray> folders; // watch -> folder path
    QList<Root> roots;

    // Watches the folder `top` and every folder inside it a scan would enter.
    Following watchTree(const QByteArray &top, bool isRoot, QByteArray *fileSystem, std::stop_token stop);
    // Drops the watches of `path` and of every folder inside it. Caller holds the lock.
    void unwatchLocked(const QByteArray &path);
    void unwatch(const QByteArray &path)
    {
        std::lock_guard lock(mutex);
        unwatchLocked(path);
    }
    // The first root that holds `path` (or is it), if it is followed live.
    std::optional<QByteArray> liveRootOf(const QByteArray &path);
    // Records that `root` is no longer followed, and why; false when it was not followed anyway.
    bool setFollowing(const QByteArray &root, Following following, const QByteArray &fileSystem = {});
};

namespace {

UniqueFd openFolder(const QByteArray &path, bool followLink)
{
    return UniqueFd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)));
}

bool isAtOrInside(const QByteArray &path, const QByteArray &folder)
{
    return path == folder || LibraryScanner::isInside(path, folder);
}

} // namespace

LibraryWatcher::Following LibraryWatcher::Shared::watchTree(
    const QByteArray &top, bool isRoot, QByteArray *fileSystem, std::stop_token stop)
{
    if (!inotify.isValid())
        return Following::unavailable;
    struct Pending
    {
        QByteArray path;
        dev_t parentDevice = 0;
    };
    std::vector<Pending> pending;
    pending.push_back({ top, 0 });
    bool first = true;
    while (!pending.empty()) {
        if (stop.stop_requested())
            break;
        const Pending folder = std::move(pending.back());
        pending.pop_back();
        // Folders are opened one at a time by path: a wide tree must not hold a descriptor per
        // folder waiting its turn.
        const UniqueFd fd = openFolder(folder.path, first && isRoot);
        struct stat status
        {
        };
        if (!fd.isValid() || ::fstat(fd.get(), &status) != 0) {
            if (first && isRoot)
                return Following::missing;
            first = false;
            continue;
        }
        // Another file system begins here: one that reports no changes cannot be followed.
        if (first || status.st_dev != folder.parentDevice) {
            if (const std::optional<QByteArray> name = FileSystemType::withoutChangeEvents(fd.get())) {
                *fileSystem = *name;
                return Following::noEvents;
            }
        }
        first = false;
        {
            std::lock_guard lock(mutex);
            if (watchLimit > 0 && folders.size() >= watchLimit)
                return Following::tooManyFolders;
            const Inotify::Added added = inotify.add(folder.path, Inotify::kFolderEvents);
            if (added.watch < 0) {
                if (added.error == ENOSPC)
                    return Following::tooManyFolders;
                continue; // gone meanwhile, or unreadable: the scan counts it
            }
            folders.insert(added.watch, folder.path);
        }
        // Listed after the watch is in place: whatever appears later is reported.
        std::vector<DirectoryReader::Entry> entries;
        DirectoryReader::readAll(fd.get(), entries);
        const QSet<QByteArray> hidden = ScannerWalk::hiddenNames(fd.get(), entries);
        for (const DirectoryReader::Entry &entry : entries) {
            if (entry.type != DirectoryReader::EntryType::directory
                && entry.type != DirectoryReader::EntryType::unknown)
                continue;
            if (!ScannerWalk::isHidden(entry.name, hidden))
                pending.push_back({ ScannerWalk::childPath(folder.path, entry.name), status.st_dev });
        }
    }
    return Following::live;
}

void LibraryWatcher::Shared::unwatchLocked(const QByteArray &path)
{
    for (auto it = folders.begin(); it != folders.end();) {
        if (isAtOrInside(it.value(), path)) {
            inotify.remove(it.key());
            it = folders.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<QByteArray> LibraryWatcher::Shared::liveRootOf(const QByteArray &path)
{
    std::lock_guard lock(mutex);
    for (const Root &root : std::as_const(roots))
        if (isAtOrInside(path, root.path))
            return root.following == Following::live ? std::optional(root.path) : std::nullopt;
    return std::nullopt;
}

bool LibraryWatcher::Shared::setFollowing(const QByteArray &root, Following following, const QByteArray &fileSystem)
{
    std::lock_guard lock(mutex);
    unwatchLocked(root);
    for (Root &entry : roots) {
        if (entry.path == root && entry.following == Following::live) {
            entry.following = following;
            entry.fileSystem = fileSystem;
            return true;
        }
    }
    return false;
}

QList<LibraryWatcher::Root> LibraryWatcher::Follower::follow(
    const QByteArrayList &roots, Walk walk, std::stop_token stop) const
{
    Shared &shared = *m_shared;
    QByteArrayList wanted;
    for (const QByteArray &root : roots)
        if (!root.isEmpty())
            wanted.append(LibraryScanner::standardizedPath(root));
    QList<Root> previous;
    {
        std::lock_guard lock(shared.mutex);
        previous = shared.roots;
        for (auto it = shared.folders.begin(); it != shared.folders.end();) {
            const bool kept = std::any_of(wanted.cbegin(), wanted.cend(),
                [&it](const QByteArray &root) { return isAtOrInside(it.value(), root); });
            if (kept) {
                ++it;
            } else {
                shared.inotify.remove(it.key());
                it = shared.folders.erase(it);
            }
        }
    }
    QList<Root> result;
    for (const QByteArray &path : std::as_const(wanted)) {
        const auto old
            = std::find_if(previous.cbegin(), previous.cend(), [&path](const Root &root) { return root.path == path; });
        const bool followed = old != previous.cend() && old->following != Following::missing;
        if (walk == Walk::unfollowed && followed) {
            result.append(*old);
            continue;
        }
        Root root { path, Following::live, {} };
        root.following = shared.watchTree(path, true, &root.fileSystem, stop);
        if (root.following != Following::live)
            shared.unwatch(path);
        result.append(root);
    }
    std::lock_guard lock(shared.mutex);
    shared.roots = result;
    return result;
}

LibraryWatcher::LibraryWatcher(QObject *parent)
    : LibraryWatcher(Options(), parent)
{ }

LibraryWatcher::LibraryWatcher(Options options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_shared(std::make_shared<Shared>())
{
    m_shared->watchLimit = options.watchLimit;
    m_reportTimer.setSingleShot(true);
    connect(&m_reportTimer, &QTimer::timeout, this, &LibraryWatcher::report);
    if (m_shared->inotify.isValid()) {
        m_notifier = new QSocketNotifier(m_shared->inotify.fd(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &LibraryWatcher::readEvents);
    }
}

LibraryWatcher::~LibraryWatcher() = default;

LibraryWatcher::Follower LibraryWatcher::follower() const
{
    Follower follower;
    follower.m_shared = m_shared;
    return follower;
}

QList<LibraryWatcher::Root> LibraryWatcher::roots() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->roots;
}

void LibraryWatcher::readEvents()
{
    std::vector<Inotify::Event> events;
    m_shared->inotify.read(events);
    for (const Inotify::Event &event : events) {
        if (event.mask & IN_Q_OVERFLOW) {
            m_overflowed = true;
            noticed();
            continue;
        }
        QByteArray folder;
        bool isRoot = false;
        {
            std::lock_guard lock(m_shared->mutex);
            folder = m_shared->folders.value(event.watch);
            if (event.mask & IN_IGNORED)
                m_shared->folders.remove(event.watch);
            isRoot = std::any_of(m_shared->roots.cbegin(), m_shared->roots.cend(),
                [&folder](const Root &root) { return root.path == folder; });
        }
        if (folder.isEmpty() || (event.mask & IN_IGNORED))
            continue;
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
            // A folder inside a root is reported by its parent; a root has no watched parent.
            if (isRoot)
                rootLost(folder);
            else if (event.mask & IN_UNMOUNT)
                m_changed.insert(folder);
            continue;
        }
        if (event.name.isEmpty())
            continue; // the folder's own attributes
        const QByteArray path = ScannerWalk::childPath(folder, event.name);
        if (event.name == ".hidden") {
            // The folder hides other names now: all of it is read again.
            followLater(folder);
            continue;
        }
        if (event.name.startsWith('.'))
            continue;
        if (event.mask & IN_ISDIR) {
            if (event.mask & (IN_CREATE | IN_MOVED_TO)) {
                followLater(path);
                continue;
            }
            // Folders are no records, packages are: their own tags and sources count.
            if ((event.mask & IN_ATTRIB) && !ScannerWalk::isPackageName(event.name))
                continue;
            if (event.mask & IN_MOVED_FROM)
                m_shared->unwatch(path); // its watches would go on reporting from its new place
            m_changed.insert(path);
        } else {
            m_changed.insert(path);
        }
        noticed();
    }
}

void LibraryWatcher::rootLost(const QByteArray &root)
{
    if (m_shared->setFollowing(root, Following::missing))
        Q_EMIT rootsChanged();
    m_changed.insert(root);
    noticed();
}

void LibraryWatcher::followLater(const QByteArray &path)
{
    m_changed.insert(path);
    ++m_followsRunning;
    noticed();
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        --m_followsRunning;
        if (watcher->future().result())
            Q_EMIT rootsChanged();
        scheduleReport();
    });
    watcher->setFuture(QtConcurrent::run([shared = m_shared, path] {
        const std::optional<QByteArray> root = shared->liveRootOf(path);
        if (!root)
            return false;
        QByteArray fileSystem;
        const Following following = shared->watchTree(path, path == *root, &fileSystem, {});
        if (following == Following::live || following == Following::missing)
            return false;
        // Followed only in part, a root is not followed at all: its changes could go unseen.
        return shared->setFollowing(*root, following, fileSystem);
    }));
}

void LibraryWatcher::noticed()
{
    if (!m_pending) {
        m_pending = true;
        m_sinceFirst.start();
        Q_EMIT pendingChanged();
    }
    scheduleReport();
}

void LibraryWatcher::scheduleReport()
{
    if (!m_pending)
        return;
    const qint64 left = m_options.longest.count() - m_sinceFirst.elapsed();
    m_reportTimer.start(int(std::clamp<qint64>(std::min<qint64>(m_options.quiet.count(), left), 0, INT_MAX)));
}

void LibraryWatcher::report()
{
    // A folder being watched is reported once its watches are all in place.
    if (m_followsRunning > 0)
        return;
    const QByteArrayList paths(m_changed.cbegin(), m_changed.cend());
    m_changed.clear();
    const bool overflowed = std::exchange(m_overflowed, false);
    m_pending = false;
    if (overflowed)
        Q_EMIT this->overflowed();
    if (!paths.isEmpty())
        Q_EMIT changed(paths);
    Q_EMIT pendingChanged();
}
