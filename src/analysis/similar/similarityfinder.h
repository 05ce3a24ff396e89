#pragma once

#include "analysis/similar/similarityresult.h"
#include "library/filerecord.h"

#include <QList>

#include <functional>
#include <optional>
#include <stop_token>

// Groups images that look alike: re-encodes, resizes, small crops and edits, burst shots.
//
// A stateless worker: every function is synchronous, reads only and may run on any thread.
// `find` is slow (one decode and print per image, then pairwise distances); run it on a worker.
// It prints on a few threads of its own, each with its own decoder, and joins them before it
// returns; the result does not depend on their number. Once `stop` is requested it returns early
// and the caller must drop the result.
class SimilarityFinder
{
public:
    static constexpr float kDefaultThreshold = 0.35f;
    static constexpr int kDefaultLimit = 2000;

    // Prints the newest `limit` local images (kind images, not cloud-only, not packages) and
    // groups them: each image not yet in a group, newest first, anchors a group of every later
    // image not yet placed whose print lies within `threshold` of the anchor's (equal counts as
    // within). An image that cannot be read or decoded is counted in `skipped`. Cancellation is
    // observed before each image's print and before each anchor.
    //
    // An image whose thumbnail the desktop's shared cache holds for its current modification
    // time, at least kThumbnailSide pixels on its longest side, is printed from that thumbnail
    // instead of being decoded. `workers` is the number of printing threads, the calling one
    // included; 0 means one per core (at most kMaxWorkers).
    static SimilarityResult find(const QList<FileRecord> &records, float threshold = kDefaultThreshold,
                                 int limit = kDefaultLimit, std::stop_token stop = {}, int workers = 0);

    struct Candidates
    {
        QList<FileRecord> records; // newest first; equal dates keep their input order
        bool limited = false;      // there were more than `limit`
    };
    // The eligible records, newest first, at most `limit` of them.
    static Candidates candidates(const QList<FileRecord> &records, int limit);

    // Distance between the prints of items i and j (i < j); absent when it cannot be computed,
    // which counts as no match.
    using Distance = std::function<std::optional<float>(qsizetype i, qsizetype j)>;
    // The greedy anchor pass over `count` items in order: lists of indices, the anchor first,
    // each of two or more items, each item in at most one list.
    static QList<QList<qsizetype>> group(qsizetype count, const Distance &distance, float threshold,
                                         std::stop_token stop = {});

    // Longest side of the thumbnail an image is printed from.
    static constexpr int kThumbnailSide = 256;
    // Each worker holds one decoded image at a time; this bounds the memory of many cores.
    static constexpr int kMaxWorkers = 8;
};
