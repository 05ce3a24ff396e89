#pragma once

#include <QByteArray>

// Takes the contents of every regular file below a folder out of the page cache, so that the
// next reader of them goes to the disk: a cold run where /proc/sys/vm/drop_caches cannot be
// written. Dirty pages are written first (fdatasync), then dropped (POSIX_FADV_DONTNEED), then
// counted again (mincore): pages mapped or locked by another process stay and are reported.
// Directories and inodes stay cached; only file contents are evicted.
namespace PageCacheEviction {

struct Result
{
    qint64 files = 0;
    qint64 bytes = 0;
    qint64 residentBefore = 0; // pages of those files in the cache before
    qint64 residentAfter = 0; // pages still there afterwards (0 on success)
    qint64 failures = 0; // files that could not be opened or checked
};

Result evictTree(const QByteArray &root);

} // namespace PageCacheEviction
