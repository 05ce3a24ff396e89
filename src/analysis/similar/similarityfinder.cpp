#include "analysis/similar/similarityfinder.h"

#include "analysis/similar/featureprint.h"
#include "library/localfileaccess.h"
#include "platform/thumbnails/thumbnailstore.h"
#include "readers/contentreaders.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kSide = SimilarityFinder::kThumbnailSide;

// The desktop's cached thumbnail of the file, when it is current and at least as detailed as the
// image the print would otherwise be made from: a PNG of a few kilobytes instead of a full decode.
std::optional<QImage> cachedThumbnail(const FileRecord &record)
{
    QImage image = ThumbnailStore::find(record.path, record.modified, kSide);
    if (image.isNull() || std::max(image.width(), image.height()) < kSide)
        return std::nullopt;
    if (image.width() > kSide || image.height() > kSide)
        image = image.scaled(kSide, kSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

std::optional<FeaturePrint> printOf(const FileRecord &record, const std::stop_token &stop)
{
    if (!LocalFileAccess::canReadContents(record.path))
        return std::nullopt;
    // The thumbnail lives only in this scope, so memory does not grow with the image count.
    std::optional<QImage> thumbnail = cachedThumbnail(record);
    if (!thumbnail)
        thumbnail = ContentReaders::printImage(record.path, kSide, stop);
    if (!thumbnail)
        return std::nullopt;
    return FeaturePrint::make(*thumbnail);
}

int workerCount(int requested, qsizetype images)
{
    const int wanted = requested > 0 ? requested : std::min(QThread::idealThreadCount(), SimilarityFinder::kMaxWorkers);
    return int(std::clamp<qsizetype>(images, 1, std::max(wanted, 1)));
}

// The prints of `records`, made on `workers` threads and kept in the records' order, so the
// grouping that follows sees the same sequence whatever the number of threads. Absent entries
// are skipped images, and images never reached after a stop.
struct Prints
{
    std::vector<std::optional<FeaturePrint>> prints;
    int made = 0;
    int skipped = 0;
    bool stopped = false;
};

Prints makePrints(const QList<FileRecord> &records, int workers, const std::stop_token &stop)
{
    Prints result;
    result.prints.resize(size_t(records.size()));
    std::atomic<qsizetype> next = 0;
    std::atomic<int> made = 0;
    std::atomic<int> skipped = 0;
    std::atomic<bool> stopped = false;
    const auto work = [&] {
        for (qsizetype i = next++; i < records.size(); i = next++) {
            if (stop.stop_requested()) {
                stopped = true;
                return;
            }
            std::optional<FeaturePrint> print = printOf(records[i], stop);
            ++(print ? made : skipped);
            result.prints[size_t(i)] = std::move(print);
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < workerCount(workers, records.size()); ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
    result.made = made;
    result.skipped = skipped;
    result.stopped = stopped;
    return result;
}

} // namespace

SimilarityFinder::Candidates SimilarityFinder::candidates(const QList<FileRecord> &records, int limit)
{
    Candidates result;
    for (const FileRecord &record : records) {
        if (record.kind == FileKind::images && !record.isCloudOnly && !record.isPackage)
            result.records.append(record);
    }
    std::stable_sort(result.records.begin(), result.records.end(),
                     [](const FileRecord &a, const FileRecord &b) { return a.modified > b.modified; });
    const qsizetype kept = std::max(limit, 0);
    if (result.records.size() > kept) {
        result.records.resize(kept);
        result.limited = true;
    }
    return result;
}

QList<QList<qsizetype>> SimilarityFinder::group(qsizetype count, const Distance &distance, float threshold,
                                                std::stop_token stop)
{
    QList<QList<qsizetype>> groups;
    std::vector<bool> placed(size_t(std::max<qsizetype>(count, 0)), false);
    for (qsizetype i = 0; i < count; ++i) {
        if (placed[size_t(i)])
            continue;
        if (stop.stop_requested())
            break;
        QList<qsizetype> members{i};
        for (qsizetype j = i + 1; j < count; ++j) {
            if (placed[size_t(j)])
                continue;
            const std::optional<float> d = distance(i, j);
            if (d && *d <= threshold) {
                members.append(j);
                placed[size_t(j)] = true;
            }
        }
        if (members.size() >= 2)
            groups.append(members);
    }
    return groups;
}

SimilarityResult SimilarityFinder::find(const QList<FileRecord> &records, float threshold, int limit,
                                        std::stop_token stop, int workers)
{
    SimilarityResult result;
    const Candidates chosen = candidates(records, limit);
    result.limited = chosen.limited;

    Prints made = makePrints(chosen.records, workers, stop);
    result.scanned = made.made;
    result.skipped = made.skipped;
    if (made.stopped)
        return result;

    QList<FileRecord> printed;
    std::vector<FeaturePrint> prints;
    prints.reserve(size_t(made.made));
    for (qsizetype i = 0; i < chosen.records.size(); ++i) {
        if (made.prints[size_t(i)]) {
            prints.push_back(*made.prints[size_t(i)]);
            printed.append(chosen.records[i]);
        }
    }

    const auto distance = [&prints](qsizetype i, qsizetype j) -> std::optional<float> {
        return FeaturePrint::distance(prints[size_t(i)], prints[size_t(j)]);
    };
    for (const QList<qsizetype> &members : group(qsizetype(prints.size()), distance, threshold, stop)) {
        DuplicateGroup duplicateGroup;
        for (qsizetype index : members)
            duplicateGroup.files.append(printed[index]);
        result.groups.append(duplicateGroup);
    }
    return result;
}
