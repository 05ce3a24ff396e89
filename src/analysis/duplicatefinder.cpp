#include "analysis/duplicatefinder.h"

#include "analysis/filecontent.h"
#include "analysis/sha256.h"
#include "library/fileidentity.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// This many threads read at once, whatever the number of cores. On a cold disk each spends most
// of its time waiting for its reads, and four keep the disk's queue full where two leave it
// half idle; on a warm page cache the threads beyond the cores only take turns.
constexpr int kReaders = 4;

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

// The inode number of the scan's "dev:ino" identity; reading in inode order keeps a cold disk's
// head moving forward on most file systems.
quint64 inodeOf(const FileRecord &record)
{
    const auto parts = record.identity ? FileIdentity::parse(*record.identity) : std::nullopt;
    return parts ? quint64(parts->inode) : 0;
}

// Runs work(job, worker) for every job in [0, count) on a few threads.
template <typename Work> void forEachJob(qsizetype count, const std::stop_token &stop, Work work)
{
    std::atomic<qsizetype> next = 0;
    const auto loop = [&] {
        Worker worker;
        for (qsizetype job = next++; job < count && !stop.stop_requested(); job = next++)
            work(job, worker);
    };
    const int threads = static_cast<int>(std::min<qsizetype>(kReaders, count));
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back(loop);
    loop();
    for (std::thread &helper : helpers)
        helper.join();
}

// Indices sorted by inode, to read files in that order.
std::vector<qsizetype> inInodeOrder(std::vector<qsizetype> order, const std::vector<quint64> &inodes)
{
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return inodes[a] < inodes[b]; });
    return order;
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
    const std::vector<quint64> &inodes, const std::stop_token &stop)
{
    std::vector<qsizetype> toSample;
    for (const CandidateSet &bucket : buckets) {
        if (worthSampling(bucket))
            toSample.insert(toSample.end(), bucket.members.cbegin(), bucket.members.cend());
    }
    toSample = inInodeOrder(std::move(toSample), inodes);
    std::vector<std::optional<quint64>> keys(static_cast<std::size_t>(records.size()));
    forEachJob(static_cast<qsizetype>(toSample.size()), stop, [&](qsizetype job, Worker &worker) {
        const qsizetype index = toSample[static_cast<std::size_t>(job)];
        keys[static_cast<std::size_t>(index)]
            = FileContent::sampleKey(records[index].path, records[index].size, worker.buffer);
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

QList<DuplicateGroup> DuplicateFinder::find(const QList<FileRecord> &records, std::stop_token stop)
{
    std::vector<quint64> inodes;
    inodes.reserve(static_cast<std::size_t>(records.size()));
    for (const FileRecord &record : records)
        inodes.push_back(inodeOf(record));

    const std::vector<CandidateSet> sets = splitBySample(records, sizeBuckets(records), inodes, stop);

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
    for (std::size_t s = 0; s < sets.size(); ++s) {
        if (sideBySide(sets[s])) {
            jobs.push_back({ s, -1 });
        } else {
            for (qsizetype m = 0; m < sets[s].members.size(); ++m)
                jobs.push_back({ s, m });
        }
    }
    const auto firstIndex = [&](const Job &job) { return sets[job.set].members[std::max<qsizetype>(job.member, 0)]; };
    std::stable_sort(jobs.begin(), jobs.end(), [&](const Job &a, const Job &b) {
        return inodes[static_cast<std::size_t>(firstIndex(a))] < inodes[static_cast<std::size_t>(firstIndex(b))];
    });

    std::vector<QList<QList<qsizetype>>> identical(sets.size());
    std::vector<std::vector<std::optional<Sha256::Digest>>> digests(sets.size());
    for (std::size_t s = 0; s < sets.size(); ++s) {
        if (!sideBySide(sets[s]))
            digests[s].resize(static_cast<std::size_t>(sets[s].members.size()));
    }

    forEachJob(static_cast<qsizetype>(jobs.size()), stop, [&](qsizetype j, Worker &worker) {
        const Job &job = jobs[static_cast<std::size_t>(j)];
        const CandidateSet &set = sets[job.set];
        if (job.member < 0) {
            QByteArrayList paths;
            for (const qsizetype index : set.members)
                paths.append(records[index].path);
            identical[job.set]
                = FileContent::identicalGroups(paths, set.size, worker.arena, stop).value_or(QList<QList<qsizetype>>());
        } else {
            digests[job.set][static_cast<std::size_t>(job.member)]
                = FileContent::digest(records[set.members[job.member]].path, worker.sha, worker.buffer, stop);
        }
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
