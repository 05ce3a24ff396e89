#include "library/libraryscanner.h"

#include "library/scanpipeline_p.h"

#include <QDir>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 kMaxHiddenFileSize = 1024 * 1024;

using ScanPipeline::openDirectory;

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
    return hasHiddenFile ? hiddenNames(directoryFd) : QSet<QByteArray>();
}

QSet<QByteArray> hiddenNames(int directoryFd)
{
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

    const QHash<QByteArray, const FileRecord *> previous = ScanPipeline::recordsByPath(options.previous);

    const MetadataReader reader = MetadataReader::load();
    ScanPipeline::RecordPipeline pipeline(
        reader, previous, options.readContentMetadata ? options.readContents : MediaContentsReader(), stop);
    ScanPipeline::Walk walk(options, pipeline, stop, rootsOverlap(standardized));
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

bool LibraryScanner::treeLess(QByteArrayView a, QByteArrayView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (a[i] == b[i])
            continue;
        const auto rank = [](char c) { return c == '/' ? 0 : int(uchar(c)) + 1; };
        return rank(a[i]) < rank(b[i]);
    }
    return a.size() < b.size();
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
