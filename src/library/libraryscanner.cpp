#include "library/libraryscanner.h"

#include "library/fileidentity.h"
#include "library/libraryscanner_p.h"
#include "library/metadatareader.h"
#include "platform/filestatus.h"
#include "platform/uniquefd.h"

#include <QDir>
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

namespace {

constexpr qsizetype kChunkSize = 256;
constexpr qint64 kMaxHiddenFileSize = 1024 * 1024;


UniqueFd openDirectory(int parentFd, const char *name, bool followLink)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    return UniqueFd(::openat(parentFd, name, flags));
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
        : m_reader(reader), m_previous(previous), m_readContents(std::move(readContents)), m_stop(std::move(stop))
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
            m_chunks.push_back(Chunk{std::move(m_pending), {}, false});
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

        if (const FileRecord *earlier = m_previous.value(file.path); earlier != nullptr && isUnchanged(*earlier, record)) {
            record.camera = earlier->camera;
            record.dimensions = earlier->dimensions;
            record.duration = earlier->duration;
        } else {
            *needsContents = m_readContents && !record.isCloudOnly && !record.isPackage
                && (record.kind == FileKind::images || record.kind == FileKind::videos || record.kind == FileKind::music);
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
        : m_limit(options.limit), m_pipeline(pipeline), m_stop(std::move(stop)), m_trackSeen(rootsOverlap)
    {
    }

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
        std::vector<Frame> stack;
        stack.push_back(Frame{std::move(fd), root, {}, 0, {}});
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
                    Frame next{std::move(child), std::move(path), {}, 0, {}};
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

    bool addFile(QByteArray path, const FileStatus &status, bool isPackage)
    {
        m_pipeline.add(FoundFile{std::move(path), status, isPackage});
        if (++m_count >= m_limit) {
            truncated = true;
            return false;
        }
        return true;
    }

    const int m_limit;
    RecordPipeline &m_pipeline;
    std::stop_token m_stop;
    const bool m_trackSeen;
    QSet<QByteArray> m_seen;
    int m_count = 0;
};

// Whether one root lies inside (or is) another, so that paths can be met twice.
bool rootsOverlap(const QByteArrayList &roots)
{
    for (qsizetype i = 0; i < roots.size(); ++i) {
        for (qsizetype j = 0; j < roots.size(); ++j) {
            if (i == j)
                continue;
            const QByteArray &a = roots[i];
            const QByteArray &b = roots[j];
            if (a == b || LibraryScanner::isInside(b, a))
                return true;
        }
    }
    return false;
}

} // namespace

namespace ScannerWalk {

QSet<QByteArray> hiddenNames(int directoryFd, const std::vector<DirectoryReader::Entry> &entries)
{
    const bool hasHiddenFile = std::any_of(entries.begin(), entries.end(), [](const DirectoryReader::Entry &e) {
        return e.name == ".hidden";
    });
    if (!hasHiddenFile)
        return {};
    const int fd = ::openat(directoryFd, ".hidden", O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return {};
    QByteArray contents;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0 || contents.size() + n > kMaxHiddenFileSize)
            break;
        contents.append(buffer, n);
    }
    ::close(fd);
    QSet<QByteArray> names;
    for (const QByteArray &line : contents.split('\n')) {
        if (!line.isEmpty())
            names.insert(line);
    }
    return names;
}

bool isPackageName(const QByteArray &name)
{
    return name.size() > 4 && name.right(4).toLower() == ".app";
}

} // namespace ScannerWalk

ScanResult LibraryScanner::scan(const QByteArrayList &roots, const Options &options, std::stop_token stop)
{
    ScanResult result;
    if (options.limit <= 0) {
        result.truncated = true;
        return result;
    }
    QByteArrayList standardized;
    standardized.reserve(roots.size());
    for (const QByteArray &root : roots)
        standardized.append(standardizedPath(root));

    QHash<QByteArray, const FileRecord *> previous;
    previous.reserve(options.previous.size());
    for (const FileRecord &record : options.previous)
        previous.insert(record.path, &record);

    const MetadataReader reader = MetadataReader::load();
    RecordPipeline pipeline(reader, previous,
        options.readContentMetadata ? options.readContents : MediaContentsReader(), stop);
    Walk walk(options, pipeline, stop, rootsOverlap(standardized));
    for (const QByteArray &root : standardized) {
        if (stop.stop_requested() || !walk.walkRoot(root))
            break;
    }
    result.files = pipeline.finish();
    result.skipped = walk.skipped;
    result.errors = walk.errors;
    result.truncated = walk.truncated;
    return result;
}

qint64 LibraryScanner::packageSize(const QByteArray &path, std::stop_token stop)
{
    struct Level
    {
        UniqueFd fd;
        std::vector<DirectoryReader::Entry> entries;
        QSet<QByteArray> hidden;
        std::size_t next = 0;
    };
    UniqueFd root = openDirectory(AT_FDCWD, path.constData(), false);
    if (!root.isValid())
        return 0;
    qint64 total = 0;
    std::vector<Level> stack;
    stack.push_back(Level{std::move(root), {}, {}, 0});
    DirectoryReader::readAll(stack.back().fd.get(), stack.back().entries);
    stack.back().hidden = ScannerWalk::hiddenNames(stack.back().fd.get(), stack.back().entries);

    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next >= level.entries.size()) {
            stack.pop_back();
            continue;
        }
        if (stop.stop_requested())
            return total;
        const DirectoryReader::Entry &entry = level.entries[level.next++];
        if (ScannerWalk::isHidden(entry.name, level.hidden))
            continue;
        const auto status = FileStatus::read(level.fd.get(), entry.name.constData());
        if (!status)
            continue;
        if (status->isRegular()) {
            total += status->size;
        } else if (status->isDirectory()) {
            UniqueFd child = openDirectory(level.fd.get(), entry.name.constData(), false);
            if (!child.isValid())
                continue;
            Level next{std::move(child), {}, {}, 0};
            DirectoryReader::readAll(next.fd.get(), next.entries);
            next.hidden = ScannerWalk::hiddenNames(next.fd.get(), next.entries);
            stack.push_back(std::move(next));
        }
    }
    return total;
}

bool LibraryScanner::isInside(const QByteArray &path, const QByteArray &folder)
{
    if (folder.endsWith('/'))
        return path.size() > folder.size() && path.startsWith(folder);
    return path.size() > folder.size() + 1 && path.startsWith(folder) && path[folder.size()] == '/';
}

QByteArray LibraryScanner::standardizedPath(const QByteArray &path)
{
    // An empty path names no folder; resolving it against the working directory would scan
    // a folder nobody chose.
    if (path.isEmpty())
        return path;
    QByteArray absolute = path;
    if (!absolute.startsWith('/'))
        absolute = QFile::encodeName(QDir::currentPath()) + '/' + absolute;
    QByteArrayList parts;
    for (const QByteArray &part : absolute.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}
