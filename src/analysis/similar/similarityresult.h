#pragma once

#include "analysis/duplicategroup.h"

#include <QList>

// What one look-alike comparison returns. A plain value.
struct SimilarityResult
{
    // Each group holds two or more images: its anchor (the newest of them) first, then its
    // look-alikes newest first; groups in the order they were formed.
    QList<DuplicateGroup> groups;
    int scanned = 0;      // images for which a feature print was made
    int skipped = 0;      // images within the limit for which none could be made
    bool limited = false; // more eligible images than the limit: the oldest were not compared

    bool operator==(const SimilarityResult &) const = default;
};
