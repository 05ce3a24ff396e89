#pragma once

#include "library/filerecord.h"

#include <QList>

// Files whose contents are identical, ordered by path (byte order, which for UTF-8 is code-point
// order: "/B" before "/a"). The first file is the copy proposed for keeping. A plain value.
struct DuplicateGroup
{
    QList<FileRecord> files;

    // The first file's path; empty for an empty group.
    QByteArray id() const { return files.isEmpty() ? QByteArray() : files.first().path; }

    // Bytes freed by removing every file but the first.
    qint64 reclaimable() const
    {
        qint64 total = 0;
        for (qsizetype i = 1; i < files.size(); ++i)
            total += files[i].size;
        return total;
    }

    bool operator==(const DuplicateGroup &) const = default;
};
