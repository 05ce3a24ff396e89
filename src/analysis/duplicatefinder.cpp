#include "analysis/duplicatefinder.h"

#include "analysis/filecontent.h"
#include "analysis/sha256.h"
#include "library/fileidentity.h"
#include "platform/storagelayout.h"

#include <QHash>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Files requested ahead of the readers: enough small requests to keep a device's queue full
// while a sample is read, fewer of the larger reads of whole files.
constexpr qsizetype kSampleLookahead = 64;
constexpr qsizetype kContentLookahead = 16;
// Bytes of one comparison requested ahead, shared by its files (each gets at least
// kMinPrefetchPerFile); the kernel's own read-ahead follows a file read from its start.
constexpr qint64 kPrefetchPerJob = 4 * 1024 * 1024;
constexpr qint64 kMinPrefetchPerFile = 128 * 1024;

// Files of one size whose contents may still be equal (indices into the records).
struct CandidateSet
{
    qint64 size = 0;
    QList<qsizetype> members;
};

// Scratch space of one reading thread, reused from file to file.
struct Worker
{
    Sha256 sha;
    QByteArray buffer;
    QByteArray arena;
};

// A bucket is split by the files' samples first unless a single side-by-side read of all its
// files settles it as cheaply: many files, or files longer than their sample.
bool worthSampling(const CandidateSet &bucket)
{
    return bucket.size > 2 * FileContent::kSampleSize || bucket.members.size() > FileContent::kMaxFilesSideBySide;
}

// Runs work(item, worker) for every item of every lane, each lane's items taken in order by its
// own readers; hint(item) is called for the items up to `lookahead` ahead of the readers, so that
// the device has the next reads queued while a reader waits for one or compares.
template <typename Work, typename Hint>
void runLanes(
    const std::vector<ReadLane> &lanes, qsizetype lookahead, const std::stop_token &stop, Work work, Hint hint)
{
    struct Progress
    {
        std::atomic<qsizetype> next = 0;
        std::atomic<qsizetype> hinted = 0;
    };
    const auto progress = std::make_unique<Progress[]>(lanes.size());
    const auto loop = [&](std::size_t l) {
        Worker worker;
        const std::vector<qsizetype> &items = lanes[l].items;
        const auto count = qsizetype(items.size());
        Progress &lane = progress[l];
        for (qsizetype j = lane.next++; j < count && !stop.stop_requested(); j = lane.next++) {
            const qsizetype until = std::min(count, j + 1 + lookahead);
            for (qsizetype h = lane.hinted.load(); h < until;) {
                if (lane.hinted.compare_exchange_weak(h, h + 1)) {
                    if (h > j) // the item read now needs no request ahead
                        hint(items[std::size_t(h)]);
                    ++h;
                }
            }
            work(items[std::size_t(j)], worker);
        }
    };
    std::vector<std::size_t> readers; // one entry per thread: the lane it reads
    for (std::size_t l = 0; l < lanes.size(); ++l)
        readers.insert(
            readers.end(), std::size_t(std::min<qsizetype>(lanes[l].readers, qsizetype(lanes[l].items.size()))), l);
    if (readers.empty())
        return;
    std::vector<std::thread> helpers;
    for (std::size_t r = 1; r < readers.size(); ++r)
        helpers.emplace_back(loop, readers[r]);
    loop(readers.front());
    for (std::thread &helper : helpers)
        helper.join();
}

FileLocation inodeLocation(const FileRecord &record)
{
    const auto parts = record.identity ? FileIdentity::parse(*record.identity) : std::nullopt;
    return parts ? FileLocation { parts->device, std::nullopt, quint64(parts->inode) } : FileLocation {};
}

std::vector<CandidateSet> sizeBuckets(const QList<FileRecord> &records)
{
    QHash<qint64, QList<qsizetype>> bySize;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const FileRecord &record = records[i];
        if (!record.isCloudOnly && !record.isPackage && record.size >= 1)
            bySize[record.size].append(i);
    }
    std::vector<CandidateSet> buckets;
    for (auto it = bySize.cbegin(); it != bySize.cend(); ++it) {
        if (it.value().size() >= 2)
            buckets.push_back({ it.key(), it.value() });
    }
    std::sort(
        buckets.begin(), buckets.end(), [](const CandidateSet &a, const CandidateSet &b) { return a.size > b.size; });
    return buckets;
}

// Splits the buckets worth sampling by the files' sample keys; sets of one are dropped. Files
// with equal contents always stay together; a rare key collision only leaves two different
// files in one set, which the full comparison then tells apart.
std::vector<CandidateSet> splitBySample(const QList<FileRecord> &records, std::vector<CandidateSet> buckets,
    const std::vector<FileLocation> &locations, const DuplicateFinder::Storage &storage, const std::stop_token &stop)
{
    std::vector<qsizetype> toSample;
    for (const CandidateSet &bucket : buckets) {
        if (worthSampling(bucket))
            toSample.insert(toSample.end(), bucket.members.cbegin(), bucket.members.cend());
    }
    std::vector<FileLocation> sampleLocations;
    for (const qsizetype index : toSample)
        sampleLocations.push_back(locations[std::size_t(index)]);
    std::vector<std::optional<quint64>> keys(static_cast<std::size_t>(records.size()));
    runLanes(
        ReadPlan::lanes(sampleLocations, storage.isRotational, storage.solidStateReaders), kSampleLookahead, stop,
        [&](qsizetype item, Worker &worker) {
            const FileRecord &record = records[toSample[std::size_t(item)]];
            keys[std::size_t(toSample[std::size_t(item)])]
                = FileContent::sampleKey(record.path, record.size, worker.buffer);
        },
        [&](qsizetype item) {
            const FileRecord &record = records[toSample[std::size_t(item)]];
            FileContent::prefetch(record.path, record.size, FileContent::kSampleSize, FileContent::kSampleSize);
        });

    std::vector<CandidateSet> sets;
    for (CandidateSet &bucket : buckets) {
        if (stop.stop_requested())
            break;
        if (!worthSampling(bucket)) {
            sets.push_back(std::move(bucket));
            continue;
        }
        QList<qsizetype> members;
        for (const qsizetype index : std::as_const(bucket.members)) {
            if (keys[static_cast<std::size_t>(index)])
                members.append(index);
        }
        const auto keyOf = [&](qsizetype index) { return *keys[static_cast<std::size_t>(index)]; };
        std::stable_sort(members.begin(), members.end(), [&](qsizetype a, qsizetype b) { return keyOf(a) < keyOf(b); });
        for (auto run = members.cbegin(); run != members.cend();) {
            const auto end = std::find_if(run, members.cend(), [&](qsizetype i) { return keyOf(i) != keyOf(*run); });
            if (end - run >= 2)
                sets.push_back({ bucket.size, QList<qsizetype>(run, end) });
            run = end;
        }
    }
    return sets;
}

DuplicateGroup makeGroup(const QList<FileRecord> &records, const QList<qsizetype> &members)
{
    DuplicateGroup group;
    for (const qsizetype index : members)
        group.files.append(records[index]);
    std::sort(group.files.begin(), group.files.end(),
        [](const FileRecord &a, const FileRecord &b) { return a.path < b.path; });
    return group;
}

} // namespace

std::optional<QString> DuplicateFinder::hash(const QByteArray &path, std::stop_token stop)
{
    Sha256 sha;
    QByteArray buffer;
    const std::optional<Sha256::Digest> digest = FileContent::digest(path, sha, buffer, std::move(stop));
    if (!digest)
        return std::nullopt;
    return Sha256::toHex(*digest);
}

DuplicateFinder::Storage DuplicateFinder::Storage::system()
{
    Storage storage;
    // Asked once per device; `locate` runs on one thread.
    auto rotating = std::make_shared<QHash<dev_t, std::optional<bool>>>();
    storage.isRotational = [rotating](dev_t device) {
        auto it = rotating->find(device);
        if (it == rotating->end())
            it = rotating->insert(device, StorageLayout::isRotational(device));
        return *it;
    };
    // Where the disk's head has to travel, the file's place on it orders the reads; elsewhere
    // the inode order does as well without opening every file first.
    storage.locate = [isRotational = storage.isRotational](const FileRecord &record) {
        FileLocation location = inodeLocation(record);
        if (record.identity && isRotational(location.device).value_or(false))
            location.offset = FileContent::diskOffset(record.path);
        return location;
    };
    storage.solidStateReaders = std::clamp(QThread::idealThreadCount(), 2, ReadPlan::kSolidStateReaders);
    return storage;
}

QList<DuplicateGroup> DuplicateFinder::find(const QList<FileRecord> &records, std::stop_token stop)
{
    return find(records, Storage::system(), std::move(stop));
}

QList<DuplicateGroup> DuplicateFinder::find(
    const QList<FileRecord> &records, const Storage &storage, std::stop_token stop)
{
    std::vector<CandidateSet> buckets = sizeBuckets(records);
    // Every file that may be read is located once, in inode order (which keeps the inodes the
    // file system consults close together).
    std::vector<qsizetype> candidates;
    for (const CandidateSet &bucket : buckets)
        candidates.insert(candidates.end(), bucket.members.cbegin(), bucket.members.cend());
    std::vector<FileLocation> locations(static_cast<std::size_t>(records.size()));
    for (const qsizetype index : candidates)
        locations[std::size_t(index)] = inodeLocation(records[index]);
    std::stable_sort(candidates.begin(), candidates.end(),
        [&](qsizetype a, qsizetype b) { return locations[std::size_t(a)].inode < locations[std::size_t(b)].inode; });
    for (const qsizetype index : candidates) {
        if (stop.stop_requested())
            return {};
        locations[std::size_t(index)] = storage.locate ? storage.locate(records[index]) : inodeLocation(records[index]);
    }

    const std::vector<CandidateSet> sets = splitBySample(records, std::move(buckets), locations, storage, stop);

    // A set that fits in memory side by side is compared directly (one job); the files of a
    // larger set are hashed one job each. Both give exactly the groups of equal digests.
    struct Job
    {
        std::size_t set;
        qsizetype member; // -1: the whole set side by side
    };
    const auto sideBySide
        = [&](const CandidateSet &set) { return set.members.size() <= FileContent::kMaxFilesSideBySide; };
    std::vector<Job> jobs;
    std::vector<FileLocation> jobLocations;
    for (std::size_t s = 0; s < sets.size(); ++s) {
        const QList<qsizetype> &members = sets[s].members;
        if (sideBySide(sets[s])) {
            jobs.push_back({ s, -1 });
            // The set is read where its first file lies.
            const auto first = std::min_element(members.cbegin(), members.cend(), [&](qsizetype a, qsizetype b) {
                return ReadPlan::readsBefore(locations[std::size_t(a)], locations[std::size_t(b)]);
            });
            jobLocations.push_back(locations[std::size_t(*first)]);
        } else {
            for (qsizetype m = 0; m < members.size(); ++m) {
                jobs.push_back({ s, m });
                jobLocations.push_back(locations[std::size_t(members[m])]);
            }
        }
    }

    std::vector<QList<QList<qsizetype>>> identical(sets.size());
    std::vector<std::vector<std::optional<Sha256::Digest>>> digests(sets.size());
    for (std::size_t s = 0; s < sets.size(); ++s) {
        if (!sideBySide(sets[s]))
            digests[s].resize(static_cast<std::size_t>(sets[s].members.size()));
    }

    runLanes(
        ReadPlan::lanes(jobLocations, storage.isRotational, storage.solidStateReaders), kContentLookahead, stop,
        [&](qsizetype j, Worker &worker) {
            const Job &job = jobs[static_cast<std::size_t>(j)];
            const CandidateSet &set = sets[job.set];
            if (job.member < 0) {
                QByteArrayList paths;
                for (const qsizetype index : set.members)
                    paths.append(records[index].path);
                identical[job.set] = FileContent::identicalGroups(paths, set.size, worker.arena, stop)
                                         .value_or(QList<QList<qsizetype>>());
            } else {
                digests[job.set][static_cast<std::size_t>(job.member)]
                    = FileContent::digest(records[set.members[job.member]].path, worker.sha, worker.buffer, stop);
            }
        },
        [&](qsizetype j) {
            const Job &job = jobs[static_cast<std::size_t>(j)];
            const CandidateSet &set = sets[job.set];
            const QList<qsizetype> members
                = job.member < 0 ? set.members : QList<qsizetype> { set.members[job.member] };
            const qint64 head = std::max(kPrefetchPerJob / members.size(), kMinPrefetchPerFile);
            for (const qsizetype index : members)
                FileContent::prefetch(records[index].path, set.size, head);
        });
    if (stop.stop_requested())
        return {};

    QList<DuplicateGroup> groups;
    for (std::size_t s = 0; s < sets.size(); ++s) {
        const QList<qsizetype> &members = sets[s].members;
        QList<QList<qsizetype>> same = identical[s];
        if (!sideBySide(sets[s])) {
            std::vector<std::pair<Sha256::Digest, qsizetype>> byDigest;
            for (qsizetype m = 0; m < members.size(); ++m) {
                if (const auto &digest = digests[s][static_cast<std::size_t>(m)])
                    byDigest.emplace_back(*digest, m);
            }
            std::sort(byDigest.begin(), byDigest.end());
            for (auto run = byDigest.cbegin(); run != byDigest.cend();) {
                const auto end
                    = std::find_if(run, byDigest.cend(), [&](const auto &entry) { return entry.first != run->first; });
                QList<qsizetype> positions;
                for (auto it = run; it != end; ++it)
                    positions.append(it->second);
                same.append(positions);
                run = end;
            }
        }
        for (const QList<qsizetype> &positions : std::as_const(same)) {
            if (positions.size() < 2)
                continue;
            QList<qsizetype> indices;
            for (const qsizetype position : positions)
                indices.append(members[position]);
            groups.append(makeGroup(records, indices));
        }
    }
    std::sort(groups.begin(), groups.end(), [](const DuplicateGroup &a, const DuplicateGroup &b) {
        if (a.reclaimable() != b.reclaimable())
            return a.reclaimable() > b.reclaimable();
        if (a.files.first().size != b.files.first().size)
            return a.files.first().size > b.files.first().size;
        return a.id() < b.id();
    });
    return groups;
}
