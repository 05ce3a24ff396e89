#pragma once

#include <QByteArray>

#include <optional>

namespace FileSystemType {

// The name of the file system that holds the open folder `fd` when it is one whose changes
// the kernel does not report to inotify (changes made on another computer never reach it):
// "NFS", "SMB", "FUSE", "9P", "Ceph", "AFS" or "Coda". Absent for a local file system.
std::optional<QByteArray> withoutChangeEvents(int fd);

} // namespace FileSystemType
