#pragma once

#include "library/filerecord.h"

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
