#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

// Where file systems are mounted, read from /proc/self/mountinfo at each call.
namespace MountTable {

// Mount points in the order the kernel lists them, octal escapes ("\040") decoded.
QByteArrayList mountPoints(const QByteArray &mountInfoPath = "/proc/self/mountinfo");

// The mount point of the file system that holds the entry at `path` (the "top directory" of the
// freedesktop Trash): the longest mount point that contains the real path of the entry's parent
// folder. A final symbolic link of `path` itself is not followed. Absent when the parent
// cannot be resolved.
std::optional<QByteArray> topDirectory(const QByteArray &path);

// The longest of `mountPoints` that is `realPath` or one of its ancestors ("/" at worst).
QByteArray longestContaining(const QByteArray &realPath, const QByteArrayList &mountPoints);

} // namespace MountTable
