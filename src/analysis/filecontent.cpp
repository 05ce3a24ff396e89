#include "analysis/filecontent.h"

#include "library/localfileaccess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// A file opened for reading, closed (errors ignored) on every path out.
class ReadableFile
{
public:
    explicit ReadableFile(const QByteArray &path)
    {
        if (!LocalFileAccess::canReadContents(path))
            return;
        // O_NONBLOCK: should a FIFO take the file's place after the check, open must not hang.
        m_fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st = {};
        if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ReadableFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadableFile(const ReadableFile &) = delete;
    ReadableFile &operator=(const ReadableFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    void adviseSequential() const { ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL); }

    // Reads until `size` bytes or the end of the file; -1 on a read error.
    qsizetype read(char *data, qsizetype size, std::optional<qint64> offset = std::nullopt) const
    {
        qsizetype filled = 0;
        while (filled < size) {
            const auto want = static_cast<size_t>(size - filled);
            const ssize_t n
                = offset ? ::pread(m_fd, data + filled, want, *offset + filled) : ::read(m_fd, data + filled, want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            filled += n;
        }
        return filled;
    }

private:
    int m_fd = -1;
};

// A fast 64-bit mix of bytes, not meant to resist anyone: a collision only costs a comparison.
quint64 quickHash(const char *data, std::size_t size)
{
    quint64 h = 0x9E3779B97F4A7C15ULL ^ size;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
    }
    quint64 rest = 0;
    std::memcpy(&rest, data + i, size - i);
    h = (h ^ rest) * 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 29);
}

} // namespace

namespace FileContent {

std::optional<Sha256::Digest> digest(const QByteArray &path, Sha256 &sha, QByteArray &buffer, std::stop_token stop)
{
    ReadableFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    sha.reset();
    if (stop.stop_requested())
        return std::nullopt;
    file.adviseSequential();
    buffer.resize(kChunkSize);
    for (;;) {
        const qsizetype n = file.read(buffer.data(), kChunkSize);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        sha.update(buffer.constData(), static_cast<std::size_t>(n));
        if (stop.stop_requested())
            return std::nullopt;
        if (n < kChunkSize) // read() went on to the end of the file
            break;
    }
    return sha.finish();
}

std::optional<quint64> sampleKey(const QByteArray &path, qint64 size, QByteArray &buffer)
{
    ReadableFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    const qint64 head = std::min<qint64>(size, kSampleSize);
    const qint64 tail = std::min<qint64>(size - head, kSampleSize);
    buffer.resize(static_cast<qsizetype>(head + tail));
    const qsizetype first = file.read(buffer.data(), head, 0);
    const qsizetype last = tail > 0 ? file.read(buffer.data() + head, tail, size - tail) : 0;
    if (first < 0 || last < 0)
        return std::nullopt;
    // A file that shrank since the scan reads short; the length then enters the key.
    const qsizetype length = first == head ? head + last : first;
    return quickHash(buffer.constData(), static_cast<std::size_t>(length));
}

std::optional<QList<QList<qsizetype>>> identicalGroups(
    const QByteArrayList &paths, qint64 size, QByteArray &arena, std::stop_token stop)
{
    // Small files are read whole in one round; one byte more than expected tells a grown file.
    const qsizetype chunk = std::clamp<qsizetype>(
        kSideBySideBytes / std::max<qsizetype>(paths.size(), 1), kSideBySideBytes / kMaxFilesSideBySide, kChunkSize);
    const qsizetype want = size < chunk ? static_cast<qsizetype>(size) + 1 : chunk;
    std::vector<std::unique_ptr<ReadableFile>> files;
    // One chunk per file, side by side in one allocation that every call reuses (larger only
    // for a caller that passes more than kMaxFilesSideBySide files).
    arena.resize(std::max<qsizetype>(kSideBySideBytes, paths.size() * want));
    const auto chunkOf = [&](std::size_t i) { return arena.data() + static_cast<qsizetype>(i) * want; };
    std::vector<qsizetype> filled(static_cast<std::size_t>(paths.size()), 0);
    std::vector<std::size_t> open;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        files.push_back(std::make_unique<ReadableFile>(paths[i]));
        if (files.back()->isOpen())
            open.push_back(static_cast<std::size_t>(i));
    }
    if (open.size() >= 2 && size >= chunk) {
        for (const std::size_t i : open)
            files[i]->adviseSequential();
    }

    QList<QList<qsizetype>> groups;
    std::vector<std::vector<std::size_t>> active { open };
    while (!active.empty()) {
        std::vector<std::vector<std::size_t>> next;
        for (std::vector<std::size_t> &candidates : active) {
            if (candidates.size() < 2)
                continue;
            std::erase_if(candidates, [&](std::size_t i) {
                filled[i] = files[i]->read(chunkOf(i), want);
                return filled[i] < 0;
            });
            if (stop.stop_requested())
                return std::nullopt;
            // Each chunk is compared with the first chunk of each class of its length found so far.
            // Copies form one class, so equal chunks are compared once; files that differ here
            // cost a comparison with each other class, on chunks that shrink as files multiply.
            std::stable_sort(candidates.begin(), candidates.end(),
                [&](std::size_t a, std::size_t b) { return filled[a] < filled[b]; });
            for (auto run = candidates.begin(); run != candidates.end();) {
                const auto end
                    = std::find_if(run, candidates.end(), [&](std::size_t i) { return filled[i] != filled[*run]; });
                std::vector<std::vector<std::size_t>> classes;
                for (auto it = run; it != end; ++it) {
                    const auto same = std::find_if(
                        classes.begin(), classes.end(), [&](const std::vector<std::size_t> &c) {
                            return std::memcmp(chunkOf(c.front()), chunkOf(*it), static_cast<size_t>(filled[*it])) == 0;
                        });
                    if (same == classes.end())
                        classes.push_back({ *it });
                    else
                        same->push_back(*it);
                }
                for (std::vector<std::size_t> &same : classes) {
                    if (same.size() < 2) {
                        files[same.front()].reset(); // alone: close it now
                    } else if (filled[same.front()] < want) { // every file of the class is at its end
                        std::sort(same.begin(), same.end());
                        groups.append(QList<qsizetype>(same.begin(), same.end()));
                    } else {
                        next.push_back(std::move(same));
                    }
                }
                run = end;
            }
        }
        active = std::move(next);
    }
    return groups;
}

} // namespace FileContent
