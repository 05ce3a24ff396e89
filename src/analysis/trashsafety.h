#pragma once

#include "library/filerecord.h"

#include <QSet>

#include <optional>

// The last gate before a file goes to the Trash: proves, from the file system as it is now, that
// a path still names the very file that was scanned, unchanged.
//
// Only decides: never moves, writes or reads contents. Stateless and synchronous; safe on any
// thread. Every failure to read anything is the answer false.
namespace TrashSafety {

// True when the file at the record's path is provably the one the record describes: same
// device and inode (a symbolic link never is), same modification and creation dates to the
// nanosecond, same package status, same size (for a package, the sum its contents add up to
// now), and contents on this computer. Where the file system records no creation date and the
// scan recorded none either, that one comparison is passed; every other one still applies.
bool unchanged(const FileRecord &record);

// True when `record` may be moved to the Trash now: it is unchanged, and when a kept copy is
// named, that copy is neither the file itself nor part of the same request (`removing` holds the
// paths of every file of the request) and is unchanged too.
bool canRemove(const FileRecord &record, const std::optional<FileRecord> &keeping, const QSet<QByteArray> &removing);

// The creation-date comparison of `unchanged`: `current` is what the file system reports now
// (absent where it keeps none), `recorded` what the scan stored (the distant past for none).
bool creationDateMatches(const Timestamp &recorded, const std::optional<Timestamp> &current);

} // namespace TrashSafety
