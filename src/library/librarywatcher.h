#pragma once

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <memory>
#include <stop_token>

class QSocketNotifier;

// Follows the library's folders with inotify and reports the paths below them that changed.
//
// Every folder a scan would enter gets a watch (packages included, whose size follows their
// contents); hidden folders and links do not. Events are read on the watcher's thread (the main
// thread) as they come, a few microseconds each, and gathered: `changed` reports the paths once
// nothing new came for `quiet`, or `longest` after the first, so a burst of thousands of files
// is one report. A folder created or moved in is watched (on a worker thread) before it is
// reported, so nothing made inside it afterwards goes unnoticed.
//
// Where a root cannot be followed it says why (roots()): the system's limit of watches reached,
// a file system that sends no events, the root gone. After the kernel's queue overflowed,
// `overflowed` says that only a rescan tells what changed.
//
// Threading: the follower (follower()) may run on any thread; everything else, and every
// signal, belongs to the watcher's thread.
class LibraryWatcher : public QObject
{
    Q_OBJECT

public:
    enum class Following {
        live, // every folder under it is watched
        tooManyFolders, // no room for more watches (fs.inotify.max_user_watches)
        noEvents, // its file system reports no changes (`fileSystem` names it)
        missing, // it cannot be opened: removed, moved away or unmounted
        unavailable, // inotify could not be started
    };
    struct Root
    {
        QByteArray path;
        Following following = Following::live;
        QByteArray fileSystem;

        bool operator==(const Root &) const = default;
    };
    // Which roots a follow walks: all of them (their watches repaired and completed), or only
    // those not followed yet or gone missing.
    enum class Walk { all, unfollowed };

    struct Options
    {
        // Watches allowed in all, as if fs.inotify.max_user_watches were this; 0: the system's.
        int watchLimit = 0;
        std::chrono::milliseconds quiet { 150 };
        std::chrono::milliseconds longest { 500 };
    };

    struct Shared;
    // Sets which roots are followed: the folders of roots no longer given lose their watches,
    // the roots `walk` names are walked and watched. Blocks while it walks; returns how each
    // root is followed. Copies share the watcher's state and stay usable after it is gone.
    class Follower
    {
    public:
        QList<Root> follow(const QByteArrayList &roots, Walk walk = Walk::all, std::stop_token stop = {}) const;

    private:
        friend class LibraryWatcher;
        std::shared_ptr<Shared> m_shared;
    };

    explicit LibraryWatcher(Options options, QObject *parent = nullptr);
    explicit LibraryWatcher(QObject *parent = nullptr);
    ~LibraryWatcher() override;

    Follower follower() const;
    // The roots as the last follow or a later event left them.
    QList<Root> roots() const;
    // Whether changes were noticed that `changed` has not reported yet.
    bool isPending() const { return m_pending; }

Q_SIGNALS:
    // Paths at or below the roots that were created, written, changed in their attributes,
    // moved or removed; each may name a file, a folder or nothing any more.
    void changed(const QByteArrayList &paths);
    // Events were lost: only a rescan can tell what changed meanwhile.
    void overflowed();
    // A root stopped being followed (removed, moved away, no room for a new folder's watches).
    void rootsChanged();
    void pendingChanged();

private:
    void readEvents();
    void noticed();
    void scheduleReport();
    void report();
    // Watches the folder at `path` and everything in it, then reports it changed.
    void followLater(const QByteArray &path);
    void rootLost(const QByteArray &root);

    Options m_options;
    std::shared_ptr<Shared> m_shared;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_reportTimer;
    QElapsedTimer m_sinceFirst;
    QSet<QByteArray> m_changed;
    bool m_overflowed = false;
    bool m_pending = false;
    int m_followsRunning = 0;
};
