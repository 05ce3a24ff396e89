// Reading changed paths again, with the rules of the full scan.

#include "library/libraryscanner.h"
#include "library/scanpipeline_p.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <fcntl.h>

namespace {

using ScanPipeline::openDirectory;

// The given paths, standardized, in tree order, without those inside another one.
QByteArrayList outermost(const QByteArrayList &paths)
{
    QByteArrayList sorted;
    sorted.reserve(paths.size());
    for (const QByteArray &path : paths)
        if (!path.isEmpty())
            sorted.append(LibraryScanner::standardizedPath(path));
    std::sort(sorted.begin(), sorted.end(), LibraryScanner::treeLess);
    QByteArrayList kept;
    for (const QByteArray &path : std::as_const(sorted)) {
        // In tree order everything inside a kept path follows it directly.
        if (!kept.isEmpty() && (kept.last() == path || LibraryScanner::isInside(path, kept.last())))
            continue;
        kept.append(path);
    }
    return kept;
}

// Finds what a changed path stands for now, walking down from its root the way the scan would.
class Resolver
{
public:
    Resolver(ScanPipeline::Walk &walk, RescanResult &result)
        : m_walk(walk)
        , m_result(result)
    { }

    // Returns false when the rescan must end (limit reached or cancelled).
    bool resolve(const QByteArray &root, const QByteArray &path)
    {
        UniqueFd folder = openDirectory(AT_FDCWD, root.constData(), true);
        if (!folder.isValid()) {
            clear(path);
            return true;
        }
        if (path == root)
            return walk(std::move(folder), path);
        QByteArray current = root;
        const QByteArrayList names = path.mid(root.endsWith('/') ? root.size() : root.size() + 1).split('/');
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QByteArray &name = names[i];
            const bool last = i == names.size() - 1;
            const QByteArray here = ScannerWalk::childPath(current, name);
            if (name.isEmpty() || ScannerWalk::isHidden(name, hiddenIn(folder.get(), current))) {
                clear(path);
                return true;
            }
            const std::optional<FileStatus> status = FileStatus::read(folder.get(), name.constData());
            if (!status || (!last && !status->isDirectory())) {
                clear(path);
                return true;
            }
            if (status->isSymbolicLink()) {
                ++m_result.skipped;
                clear(path);
                return true;
            }
            if (status->isDirectory() && ScannerWalk::isPackageName(name)) {
                // Whatever changed inside a package changes the package's one record.
                if (!claim(here))
                    return true;
                return m_walk.addFile(here, *status, true);
            }
            if (last) {
                if (status->isRegular())
                    return claim(here) ? m_walk.addFile(here, *status, false) : true;
                if (status->isDirectory()) {
                    UniqueFd child = openDirectory(folder.get(), name.constData(), false);
                    if (!child.isValid()) {
                        ++m_result.errors;
                        clear(path);
                        return true;
                    }
                    return walk(std::move(child), here);
                }
                clear(path);
                return true;
            }
            UniqueFd child = openDirectory(folder.get(), name.constData(), false);
            if (!child.isValid()) {
                clear(path);
                return true;
            }
            folder = std::move(child);
            current = here;
        }
        return true;
    }

private:
    void clear(const QByteArray &path) { claim(path); }

    // Marks `path` as read again; false when it was read already (a package met twice).
    bool claim(const QByteArray &path)
    {
        if (m_claimed.contains(path))
            return false;
        m_claimed.insert(path);
        m_result.cleared.append(path);
        return true;
    }

    bool walk(UniqueFd folder, const QByteArray &path)
    {
        if (!claim(path))
            return true;
        return m_walk.walkFolder(std::move(folder), path);
    }

    const QSet<QByteArray> &hiddenIn(int fd, const QByteArray &folder)
    {
        auto found = m_hidden.find(folder);
        if (found == m_hidden.end())
            found = m_hidden.insert(folder, ScannerWalk::hiddenNames(fd));
        return *found;
    }

    ScanPipeline::Walk &m_walk;
    RescanResult &m_result;
    QSet<QByteArray> m_claimed;
    QHash<QByteArray, QSet<QByteArray>> m_hidden; // the names each folder's ".hidden" lists
};

} // namespace

RescanResult LibraryScanner::rescan(
    const QByteArrayList &roots, const QByteArrayList &paths, const Options &options, std::stop_token stop)
{
    RescanResult result;
    QByteArrayList standardizedRoots;
    for (const QByteArray &root : roots)
        if (!root.isEmpty())
            standardizedRoots.append(standardizedPath(root));

    const QHash<QByteArray, const FileRecord *> previous = ScanPipeline::recordsByPath(options.previous);
    const MetadataReader reader = MetadataReader::load();
    ScanPipeline::RecordPipeline pipeline(
        reader, previous, options.readContentMetadata ? options.readContents : MediaContentsReader(), stop);
    ScanPipeline::Walk walk(options, pipeline, stop, false);
    Resolver resolver(walk, result);
    for (const QByteArray &path : outermost(paths)) {
        if (stop.stop_requested())
            break;
        const auto root = std::find_if(standardizedRoots.cbegin(), standardizedRoots.cend(),
            [&path](const QByteArray &r) { return r == path || isInside(path, r); });
        if (root == standardizedRoots.cend())
            continue;
        if (!resolver.resolve(*root, path))
            break;
    }
    result.files = pipeline.finish();
    result.skipped += walk.skipped;
    result.errors += walk.errors;
    return result;
}
