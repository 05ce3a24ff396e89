#pragma once

#include "library/filerecord.h"

#include <QByteArrayList>
#include <QHash>
#include <QList>

// How the library's files changed from one list to the next, told by path, so that views can
// update the rows concerned and keep their selection, scroll position and open sections.
struct LibraryDelta
{
    QByteArrayList removed; // paths that left the library
    QList<FileRecord> added; // records that joined it, in the order they were appended
    QList<FileRecord> changed; // records whose values changed, as they are now

    bool isEmpty() const { return removed.isEmpty() && added.isEmpty() && changed.isEmpty(); }
    bool operator==(const LibraryDelta &) const = default;

    struct Applied;

    // Applies what reading some paths again found (see RescanResult): the records at or below
    // each path of `cleared` are replaced by those of `found`. Records that stay keep their
    // places; new ones are appended in the order found while the list holds fewer than `limit`.
    static Applied apply(
        const QList<FileRecord> &files, const QByteArrayList &cleared, const QList<FileRecord> &found, qsizetype limit);

    // The change from `before` to `after`; `positions` indexes `before` by path (made here when
    // null).
    static LibraryDelta between(const QList<FileRecord> &before, const QList<FileRecord> &after,
        const QHash<QByteArray, qsizetype> *positions = nullptr);
};

// A file list with a change applied, and the change.
struct LibraryDelta::Applied
{
    QList<FileRecord> files;
    LibraryDelta delta;
    bool truncated = false; // records that would have joined were left out at the limit
};
