#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Files that only their owner may read, written so that a reader finds either the old contents
// or the new ones, never a part. Stateless; safe on any thread.
namespace PrivateFile {

// Writes all of `data` to `fd`, going on after short writes and interruptions. False with errno
// set when the system refuses.
bool writeAll(int fd, QByteArrayView data);

// Replaces the file at `path` (whose folder must exist) with `contents`: a temporary file beside
// it, created exclusively (never through a symbolic link planted at its name) with mode 0600,
// is written, synced and renamed over `path`; then the folder is synced. On failure the old
// file is untouched, no temporary file is left, and the reason is returned.
std::optional<QString> replace(const QByteArray &path, QByteArrayView contents);

// Makes `folder` and any missing parents with mode 0700 and leaves `folder` itself at 0700 when
// it is the caller's own (an existing one was perhaps made with a wider umask). Returns the
// reason on failure; a symbolic link in place of `folder` is refused.
std::optional<QString> makeFolder(const QByteArray &folder);

} // namespace PrivateFile
