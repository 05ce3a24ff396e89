#include "analysis/similar/similarityfinder.h"

#include "analysis/similar/featureprint.h"
#include "analysis/similar/thumbnailloader.h"
#include "library/localfileaccess.h"

#include <algorithm>
#include <vector>

namespace {

std::optional<FeaturePrint> printOf(const FileRecord &record)
{
    if (!LocalFileAccess::canReadContents(record.path))
        return std::nullopt;
    // The thumbnail lives only in this scope, so memory does not grow with the image count.
    const std::optional<QImage> thumbnail = ThumbnailLoader::load(record.path, SimilarityFinder::kThumbnailSide);
    if (!thumbnail)
        return std::nullopt;
    return FeaturePrint::make(*thumbnail);
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
                                        std::stop_token stop)
{
    SimilarityResult result;
    Candidates chosen = candidates(records, limit);
    result.limited = chosen.limited;

    QList<FileRecord> printed;
    std::vector<FeaturePrint> prints;
    prints.reserve(size_t(chosen.records.size()));
    for (const FileRecord &record : std::as_const(chosen.records)) {
        if (stop.stop_requested()) {
            result.scanned = int(prints.size());
            return result;
        }
        if (std::optional<FeaturePrint> print = printOf(record)) {
            prints.push_back(*print);
            printed.append(record);
        } else {
            ++result.skipped;
        }
    }
    result.scanned = int(prints.size());

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
