#pragma once

#include <QByteArray>
#include <QString>

// Renames that never replace an existing entry.
//
// rename(2) silently replaces a file that sits at the destination, even one that appeared a
// moment after the caller looked. These moves use renameat2(2) with RENAME_NOREPLACE, so the
// kernel refuses atomically instead. Where the file system does not support that flag, nothing
// is moved and `unsupported` is reported: there is no fallback that could overwrite.
namespace FileMove {

enum class Outcome { moved, destinationExists, unsupported, crossDevice, failed };

struct Result
{
    Outcome outcome = Outcome::failed;
    int error = 0; // errno of the failed call

    bool ok() const { return outcome == Outcome::moved; }
    // A sentence for an error line ("File exists", "No such file or directory", ...).
    QString description() const;
};

// Both names are relative to their open directory descriptors (or AT_FDCWD). Neither a final
// symbolic link of the source nor the destination is followed.
Result renameNoReplace(int fromDirectoryFd, const char *fromName, int toDirectoryFd, const char *toName);
Result renameNoReplace(const QByteArray &from, const QByteArray &to);

} // namespace FileMove
