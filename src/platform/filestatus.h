#pragma once

#include "platform/timestamp.h"

#include <QByteArray>

#include <optional>
#include <sys/types.h>

// What statx(2) tells about one directory entry, read without following a final symbolic link.
struct FileStatus
{
    enum class Type { regular, directory, symbolicLink, other };

    Type type = Type::other;
    qint64 size = 0;
    Timestamp modified;
    // Birth time; absent where the file system records none (NFS, many FUSE file systems).
    std::optional<Timestamp> created;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;

    bool isRegular() const { return type == Type::regular; }
    bool isDirectory() const { return type == Type::directory; }
    bool isSymbolicLink() const { return type == Type::symbolicLink; }

    // Status of `name` relative to the open directory `directoryFd` (or AT_FDCWD).
    // Absent when the entry cannot be read (vanished, no permission, ...).
    static std::optional<FileStatus> read(int directoryFd, const char *name);
    static std::optional<FileStatus> read(const QByteArray &path);
};
