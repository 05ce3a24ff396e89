#include "generator/librarywriter.h"

#include "generator/archivecontent.h"
#include "generator/documentcontent.h"
#include "generator/imagecontent.h"
#include "generator/installercontent.h"
#include "generator/mediacontent.h"
#include "generator/officecontent.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QByteArray &path, const char *what)
{
    throw std::runtime_error(path.toStdString() + ": " + what + ": " + std::strerror(errno));
}

void makeFolder(const QByteArray &path)
{
    if (::mkdir(path.constData(), 0755) != 0 && errno != EEXIST)
        fail(path, "cannot make the folder");
}

void writeFile(const QByteArray &path, const QByteArray &data, unsigned mode)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0)
        fail(path, "cannot create");
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, static_cast<size_t>(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            fail(path, "cannot write");
        }
        written += n;
    }
    if (::close(fd) != 0)
        fail(path, "cannot write");
}

// By the path's bytes: QFile would need a name that is valid UTF-8.
QByteArray readFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        fail(path, "cannot open");
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            fail(path, "cannot read");
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

void setTime(const QByteArray &path, Timestamp time, bool isLink = false)
{
    const timespec times[2]
        = { { time.unixSeconds(), time.nanoseconds() }, { time.unixSeconds(), time.nanoseconds() } };
    if (::utimensat(AT_FDCWD, path.constData(), times, isLink ? AT_SYMLINK_NOFOLLOW : 0) != 0)
        fail(path, "cannot set the time");
}

bool isEmptyFolder(const QByteArray &path)
{
    DIR *dir = ::opendir(path.constData());
    if (dir == nullptr)
        return false;
    bool empty = true;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

class Run
{
public:
    Run(const LibraryPlan &plan, const QByteArray &root, const MediaTemplates &media)
        : m_plan(plan)
        , m_root(root)
        , m_media(media)
    { }

    QByteArray absolute(const QByteArray &relative) const { return m_root + '/' + relative; }

    // Sets an attribute; false when the file system refuses user attributes altogether.
    bool setAttribute(const QByteArray &path, const char *name, const QByteArray &value)
    {
        if (value.isEmpty())
            return true;
        if (::setxattr(path.constData(), name, value.constData(), static_cast<size_t>(value.size()), 0) == 0)
            return true;
        if (errno == ENOTSUP || errno == EPERM) {
            m_attributesRefused = true;
            return false;
        }
        fail(path, "cannot set an extended attribute");
    }

    // Writes one planned file (a whole folder for a bundle); returns the bytes written.
    qint64 writeOne(const PlannedFile &file)
    {
        const QByteArray path = absolute(file.path);
        qint64 bytes = 0;
        if (file.content == Content::bundle) {
            makeFolder(path);
            for (const ArchiveContent::BundleFile &part : ArchiveContent::bundle(file)) {
                const QByteArray partPath = path + '/' + part.path;
                for (qsizetype slash = part.path.indexOf('/'); slash >= 0; slash = part.path.indexOf('/', slash + 1))
                    makeFolder(path + '/' + part.path.left(slash));
                writeFile(partPath, part.data, part.mode);
                setTime(partPath, file.modified);
                bytes += part.data.size();
                ++m_unlisted;
            }
            return bytes;
        }
        const QByteArray data = contents(file);
        writeFile(path, data, file.content == Content::appImage ? 0755 : 0644);
        setAttribute(path, "user.xdg.origin.url", file.originUrl);
        setAttribute(path, "user.xdg.referrer.url", file.referrerUrl);
        setAttribute(path, "user.xdg.tags", file.tags);
        setTime(path, file.modified);
        return data.size();
    }

    QByteArray contents(const PlannedFile &file)
    {
        switch (file.content) {
        case Content::photo:
        case Content::photoResized:
        case Content::photoRecompressed:
        case Content::photoBrightened:
        case Content::screenshot:
        case Content::drawing:
        case Content::gif:
        case Content::webp:
            return ImageContent::make(file, file.origin >= 0 ? &m_plan.files.at(file.origin) : nullptr);
        case Content::textPdf:
        case Content::scannedPdf:
        case Content::plainText:
        case Content::markdown:
        case Content::csv:
        case Content::json:
            return DocumentContent::make(file);
        case Content::docx:
        case Content::xlsx:
        case Content::odt:
            return OfficeContent::make(file);
        case Content::wav:
        case Content::mp3:
        case Content::ogg:
        case Content::m4a:
        case Content::flac:
        case Content::mp4:
        case Content::mkv:
        case Content::webm:
        case Content::mov:
            return MediaContent::make(file, m_media);
        case Content::zip:
        case Content::tarGz:
        case Content::data:
            return ArchiveContent::make(file);
        case Content::deb:
        case Content::rpm:
        case Content::dmg:
        case Content::appImage:
        case Content::flatpakRef:
            return InstallerContent::make(file);
        case Content::verbatim:
            return file.text;
        case Content::copy:
            return readFile(absolute(m_plan.files.at(file.origin).path));
        case Content::bundle:
            break;
        }
        throw std::logic_error("unknown content");
    }

    // Runs `writeOne` over the files for which `select` holds, on `jobs` threads.
    void writeAll(int jobs, bool (*select)(const PlannedFile &))
    {
        std::atomic<qsizetype> next = 0;
        const auto work = [&] {
            for (qsizetype i = next++; i < m_plan.files.size() && !m_failed; i = next++) {
                const PlannedFile &file = m_plan.files.at(i);
                if (!select(file))
                    continue;
                try {
                    m_bytes += writeOne(file);
                } catch (const std::exception &error) {
                    const std::lock_guard lock(m_mutex);
                    if (!m_failed.exchange(true))
                        m_failure = error.what();
                }
            }
        };
        std::vector<std::thread> threads;
        for (int i = 0; i < std::max(1, jobs); ++i)
            threads.emplace_back(work);
        for (std::thread &t : threads)
            t.join();
        if (m_failed)
            throw std::runtime_error(m_failure);
    }

    std::atomic<qint64> m_bytes = 0;
    std::atomic<int> m_unlisted = 0;
    std::atomic<bool> m_attributesRefused = false;

private:
    const LibraryPlan &m_plan;
    const QByteArray m_root;
    const MediaTemplates &m_media;
    std::atomic<bool> m_failed = false;
    std::mutex m_mutex;
    std::string m_failure;
};

// Every folder of the tree, each with the newest time of anything inside it.
QHash<QByteArray, Timestamp> folderTimes(const LibraryPlan &plan)
{
    QHash<QByteArray, Timestamp> times;
    const auto touch = [&times](const QByteArray &path, Timestamp time, qsizetype from) {
        for (qsizetype slash = path.indexOf('/', from); slash >= 0; slash = path.indexOf('/', slash + 1)) {
            Timestamp &t = times[path.left(slash)];
            t = std::max(t, time);
        }
    };
    for (const PlannedFile &file : plan.files) {
        touch(file.path, file.modified, 0);
        if (file.content == Content::bundle) {
            for (const ArchiveContent::BundleFile &part : ArchiveContent::bundle(file))
                touch(file.path + '/' + part.path, file.modified, file.path.size());
        }
    }
    for (const PlannedLink &link : plan.links)
        touch(link.path, link.modified, 0);
    return times;
}

} // namespace

LibraryWriter::Summary LibraryWriter::write(const LibraryPlan &plan, const QByteArray &root, const Options &options)
{
    for (qsizetype slash = root.indexOf('/', 1); slash > 0; slash = root.indexOf('/', slash + 1))
        ::mkdir(root.left(slash).constData(), 0755); // missing parents; failures show below
    if (::mkdir(root.constData(), 0755) != 0) {
        if (errno != EEXIST)
            fail(root, "cannot make the folder");
        if (!isEmptyFolder(root))
            throw std::runtime_error(root.toStdString() + ": not an empty folder; nothing was written");
    }
    const MediaTemplates media = MediaTemplates::make(plan.files, options.jobs, options.ffmpeg);

    const QHash<QByteArray, Timestamp> folders = folderTimes(plan);
    QByteArrayList sorted = folders.keys();
    std::sort(sorted.begin(), sorted.end()); // parents before children
    Run run(plan, root, media);
    for (const QByteArray &folder : std::as_const(sorted))
        makeFolder(run.absolute(folder));

    run.writeAll(options.jobs, [](const PlannedFile &f) { return f.content != Content::copy; });
    run.writeAll(options.jobs, [](const PlannedFile &f) { return f.content == Content::copy; });

    Summary summary;
    for (const PlannedLink &link : plan.links) {
        const QByteArray path = run.absolute(link.path);
        if (::symlink(link.target.constData(), path.constData()) != 0)
            fail(path, "cannot make the link");
        setTime(path, link.modified, true);
        ++summary.links;
    }
    // Last, because making anything inside a folder changes its time.
    for (auto it = folders.cbegin(); it != folders.cend(); ++it)
        setTime(run.absolute(it.key()), it.value());

    summary.listed = plan.listedCount();
    summary.unlisted = run.m_unlisted + static_cast<int>(plan.files.size()) - summary.listed;
    summary.bytes = run.m_bytes;
    summary.attributesRefused = run.m_attributesRefused;
    return summary;
}
