#include "analysis/trashsafety.h"

#include "library/fileidentity.h"
#include "library/libraryscanner.h"
#include "library/libraryscanner_p.h"
#include "library/localfileaccess.h"
#include "platform/filestatus.h"

#include <unistd.h>

namespace TrashSafety {

bool unchanged(const FileRecord &record)
{
    if (record.isCloudOnly || !record.identity)
        return false;
    const auto identity = FileIdentity::read(record.path);
    if (!identity || *identity != *record.identity)
        return false;

    const auto status = FileStatus::read(record.path);
    if (!status || status->isSymbolicLink())
        return false;
    // The identity of this very reading must match too, or the name changed hands in between.
    if (FileIdentity::fingerprint(status->device, status->inode) != *record.identity)
        return false;
    if (status->modified != record.modified || !creationDateMatches(record.created, status->created))
        return false;

    const QByteArray name = record.path.mid(record.path.lastIndexOf('/') + 1);
    const bool isPackage = status->isDirectory() && ScannerWalk::isPackageName(name);
    if (isPackage != record.isPackage)
        return false;
    // packageSize answers 0 for a package it cannot open, which must not pass for an empty one.
    if (isPackage)
        return ::access(record.path.constData(), R_OK | X_OK) == 0
            && LibraryScanner::packageSize(record.path) == record.size;

    return LocalFileAccess::canReadContents(record.path) && status->isRegular() && status->size == record.size;
}

bool creationDateMatches(const Timestamp &recorded, const std::optional<Timestamp> &current)
{
    if (current)
        return *current == recorded;
    // NFS and many FUSE file systems keep no creation date: the scan stored the distant past
    // for such a file, and there is nothing else to compare.
    return recorded.isDistantPast();
}

bool canRemove(const FileRecord &record, const std::optional<FileRecord> &keeping, const QSet<QByteArray> &removing)
{
    if (!unchanged(record))
        return false;
    if (!keeping)
        return true;
    if (removing.contains(keeping->path) || keeping->path == record.path)
        return false;
    return unchanged(*keeping);
}

} // namespace TrashSafety
