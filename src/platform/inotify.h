#pragma once

#include "platform/uniquefd.h"

#include <QByteArray>

#include <cstdint>
#include <sys/inotify.h>
#include <vector>

// One inotify instance of the kernel: watches on folders, and the events queued for them.
//
// The descriptor is non-blocking and closed on exec. add() and remove() may be called from any
// thread (the kernel serialises them); read() from one thread at a time.
class Inotify
{
public:
    // What a library folder is watched for: entries created, removed, moved in or out, files
    // closed after writing, attributes changed (extended attributes carry tags and download
    // sources), and the folder itself removed or moved.
    static constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE
        | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

    struct Event
    {
        int watch = -1; // -1 for IN_Q_OVERFLOW
        uint32_t mask = 0;
        uint32_t cookie = 0;
        QByteArray name; // the entry inside the watched folder; empty for the folder itself
    };

    struct Added
    {
        int watch = -1; // the watch, or -1 when the kernel refused
        int error = 0; // errno when refused: ENOSPC when fs.inotify.max_user_watches is reached
    };

    Inotify();

    bool isValid() const { return m_fd.isValid(); }
    // errno of a failed start (EMFILE: fs.inotify.max_user_instances reached).
    int error() const { return m_error; }
    int fd() const { return m_fd.get(); }

    // Watches the folder at `path` for `mask`; never through a symbolic link, never a file. A
    // folder watched already keeps its watch number and gets the new mask.
    Added add(const QByteArray &path, uint32_t mask) const;
    void remove(int watch) const;

    // Appends every event queued now to `events`; false when nothing was queued.
    bool read(std::vector<Event> &events) const;

private:
    UniqueFd m_fd;
    int m_error = 0;
};
