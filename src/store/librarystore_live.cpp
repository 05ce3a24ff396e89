// Following the folders: the library saved last time shown at start, watched changes read again
// and applied as differences, and the checking scans that keep both honest.

#include "analysis/text/textindexer.h"
#include "store/backgroundjob.h"
#include "store/librarycatalog.h"
#include "store/librarystore.h"
#include "store/savedcatalog.h"

#include <QLocale>

namespace {

QByteArrayList standardized(const QByteArrayList &paths)
{
    QByteArrayList result;
    for (const QByteArray &path : paths)
        result.append(LibraryScanner::standardizedPath(path));
    return result;
}

} // namespace

// What reading part of the library again found, and, once merged with the files of revision
// `baseRevision`, the new files and their views.
struct LibraryStore::Found
{
    bool isCheck = false; // a checking scan of whole roots, not changed paths read again
    Check check = Check::later;
    bool complete = false; // every root was read
    RescanResult read;
    bool truncated = false; // the checking scan stopped at the limit
    std::optional<QList<LibraryWatcher::Root>> followed;

    quint64 baseRevision = 0;
    quint64 indexRevision = 0;
    LibraryDelta::Applied applied;
    std::shared_ptr<const LibraryCatalog> catalog;

    void merge(
        const QList<FileRecord> &base, const TextIndex &index, const LibraryCatalog *previous, std::stop_token stop)
    {
        applied = LibraryDelta::apply(base, read.cleared, read.files, LibraryScanner::kDefaultLimit);
        if (!applied.delta.isEmpty() && !stop.stop_requested())
            catalog = LibraryCatalog::build(applied.files, index, previous, stop);
    }
};

void LibraryStore::startWatching()
{
    m_watcher = new LibraryWatcher(m_setup.watcherOptions, this);
    connect(m_watcher, &LibraryWatcher::changed, this, &LibraryStore::noteChanges);
    connect(m_watcher, &LibraryWatcher::pendingChanged, this, &LibraryStore::updateUpdating);
    connect(m_watcher, &LibraryWatcher::rootsChanged, this, [this] { setFollowedRoots(m_watcher->roots()); });
    connect(m_watcher, &LibraryWatcher::overflowed, this, [this] {
        // Events were lost: one reading of everything tells what changed.
        if (readingFolders())
            m_checkAfterScan = true;
        else if (!m_roots.isEmpty())
            verify(m_roots, LibraryWatcher::Walk::all, Check::later);
    });
}

qsizetype LibraryStore::indexOf(const QByteArray &path) const
{
    if (catalogMatchesFiles())
        return m_catalog->indexOf(path);
    for (qsizetype i = 0; i < m_files.size(); ++i)
        if (m_files[i].path == path)
            return i;
    return -1;
}

std::optional<FileRecord> LibraryStore::file(const QByteArray &path) const
{
    const qsizetype at = indexOf(path);
    return at < 0 ? std::nullopt : std::optional(m_files[at]);
}

void LibraryStore::loadSavedLibrary()
{
    struct Loaded
    {
        std::optional<SavedCatalog::Contents> contents;
        std::shared_ptr<const LibraryCatalog> catalog;
    };
    setScanning(true);
    setStatus(QStringLiteral("Reading file metadata\u2026"));
    const QString file = m_setup.catalogFile;
    const QByteArrayList roots = m_roots;
    const TextIndex index = m_textIndex;
    const quint64 indexRevision = m_textIndexRevision;
    m_loadJob = startBackgroundJob<Loaded>(
        this, JobPriority::userInitiated,
        [file, roots, index](std::stop_token stop) {
            Loaded loaded;
            loaded.contents = SavedCatalog::load(file, roots);
            if (loaded.contents && !stop.stop_requested())
                loaded.catalog = LibraryCatalog::build(loaded.contents->files, index, nullptr, stop);
            return loaded;
        },
        [this, indexRevision](Loaded &&loaded) {
            m_loadJob.reset();
            startDeferredIndexLoad();
            if (!loaded.contents) {
                refresh();
                return;
            }
            replaceFiles(loaded.contents->files, std::nullopt);
            if (loaded.catalog)
                installCatalog(std::move(loaded.catalog), m_filesRevision, indexRevision);
            m_scanErrors = loaded.contents->errors;
            m_truncated = loaded.contents->truncated;
            checkShownFiles(LibraryWatcher::Walk::all);
            releaseInBackground(std::move(loaded));
        });
}

void LibraryStore::noteChanges(const QByteArrayList &paths)
{
    for (const QByteArray &path : paths)
        m_changedPaths.insert(path);
    // Changes noticed while a scan runs are read after it: the scan may have listed them before.
    if (!readingFolders() && !m_updateJob)
        startUpdate();
    updateUpdating();
}

void LibraryStore::startUpdate()
{
    if (m_roots.isEmpty())
        m_changedPaths.clear();
    if (m_changedPaths.isEmpty()) {
        updateUpdating();
        return;
    }
    const QByteArrayList paths(m_changedPaths.cbegin(), m_changedPaths.cend());
    m_changedPaths.clear();
    Found found;
    found.baseRevision = m_filesRevision;
    found.indexRevision = m_textIndexRevision;
    ScanOptions options;
    options.previous = m_files;
    const auto rescan = m_workers.rescan;
    const QByteArrayList roots = m_roots;
    const TextIndex index = m_textIndex;
    const std::shared_ptr<const LibraryCatalog> previous = m_catalog;
    m_updateJob = startBackgroundJob<Found>(
        this, JobPriority::userInitiated,
        [found, rescan, roots, paths, options, index, previous](std::stop_token stop) mutable {
            found.read = rescan(roots, paths, options, stop);
            if (!stop.stop_requested())
                found.merge(options.previous, index, previous.get(), stop);
            return found;
        },
        [this](Found &&done) { applyFound(std::move(done)); });
    updateUpdating();
}

void LibraryStore::checkShownFiles(LibraryWatcher::Walk walk)
{
    setChecking(true);
    setStatus(QLocale().toString(qint64(m_files.size())) + QStringLiteral(" files \u00b7 Being checked\u2026"));
    verify(m_roots, walk, Check::atStart);
}

ScanOptions LibraryStore::readingOptions() const
{
    ScanOptions options;
    if (!m_mediaFactsPending)
        options.previous = m_files;
    return options;
}

void LibraryStore::verify(const QByteArrayList &roots, LibraryWatcher::Walk walk, Check check)
{
    if (readingFolders())
        return;
    Found found;
    found.isCheck = true;
    found.check = check;
    found.complete = roots == m_roots;
    found.read.cleared = standardized(roots);
    found.baseRevision = m_filesRevision;
    found.indexRevision = m_textIndexRevision;
    const ScanOptions options = readingOptions();
    const QList<FileRecord> base = m_files;
    const auto scan = m_workers.scan;
    const QByteArrayList allRoots = m_roots;
    const TextIndex index = m_textIndex;
    const std::shared_ptr<const LibraryCatalog> previous = m_catalog;
    std::optional<LibraryWatcher::Follower> follower;
    if (m_watcher)
        follower = m_watcher->follower();
    m_verifyJob = startBackgroundJob<Found>(
        this, JobPriority::userInitiated,
        [found, scan, roots, allRoots, walk, options, base, index, previous, follower](std::stop_token stop) mutable {
            // Watched before they are listed, as for every scan.
            if (follower)
                found.followed = follower->follow(allRoots, walk, stop);
            const ScanResult result = scan(roots, options, stop);
            found.read.files = result.files;
            found.read.errors = result.errors;
            found.truncated = result.truncated;
            if (!stop.stop_requested())
                found.merge(base, index, previous.get(), stop);
            return found;
        },
        [this](Found &&done) { applyFound(std::move(done)); });
}

void LibraryStore::mergeFound(Found &&found)
{
    // The files changed since the reading started (another change, files moved to the Trash):
    // what was read is merged again with the files as they are now.
    found.baseRevision = m_filesRevision;
    found.indexRevision = m_textIndexRevision;
    found.applied = {};
    found.catalog.reset();
    const QList<FileRecord> files = m_files;
    const TextIndex index = m_textIndex;
    const std::shared_ptr<const LibraryCatalog> previous = m_catalog;
    std::shared_ptr<JobHandle> &slot = found.isCheck ? m_verifyJob : m_updateJob;
    slot = startBackgroundJob<Found>(
        this, JobPriority::userInitiated,
        [found = std::move(found), files, index, previous](std::stop_token stop) mutable {
            found.merge(files, index, previous.get(), stop);
            return found;
        },
        [this](Found &&merged) { applyFound(std::move(merged)); });
}

void LibraryStore::applyFound(Found &&found)
{
    (found.isCheck ? m_verifyJob : m_updateJob).reset();
    if (found.baseRevision != m_filesRevision) {
        mergeFound(std::move(found));
        return;
    }
    if (found.followed)
        setFollowedRoots(*found.followed);
    const LibraryDelta delta = found.applied.delta;
    if (!delta.isEmpty()) {
        replaceFiles(found.applied.files, delta);
        if (found.catalog)
            installCatalog(std::move(found.catalog), m_filesRevision, found.indexRevision);
        if (!m_selectedIDs.isEmpty() && !delta.removed.isEmpty()) {
            QSet<QByteArray> kept = m_selectedIDs;
            for (const QByteArray &path : delta.removed)
                kept.remove(path);
            setSelectedIDs(kept);
        }
        dropChangedGroups(delta);
        m_truncated = m_truncated || found.applied.truncated;
        scheduleSave();
    }
    if (found.isCheck) {
        m_scanErrors = found.read.errors;
        if (found.complete) {
            m_truncated = found.truncated || found.applied.truncated;
            m_sinceFullCheck.start();
        }
    } else if (m_truncated && !delta.removed.isEmpty()) {
        // A library held at its limit has room again: which files fill it, only a scan can tell.
        m_checkAfterScan = true;
    }
    if (found.isCheck && found.check == Check::atStart) {
        setChecking(false);
        setScanning(false);
        // Files listed without their media were never saved: they are now, even unchanged.
        const bool mediaRead = std::exchange(m_mediaFactsPending, false);
        if (!delta.isEmpty() || mediaRead)
            scheduleSave();
        indexText();
        setStatus(libraryStatus());
    } else if (found.isCheck || !delta.isEmpty()) {
        indexAfterChange(delta);
        setStatus(libraryStatus());
    }
    releaseInBackground(std::move(found));
    finishedReading();
}

void LibraryStore::finishedReading()
{
    if (readingFolders() || m_updateJob) {
        updateUpdating();
        return;
    }
    if (std::exchange(m_checkAfterScan, false) && !m_roots.isEmpty()) {
        verify(m_roots, LibraryWatcher::Walk::all, Check::later);
        return;
    }
    startUpdate();
}

void LibraryStore::dropChangedGroups(const LibraryDelta &delta)
{
    if (m_duplicates.isEmpty() && m_similarGroups.isEmpty())
        return;
    QSet<QByteArray> touched(delta.removed.cbegin(), delta.removed.cend());
    for (const FileRecord &file : delta.changed)
        touched.insert(file.path);
    if (touched.isEmpty())
        return;
    const auto stands = [&touched](const DuplicateGroup &group) {
        return std::none_of(group.files.cbegin(), group.files.cend(),
            [&touched](const FileRecord &file) { return touched.contains(file.path); });
    };
    QHash<QByteArray, QByteArray> keepers = m_keeperIDs;
    QList<DuplicateGroup> duplicates;
    for (const DuplicateGroup &group : std::as_const(m_duplicates)) {
        if (stands(group))
            duplicates.append(group);
        else
            keepers.remove(group.id());
    }
    QList<DuplicateGroup> similar;
    for (const DuplicateGroup &group : std::as_const(m_similarGroups))
        if (stands(group))
            similar.append(group);
    setDuplicates(duplicates);
    setKeeperIDs(keepers);
    setSimilarGroups(similar);
}

void LibraryStore::indexAfterChange(const LibraryDelta &delta)
{
    const auto candidate = [](const FileRecord &file) { return TextIndexer::isCandidate(file); };
    const bool relevant = std::any_of(delta.added.cbegin(), delta.added.cend(), candidate)
        || std::any_of(delta.changed.cbegin(), delta.changed.cend(), candidate)
        || std::any_of(delta.removed.cbegin(), delta.removed.cend(),
            [this](const QByteArray &path) { return m_textIndex.contains(path); });
    if (!relevant)
        return;
    // A run that is going on started from the older files: another follows it.
    if (m_indexJob || indexLoading())
        m_indexAgain = true;
    else
        m_indexTimer->start();
}

void LibraryStore::scheduleSave()
{
    if (m_setup.catalogFile.isEmpty() || m_isDemo || m_checking)
        return;
    m_saveTimer->start();
}

void LibraryStore::saveLibrary()
{
    if (m_saveJob) {
        m_saveAgain = true;
        return;
    }
    SavedCatalog::Contents contents { m_roots, m_files, m_scanErrors, m_truncated };
    const QString file = m_setup.catalogFile;
    // A catalogue that cannot be written costs only the quick start next time: no message.
    m_saveJob = startBackgroundJob<bool>(
        this, JobPriority::utility,
        [contents, file](std::stop_token) { return !SavedCatalog::save(file, contents).has_value(); },
        [this](bool) {
            m_saveJob.reset();
            if (std::exchange(m_saveAgain, false))
                saveLibrary();
        });
}

void LibraryStore::setFollowedRoots(const QList<LibraryWatcher::Root> &roots)
{
    assign(m_followedRoots, roots, &LibraryStore::followedRootsChanged);
}

void LibraryStore::setChecking(bool on)
{
    assign(m_checking, on, &LibraryStore::checkingChanged);
}

void LibraryStore::updateUpdating()
{
    const bool on = m_watcher && (m_watcher->isPending() || !m_changedPaths.isEmpty() || m_updateJob);
    assign(m_updating, on, &LibraryStore::updatingChanged);
}
