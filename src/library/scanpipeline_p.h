#pragma once

// The directory walk and the record pipeline shared by the full scan and the rescan of changed
// paths. Private to the library.

#include "library/fileidentity.h"
#include "library/libraryscanner.h"
#include "library/libraryscanner_p.h"
#include "library/metadatareader.h"
#include "platform/filestatus.h"
#include "platform/uniquefd.h"

#include <QHash>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>

namespace ScanPipeline {

constexpr qsizetype kChunkSize = 256;

inline UniqueFd openDirectory(int parentFd, const char *name, bool followLink)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    return UniqueFd(::openat(parentFd, name, flags));
}

// The records of the last scan by path, for reusing what has not changed.
inline QHash<QByteArray, const FileRecord *> recordsByPath(const QList<FileRecord> &records)
{
    QHash<QByteArray, const FileRecord *> byPath;
    byPath.reserve(records.size());
    for (const FileRecord &record : records)
        byPath.insert(record.path, &record);
    return byPath;
}

// A file found by the walk, waiting for its record.
struct FoundFile
{
    QByteArray path;
    FileStatus status;
    bool isPackage = false;
};

// Turns found files into records on worker threads while the walk goes on. Files are handed
// over in chunks; each chunk's records land in the chunk's own slot, so the output keeps the
// order of discovery whatever thread made them.
class RecordPipeline
{
public:
    RecordPipeline(const MetadataReader &reader, const QHash<QByteArray, const FileRecord *> &previous,
        MediaContentsReader readContents, std::stop_token stop)
        : m_reader(reader)
        , m_previous(previous)
        , m_readContents(std::move(readContents))
        , m_stop(std::move(stop))
    {
        const int workers = std::max(1, QThread::idealThreadCount());
        for (int i = 0; i < workers; ++i)
            m_workers.emplace_back([this] { work(); });
    }

    ~RecordPipeline() { finish(); }

    void add(FoundFile file)
    {
        m_pending.push_back(std::move(file));
        if (static_cast<qsizetype>(m_pending.size()) >= kChunkSize)
            flush();
    }

    // Waits for every record and returns them in discovery order. Under cancellation only
    // the complete prefix is returned.
    QList<FileRecord> finish()
    {
        flush();
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_wake.notify_all();
        for (std::thread &worker : m_workers) {
            if (worker.joinable())
                worker.join();
        }
        QList<FileRecord> files;
        qsizetype total = 0;
        for (const Chunk &chunk : m_chunks)
            total += static_cast<qsizetype>(chunk.records.size());
        files.reserve(total);
        for (Chunk &chunk : m_chunks) {
            if (!chunk.done)
                break;
            for (FileRecord &record : chunk.records)
                files.append(std::move(record));
            chunk.records = {};
        }
        m_chunks.clear();
        return files;
    }

private:
    struct Chunk
    {
        std::vector<FoundFile> found;
        std::vector<FileRecord> records;
        bool done = false;
    };

    void flush()
    {
        if (m_pending.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_chunks.push_back(Chunk { std::move(m_pending), {}, false });
        }
        m_pending = {};
        m_wake.notify_one();
    }

    void work()
    {
        for (;;) {
            Chunk *chunk = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_next < m_chunks.size() || m_closed; });
                if (m_next >= m_chunks.size())
                    return;
                // std::deque keeps chunk addresses stable while the walk appends.
                chunk = &m_chunks[m_next++];
            }
            std::vector<FileRecord> records;
            records.reserve(chunk->found.size());
            std::vector<std::size_t> unread;
            bool complete = true;
            for (const FoundFile &file : chunk->found) {
                if (m_stop.stop_requested()) {
                    complete = false;
                    break;
                }
                bool needsContents = false;
                records.push_back(makeRecord(file, &needsContents));
                if (needsContents)
                    unread.push_back(records.size() - 1);
            }
            if (complete && !unread.empty())
                readContents(records, unread);
            std::lock_guard lock(m_mutex);
            chunk->records = std::move(records);
            chunk->done = complete;
            // The found entries are no longer needed: freeing them now lowers the scan's peak.
            chunk->found = {};
        }
    }

    // The chunk's images, videos and music read in one batch.
    void readContents(std::vector<FileRecord> &records, const std::vector<std::size_t> &unread) const
    {
        QList<std::pair<QByteArray, FileKind>> files;
        files.reserve(qsizetype(unread.size()));
        for (const std::size_t i : unread)
            files.append({ records[i].path, records[i].kind });
        const QList<MediaFacts> facts = m_readContents(files, m_stop);
        for (qsizetype k = 0; k < facts.size() && k < qsizetype(unread.size()); ++k) {
            FileRecord &record = records[unread[std::size_t(k)]];
            record.camera = facts[k].camera;
            record.dimensions = facts[k].dimensions;
            record.duration = facts[k].duration;
        }
    }

    FileRecord makeRecord(const FoundFile &file, bool *needsContents) const
    {
        const MetadataReader::Attributes attributes = m_reader.readAttributes(file.path);

        FileRecord record;
        record.path = file.path;
        // A cloud placeholder is shown as the file it stands for.
        const auto target = attributes.cloud.isCloudOnly ? LocalFileAccess::placeholderTarget(file.path) : std::nullopt;
        record.kind = FileKind::classify(QByteArrayView(target.value_or(file.path)));
        if (file.isPackage)
            record.size = LibraryScanner::packageSize(file.path, m_stop);
        else
            record.size = attributes.cloud.logicalSize.value_or(file.status.size);
        record.modified = file.status.modified;
        record.created = file.status.created.value_or(Timestamp::distantPast());
        record.isCloudOnly = attributes.cloud.isCloudOnly;
        record.isPackage = file.isPackage;
        record.source = attributes.source;
        record.identity = FileIdentity::fingerprint(file.status.device, file.status.inode);
        // Linux records no date of addition to a folder: the creation date stands in.
        record.added = file.status.created;
        record.lastUsed = m_reader.lastUsed(file.path);
        record.tags = attributes.tags;

        if (const FileRecord *earlier = m_previous.value(file.path);
            earlier != nullptr && isUnchanged(*earlier, record)) {
            record.camera = earlier->camera;
            record.dimensions = earlier->dimensions;
            record.duration = earlier->duration;
        } else {
            *needsContents = m_readContents && !record.isCloudOnly && !record.isPackage
                && (record.kind == FileKind::images || record.kind == FileKind::videos
                    || record.kind == FileKind::music);
        }
        return record;
    }

    static bool isUnchanged(const FileRecord &earlier, const FileRecord &now)
    {
        return earlier.identity == now.identity && earlier.size == now.size && earlier.modified == now.modified
            && earlier.created == now.created && earlier.isCloudOnly == now.isCloudOnly;
    }

    const MetadataReader &m_reader;
    const QHash<QByteArray, const FileRecord *> &m_previous;
    const MediaContentsReader m_readContents;
    std::stop_token m_stop;

    std::vector<FoundFile> m_pending; // walk thread only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Chunk> m_chunks;
    std::size_t m_next = 0;
    bool m_closed = false;
    std::vector<std::thread> m_workers;
};

// One depth-first walk over the roots, in the file system's order.
class Walk
{
public:
    Walk(const LibraryScanner::Options &options, RecordPipeline &pipeline, std::stop_token stop, bool rootsOverlap)
        : m_limit(options.limit)
        , m_pipeline(pipeline)
        , m_stop(std::move(stop))
        , m_trackSeen(rootsOverlap)
    { }

    int skipped = 0;
    int errors = 0;
    bool truncated = false;
    bool stopped = false;

    // Returns false when the scan must end (limit reached or cancelled).
    bool walkRoot(const QByteArray &root)
    {
        // The same root again, or one inside a root walked whole already, adds nothing.
        if (m_trackSeen && m_seen.contains(root))
            return true;
        UniqueFd fd = openDirectory(AT_FDCWD, root.constData(), true);
        if (!fd.isValid()) {
            ++errors;
            return true;
        }
        if (m_trackSeen)
            m_seen.insert(root);
        return walkFolder(std::move(fd), root);
    }

    // Walks the open folder `fd` found at `folder` (its own name is not checked). Returns false
    // when the scan must end.
    bool walkFolder(UniqueFd fd, const QByteArray &folder)
    {
        std::vector<Frame> stack;
        stack.push_back(Frame { std::move(fd), folder, {}, 0, {} });
        if (!list(stack.back()))
            ++errors;

        while (!stack.empty()) {
            Frame &frame = stack.back();
            if (frame.next >= frame.entries.size()) {
                stack.pop_back();
                continue;
            }
            if (m_stop.stop_requested()) {
                stopped = true;
                return false;
            }
            const DirectoryReader::Entry &entry = frame.entries[frame.next++];
            if (ScannerWalk::isHidden(entry.name, frame.hidden))
                continue;
            QByteArray path = ScannerWalk::childPath(frame.path, entry.name);
            if (m_trackSeen) {
                // A folder met again was walked whole already: nothing in it can be new.
                if (m_seen.contains(path))
                    continue;
                m_seen.insert(path);
            }

            DirectoryReader::EntryType type = entry.type;
            std::optional<FileStatus> status;
            const bool package = type != DirectoryReader::EntryType::regular && ScannerWalk::isPackageName(entry.name);
            if (type == DirectoryReader::EntryType::unknown || type == DirectoryReader::EntryType::regular || package) {
                status = FileStatus::read(frame.fd.get(), entry.name.constData());
                if (!status) {
                    ++errors;
                    continue;
                }
                type = typeOf(*status);
            }

            switch (type) {
            case DirectoryReader::EntryType::symbolicLink:
                ++skipped;
                break;
            case DirectoryReader::EntryType::directory:
                if (ScannerWalk::isPackageName(entry.name)) {
                    if (!status)
                        status = FileStatus::read(frame.fd.get(), entry.name.constData());
                    if (!status) {
                        ++errors;
                        break;
                    }
                    if (!addFile(std::move(path), *status, true))
                        return false;
                } else {
                    UniqueFd child = openDirectory(frame.fd.get(), entry.name.constData(), false);
                    if (!child.isValid()) {
                        ++errors;
                        break;
                    }
                    Frame next { std::move(child), std::move(path), {}, 0, {} };
                    if (!list(next))
                        ++errors;
                    stack.push_back(std::move(next)); // invalidates `frame` and `entry`
                }
                break;
            case DirectoryReader::EntryType::regular:
                if (!addFile(std::move(path), *status, false))
                    return false;
                break;
            case DirectoryReader::EntryType::other:
            case DirectoryReader::EntryType::unknown:
                break;
            }
        }
        return true;
    }

    // Hands one file or package to the pipeline; false when the limit is reached.
    bool addFile(QByteArray path, const FileStatus &status, bool isPackage)
    {
        m_pipeline.add(FoundFile { std::move(path), status, isPackage });
        if (++m_count >= m_limit) {
            truncated = true;
            return false;
        }
        return true;
    }

private:
    struct Frame
    {
        UniqueFd fd;
        QByteArray path;
        std::vector<DirectoryReader::Entry> entries;
        std::size_t next = 0;
        QSet<QByteArray> hidden;
    };

    static DirectoryReader::EntryType typeOf(const FileStatus &status)
    {
        switch (status.type) {
        case FileStatus::Type::regular:
            return DirectoryReader::EntryType::regular;
        case FileStatus::Type::directory:
            return DirectoryReader::EntryType::directory;
        case FileStatus::Type::symbolicLink:
            return DirectoryReader::EntryType::symbolicLink;
        case FileStatus::Type::other:
            break;
        }
        return DirectoryReader::EntryType::other;
    }

    static bool list(Frame &frame)
    {
        const bool complete = DirectoryReader::readAll(frame.fd.get(), frame.entries);
        frame.hidden = ScannerWalk::hiddenNames(frame.fd.get(), frame.entries);
        return complete;
    }

    const int m_limit;
    RecordPipeline &m_pipeline;
    std::stop_token m_stop;
    const bool m_trackSeen;
    QSet<QByteArray> m_seen;
    int m_count = 0;
};

} // namespace ScanPipeline
