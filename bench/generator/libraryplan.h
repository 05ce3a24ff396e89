#pragma once

#include "generator/plannedfile.h"

#include <QList>

// The complete description of a generated library, made before any byte is written: every
// file's path, contents recipe, time, attributes and the facts it carries.
//
// `make` is a pure function of its arguments: the same seed and count give the same plan on
// every machine. Copies and look-alikes come after the file they are made from.
struct LibraryPlan
{
    QList<PlannedFile> files;
    QList<PlannedLink> links;

    // The fixed set of files every library holds (one of each kind of content, the download,
    // tag, duplicate, hidden and odd-name cases); a smaller count is refused.
    static constexpr int kMinimumListed = 44;
    // Every date is placed before this instant (2026-11-01T00:00:00Z), so the output does not
    // depend on the day it is made.
    static constexpr qint64 kReferenceUnixSeconds = 1'793'491'200;

    // `listed` is the number of records a scan of the library lists (hidden files and the
    // files inside bundles come on top). Returns an empty plan when `listed` is below
    // kMinimumListed.
    static LibraryPlan make(quint64 seed, int listed);

    int listedCount() const;
};
