#include "analysis/filecontent.h"

#include "analysis/sha256.h"
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

} // namespace

namespace FileContent {

std::optional<QByteArray> digest(const QByteArray &path, Sha256 &sha, QByteArray &buffer, std::stop_token stop)
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

std::optional<QByteArray> sample(const QByteArray &path, qint64 size)
{
    ReadableFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    const qint64 head = std::min<qint64>(size, kSampleSize);
    const qint64 tail = std::min<qint64>(size - head, kSampleSize);
    QByteArray bytes(static_cast<qsizetype>(head + tail), Qt::Uninitialized);
    const qsizetype first = file.read(bytes.data(), head, 0);
    const qsizetype last = tail > 0 ? file.read(bytes.data() + head, tail, size - tail) : 0;
    if (first < 0 || last < 0)
        return std::nullopt;
    // A file that shrank since the scan reads short; its sample then differs in length.
    bytes.truncate(first == head ? head + last : first);
    return bytes;
}

std::optional<QList<QList<qsizetype>>> identicalGroups(
    const QByteArrayList &paths, qint64 size, std::vector<QByteArray> &buffers, std::stop_token stop)
{
    // Small files are read whole in one round; one byte more than expected tells a grown file.
    const qsizetype want = size < kChunkSize ? static_cast<qsizetype>(size) + 1 : kChunkSize;
    std::vector<std::unique_ptr<ReadableFile>> files;
    if (buffers.size() < static_cast<std::size_t>(paths.size()))
        buffers.resize(static_cast<std::size_t>(paths.size()));
    std::vector<qsizetype> filled(static_cast<std::size_t>(paths.size()), 0);
    std::vector<std::size_t> open;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        files.push_back(std::make_unique<ReadableFile>(paths[i]));
        if (files.back()->isOpen())
            open.push_back(static_cast<std::size_t>(i));
    }
    if (open.size() >= 2 && size >= kChunkSize) {
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
                buffers[i].resize(want);
                filled[i] = files[i]->read(buffers[i].data(), want);
                return filled[i] < 0;
            });
            if (stop.stop_requested())
                return std::nullopt;
            const auto less = [&](std::size_t a, std::size_t b) {
                if (filled[a] != filled[b])
                    return filled[a] < filled[b];
                return std::memcmp(buffers[a].constData(), buffers[b].constData(), static_cast<size_t>(filled[a])) < 0;
            };
            std::sort(candidates.begin(), candidates.end(), less);
            for (auto run = candidates.begin(); run != candidates.end();) {
                const auto end = std::find_if(run, candidates.end(), [&](std::size_t i) { return less(*run, i); });
                if (end - run >= 2) {
                    std::vector<std::size_t> same(run, end);
                    if (filled[*run] < want) { // every file of the run is at its end
                        std::sort(same.begin(), same.end());
                        groups.append(QList<qsizetype>(same.begin(), same.end()));
                    } else {
                        next.push_back(std::move(same));
                    }
                } else {
                    files[*run].reset(); // alone: close it now
                }
                run = end;
            }
        }
        active = std::move(next);
    }
    return groups;
}

} // namespace FileContent
