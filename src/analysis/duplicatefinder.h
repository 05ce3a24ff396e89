#pragma once

#include "analysis/duplicategroup.h"

#include <QList>
#include <QString>

#include <optional>
#include <stop_token>

// Groups files whose contents are byte-for-byte identical.
//
// A stateless worker: both functions are synchronous, read only, take no locks and may run on
// any thread. `find` uses up to two extra threads of its own while it reads.
class DuplicateFinder
{
public:
    // Files that are local, not packages and at least one byte long take part; only those that
    // share their exact size with another are read. The groups are exactly those that equal
    // SHA-256 digests give: files are first told apart by a key of their first and last bytes,
    // and sets of up to FileContent::kMaxFilesSideBySide files are compared byte for byte,
    // chunk by chunk, instead of hashed, which only saves work. Files are read in inode order. Each group is ordered by
    // path; the groups come largest `reclaimable` first, then larger files first, then by first
    // path. Unreadable files are left out silently. Once `stop` is requested the result is
    // incomplete (empty) and must be dropped.
    static QList<DuplicateGroup> find(const QList<FileRecord> &records, std::stop_token stop = {});

    // SHA-256 of the file's contents as 64 lower-case hexadecimal digits, read 1 MiB at a time.
    // Absent when the contents are not on this computer, the file cannot be opened or read, or
    // `stop` is requested.
    static std::optional<QString> hash(const QByteArray &path, std::stop_token stop = {});
};
