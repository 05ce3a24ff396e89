#pragma once

#include "library/filerecord.h"

#include <QByteArrayList>
#include <QList>

// What one scan of the chosen folders returns. The default value is the empty result.
struct ScanResult
{
    QList<FileRecord> files;  // in discovery order
    int skipped = 0;          // symbolic links met and not followed
    int errors = 0;           // roots, folders and items the system refused to read
    bool truncated = false;   // the file limit was reached

    bool operator==(const ScanResult &) const = default;
};

// What reading some paths of the library again found. For each path of `cleared`, the records
// at that path and below it are now those of `files` there (none when nothing is there any more).
struct RescanResult
{
    QByteArrayList cleared;
    QList<FileRecord> files; // in discovery order
    int skipped = 0;
    int errors = 0;
};
