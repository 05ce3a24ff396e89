#include "store/librarystore.h"

#include "store/audioplayer.h"
#include "store/backgroundjob.h"
#include "store/librarycatalog.h"
#include "store/librarysettings.h"
#include "store/savedcatalog.h"

#include <QCoreApplication>
#include <QLocale>

#include <tuple>

namespace {

const QString kNoFolderStatus = QStringLiteral("Choose a folder to make yourself at home.");
constexpr qint64 kRulesIntervalSeconds = 86'400;
// Changed documents and images are indexed once the changes have settled.
constexpr int kIndexDelayMs = 5000;

} // namespace

struct LibraryStore::ScanOutcome
{
    ScanResult result;
    std::shared_ptr<const LibraryCatalog> catalog;
    LibraryDelta delta;
    std::optional<QList<LibraryWatcher::Root>> followed;
    bool withoutMediaFacts = false;
};

LibraryStore::LibraryStore(const Setup &setup, QObject *parent)
    : QObject(parent)
    , m_setup(setup)
    , m_workers(setup.workers)
    , m_settings(std::make_unique<LibrarySettings>(setup.settingsFile))
    , m_audioPlayerFactory(AudioPlayer::mediaPlayerFactory())
{
    m_tileSize = m_settings->tileSize();
    m_menuBarEnabled = m_settings->menuBarEnabled();
    m_appearance = m_settings->appearance();
    m_autoRefresh = m_settings->autoRefresh();
    m_autoInstallers = m_settings->autoInstallers();
    m_autoScreenshots = m_settings->autoScreenshots();
    m_pinnedPaths = m_settings->pinnedPaths();
    m_lastRuleRun = m_settings->lastRuleRun();
    m_minimal = m_settings->minimal();
    m_indexOnBattery = m_settings->indexOnBattery();
    m_savedSearches = m_settings->savedSearches();
    m_hotKeyCode = m_settings->hotKeyCode();
    m_hotKeyMods = m_settings->hotKeyMods();
    m_hotKeyLabel = m_settings->hotKeyLabel();
    m_sourceFilter = QStringLiteral("All sources");
    m_indexStatus = QStringLiteral("Text indexing has not run yet.");
    m_similarStatus = QStringLiteral("Compare locally stored images on this computer.");
    m_rulesStatus = QStringLiteral("Automatic rules are off until you enable them.");
    m_status = kNoFolderStatus;
    m_sort = QStringLiteral("Newest");
    m_isDemo = setup.arguments.contains(QStringLiteral("--demo"));
    for (auto [timer, interval, action] :
        { std::tuple { &m_saveTimer, int(setup.saveDelay.count()), &LibraryStore::saveLibrary },
            std::tuple { &m_indexTimer, kIndexDelayMs, &LibraryStore::indexText } }) {
        *timer = new QTimer(this);
        (*timer)->setSingleShot(true);
        (*timer)->setInterval(interval);
        connect(*timer, &QTimer::timeout, this, action);
    }

    if (setup.watches)
        startWatching();
    if (setup.restoresFolders) {
        restoreRoots();
        m_serviceTimer = new QTimer(this);
        m_serviceTimer->setInterval(kServiceIntervalMs);
        connect(m_serviceTimer, &QTimer::timeout, this, &LibraryStore::serviceTick);
        m_serviceTimer->start();
        if (QCoreApplication::instance() != nullptr)
            connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &LibraryStore::finishJobsBeforeQuit);
    }
    if (setup.watchesPower)
        watchPowerSource();
}

LibraryStore::~LibraryStore()
{
    for (std::shared_ptr<JobHandle> *job : { &m_scanJob, &m_duplicateJob, &m_indexJob, &m_similarJob, &m_ruleJob,
             &m_textJob, &m_catalogJob, &m_indexLoadJob, &m_loadJob, &m_verifyJob, &m_updateJob, &m_saveJob })
        cancelJob(*job);
}

LibraryStore &LibraryStore::shared()
{
    // Lives as long as the process: every window and service holds on to it.
    static LibraryStore *const instance = [] {
        Setup setup;
        setup.restoresFolders = true;
        setup.watchesPower = true;
        setup.arguments = QCoreApplication::arguments();
        setup.watches = true;
        setup.catalogFile = SavedCatalog::defaultFile();
        return new LibraryStore(setup);
    }();
    return *instance;
}

void LibraryStore::setFolderChooser(FolderChooser chooser)
{
    m_folderChooser = std::move(chooser);
}

void LibraryStore::setAudioPlayerFactory(AudioPlayerFactory factory)
{
    m_audioPlayerFactory = std::move(factory);
}

// --- Roots and scans -------------------------------------------------------------------------

void LibraryStore::restoreRoots()
{
    // The roots are known at once; reading the index and scanning start when the event loop
    // runs, so they do not compete with building and showing the window. With a saved library
    // the index is read after it: on two cores the two would each take about twice as long, and
    // the saved library is what the window shows first.
    const bool savedLibrary = !m_isDemo && !m_setup.catalogFile.isEmpty();
    if (savedLibrary)
        m_indexLoadDeferred = true;
    else
        QTimer::singleShot(0, this, &LibraryStore::loadTextIndexInBackground);
    const QByteArray demoPath = qgetenv("TESSARY_DEMO_PATH");
    if (m_isDemo && qEnvironmentVariableIsSet("TESSARY_DEMO_PATH")) {
        setRoots({ LibraryScanner::standardizedPath(demoPath) });
        QTimer::singleShot(0, this, &LibraryStore::refresh);
        return;
    }
    QByteArrayList restored;
    for (const QByteArray &path : m_settings->folderBookmarks()) {
        // A stored path that is not absolute does not resolve to a folder.
        if (path.startsWith('/'))
            restored.append(path);
    }
    setRoots(restored);
    if (m_roots.isEmpty()) {
        startDeferredIndexLoad();
        return;
    }
    persistRoots();
    // The library saved last time is read at once, beside the building of the window; a scan
    // then checks it. Without one, the scan starts when the event loop runs.
    if (!m_setup.catalogFile.isEmpty())
        loadSavedLibrary();
    else
        QTimer::singleShot(0, this, &LibraryStore::refresh);
}

void LibraryStore::persistRoots()
{
    if (m_isDemo)
        return;
    reportSettingsFailure(m_settings->setFolderBookmarks(m_roots));
}

void LibraryStore::reportSettingsFailure(bool written)
{
    if (!written)
        setError(QStringLiteral("Tessary could not save its settings: ") + m_settings->lastError());
}

void LibraryStore::setRoots(const QByteArrayList &roots)
{
    assign(m_roots, roots, &LibraryStore::rootsChanged);
}

void LibraryStore::chooseFolder()
{
    if (!m_folderChooser)
        return;
    const std::optional<QByteArrayList> chosen
        = m_folderChooser(QStringLiteral("Choose folders for Tessary to index. Your files stay on this computer."),
            QStringLiteral("Add to library"));
    if (!chosen)
        return;
    addFolders(*chosen);
}

void LibraryStore::addFolders(const QByteArrayList &paths)
{
    QByteArrayList roots = m_roots;
    for (const QByteArray &chosen : paths) {
        const QByteArray path = LibraryScanner::standardizedPath(chosen);
        if (path.isEmpty())
            continue;
        const bool covered = std::any_of(roots.cbegin(), roots.cend(), [&path](const QByteArray &root) {
            const QByteArray standardized = LibraryScanner::standardizedPath(root);
            return standardized == path || LibraryScanner::isInside(path, standardized);
        });
        if (covered)
            continue;
        roots.removeIf([&path](const QByteArray &root) {
            return LibraryScanner::isInside(LibraryScanner::standardizedPath(root), path);
        });
        roots.append(path);
    }
    setRoots(roots);
    persistRoots();
    refresh();
}

void LibraryStore::removeRoot(const QByteArray &root)
{
    cancelJob(m_ruleJob);
    setRulesRunning(false);
    QByteArrayList roots = m_roots;
    roots.removeAll(root);
    setRoots(roots);
    persistRoots();
    refresh();
    navigate(Destination::home());
}

void LibraryStore::cancelScanBoundWork()
{
    cancelJob(m_scanJob);
    cancelJob(m_duplicateJob);
    cancelJob(m_indexJob);
    cancelJob(m_similarJob);
    // A scan of everything reads what the checks and the pending changes would.
    cancelJob(m_loadJob);
    startDeferredIndexLoad();
    cancelJob(m_verifyJob);
    cancelJob(m_updateJob);
    m_changedPaths.clear();
    m_checkAfterScan = false;
}

void LibraryStore::refresh()
{
    cancelScanBoundWork();
    updateUpdating();
    setIndexing(false);
    setSimilarScanning(false);
    const quint64 generation = ++m_generation;
    setScanning(true);
    setCheckingDuplicates(false);
    setDuplicates({});
    setSimilarGroups({});
    setKeeperIDs({});
    setDuplicatesChecked(false);
    setStatus(QStringLiteral("Reading file metadata\u2026"));

    // With nothing shown yet, the files are listed without opening their images, videos and
    // music, shown, and then checked by a scan that opens them: opening them takes most of a
    // first scan, and far longer on a busy machine, where the readers wait for idle processors.
    const bool withoutMediaFacts = m_files.isEmpty() && !m_roots.isEmpty();
    ScanOptions options = readingOptions();
    options.readContentMetadata = !withoutMediaFacts;
    const QList<FileRecord> base = m_files;
    const auto scan = m_workers.scan;
    const QByteArrayList roots = m_roots;
    const TextIndex index = m_textIndex;
    const quint64 indexRevision = m_textIndexRevision;
    const std::shared_ptr<const LibraryCatalog> previous = m_catalog;
    const bool previousMatches = catalogMatchesFiles();
    std::optional<LibraryWatcher::Follower> follower;
    if (m_watcher)
        follower = m_watcher->follower();
    m_scanJob = startBackgroundJob<ScanOutcome>(
        this, JobPriority::userInitiated,
        [scan, roots, options, base, withoutMediaFacts, index, previous, previousMatches, follower](
            std::stop_token stop) {
            ScanOutcome outcome;
            outcome.withoutMediaFacts = withoutMediaFacts;
            // The folders are watched before they are listed, so no change falls between.
            if (follower)
                outcome.followed = follower->follow(roots, LibraryWatcher::Walk::all, stop);
            outcome.result = scan(roots, options, stop);
            // The views' search texts and orders are prepared here too, so that applying the
            // result on the main thread is only a matter of swapping lists.
            if (!stop.stop_requested()) {
                outcome.catalog = LibraryCatalog::build(outcome.result.files, index, previous.get(), stop);
                outcome.delta = LibraryDelta::between(
                    base, outcome.result.files, previous && previousMatches ? &previous->positions() : nullptr);
            }
            return outcome;
        },
        [this, generation, indexRevision](ScanOutcome &&outcome) {
            if (generation != m_generation)
                return;
            applyScan(std::move(outcome), indexRevision);
        });
}

void LibraryStore::applyScan(ScanOutcome &&outcome, quint64 indexRevision)
{
    m_scanJob.reset();
    const ScanResult &result = outcome.result;
    replaceFiles(result.files, std::move(outcome.delta));
    // Built for these files; when the index changed meanwhile its texts are stale, and the views
    // take only its orders and facts until the catalogue for the new index is ready.
    if (outcome.catalog)
        installCatalog(std::move(outcome.catalog), m_filesRevision, indexRevision);
    if (outcome.followed)
        setFollowedRoots(*outcome.followed);
    m_scanErrors = result.errors;
    m_truncated = result.truncated;
    m_sinceFullCheck.start();

    QSet<QByteArray> kept;
    if (!m_selectedIDs.isEmpty()) {
        for (const FileRecord &file : m_files)
            if (m_selectedIDs.contains(file.path))
                kept.insert(file.path);
    }
    setSelectedIDs(kept);

    m_mediaFactsPending = outcome.withoutMediaFacts;
    if (m_mediaFactsPending) {
        // Shown as listed, the scan going on as a check that opens the media; the index and the
        // saved library wait for it. The listing has just watched every folder.
        checkShownFiles(LibraryWatcher::Walk::unfollowed);
        releaseInBackground(std::move(outcome));
        return;
    }
    setChecking(false);
    setScanning(false);
    indexText();
    setStatus(libraryStatus());
    scheduleSave();
    finishedReading();
    releaseInBackground(std::move(outcome));
}

QString LibraryStore::libraryStatus() const
{
    if (m_roots.isEmpty())
        return kNoFolderStatus;
    QString status = QLocale().toString(qint64(m_files.size())) + QStringLiteral(" files \u00b7 Updated just now");
    if (m_scanErrors > 0)
        status += QStringLiteral(" \u00b7 ") + QString::number(m_scanErrors)
            + QStringLiteral(" inaccessible locations/items");
    if (m_truncated)
        status += QStringLiteral(" \u00b7 50,000-file limit reached; choose smaller folders");
    return status;
}

void LibraryStore::serviceTick()
{
    if (m_scanning || m_indexing || m_rulesRunning || m_similarScanning || m_checkingDuplicates
        || !m_pendingTrash.isEmpty() || m_destination == Destination::duplicates() || m_preview)
        return;
    const Timestamp now = Timestamp::now();
    const Timestamp due
        = Timestamp::fromUnix(m_lastRuleRun.unixSeconds() + kRulesIntervalSeconds, m_lastRuleRun.nanoseconds());
    if ((m_autoInstallers || m_autoScreenshots) && now > due) {
        runRules();
        return;
    }
    if (!m_autoRefresh || m_roots.isEmpty() || readingFolders())
        return;
    if (!m_watcher) {
        refresh();
        return;
    }
    // Followed roots report their changes: they are read whole only now and then, in case an
    // event was missed. The others are read every minute.
    if (!m_sinceFullCheck.isValid() || m_sinceFullCheck.elapsed() >= m_setup.fullCheckInterval.count()) {
        verify(m_roots, LibraryWatcher::Walk::all, Check::later);
        return;
    }
    QByteArrayList unfollowed;
    for (const LibraryWatcher::Root &root : std::as_const(m_followedRoots))
        if (root.following != LibraryWatcher::Following::live)
            unfollowed.append(root.path);
    if (!unfollowed.isEmpty())
        verify(unfollowed, LibraryWatcher::Walk::unfollowed, Check::later);
}

// --- Published state ---------------------------------------------------------------------------

void LibraryStore::scheduleMemoryTrim()
{
    static constexpr int kQuietMs = 3000;
    if (m_trimTimer == nullptr) {
        m_trimTimer = new QTimer(this);
        m_trimTimer->setSingleShot(true);
        m_trimTimer->setInterval(kQuietMs);
        connect(m_trimTimer, &QTimer::timeout, this,
            [] { WorkerPools::pool(JobPriority::utility)->start(&WorkerPools::returnFreedMemory); });
    }
    m_trimTimer->start();
}

void LibraryStore::setFiles(const QList<FileRecord> &files)
{
    replaceFiles(files, std::nullopt);
}

void LibraryStore::replaceFiles(const QList<FileRecord> &files, std::optional<LibraryDelta> delta)
{
    scheduleMemoryTrim();
    releaseInBackground(std::exchange(m_files, files));
    ++m_filesRevision;
    m_lastChange = std::move(delta);
    if (m_lastChange)
        Q_EMIT filesUpdated(*m_lastChange);
    Q_EMIT filesChanged();
    keepSelectionShown();
    filesOrIndexChanged();
}

void LibraryStore::setTextIndex(const TextIndex &index)
{
    scheduleMemoryTrim();
    releaseInBackground(std::exchange(m_textIndex, index));
    ++m_textIndexRevision;
    Q_EMIT textIndexChanged();
    if (!m_query.isEmpty())
        keepSelectionShown();
    filesOrIndexChanged();
}

void LibraryStore::setSelectedIDs(const QSet<QByteArray> &ids)
{
    assign(m_selectedIDs, ids, &LibraryStore::selectedIDsChanged);
}

void LibraryStore::selectAllShown()
{
    const QList<FileRecord> shown = visibleFiles();
    QSet<QByteArray> ids;
    ids.reserve(shown.size());
    for (const FileRecord &file : shown)
        ids.insert(file.id());
    setSelectedIDs(ids);
}

void LibraryStore::setSelection(const std::optional<QByteArray> &id)
{
    assign(m_selection, id, &LibraryStore::selectionChanged);
}

void LibraryStore::setPreview(const std::optional<FileRecord> &record)
{
    assign(m_preview, record, &LibraryStore::previewChanged);
}

void LibraryStore::setTextPreview(const std::optional<QString> &text)
{
    assign(m_textPreview, text, &LibraryStore::textPreviewChanged);
}

void LibraryStore::setShowSidebar(bool on)
{
    assign(m_showSidebar, on, &LibraryStore::showSidebarChanged);
}

void LibraryStore::setListMode(bool on)
{
    assign(m_listMode, on, &LibraryStore::listModeChanged);
}

void LibraryStore::setShowInspector(bool on)
{
    assign(m_showInspector, on, &LibraryStore::showInspectorChanged);
}

// Whatever changes the shown list also drops the selected files it no longer shows.
void LibraryStore::setDestination(const Destination &destination)
{
    if (assign(m_destination, destination, &LibraryStore::destinationChanged))
        keepSelectionShown();
}

void LibraryStore::setQuery(const QString &query)
{
    if (assign(m_query, query, &LibraryStore::queryChanged))
        keepSelectionShown();
}

void LibraryStore::setSourceFilter(const QString &filter)
{
    if (assign(m_sourceFilter, filter, &LibraryStore::sourceFilterChanged))
        keepSelectionShown();
}

void LibraryStore::setSort(const QString &sort)
{
    assign(m_sort, sort, &LibraryStore::sortChanged);
}

void LibraryStore::setDuplicateMode(DuplicateMode mode)
{
    assign(m_duplicateMode, mode, &LibraryStore::duplicateModeChanged);
}

void LibraryStore::setTileSize(double size)
{
    assign(m_tileSize, size, &LibraryStore::tileSizeChanged);
    reportSettingsFailure(m_settings->setTileSize(size));
}

void LibraryStore::setMenuBarEnabled(bool on)
{
    assign(m_menuBarEnabled, on, &LibraryStore::menuBarEnabledChanged);
    reportSettingsFailure(m_settings->setMenuBarEnabled(on));
}

void LibraryStore::setAppearance(const QString &appearance)
{
    assign(m_appearance, appearance, &LibraryStore::appearanceChanged);
    reportSettingsFailure(m_settings->setAppearance(appearance));
}

void LibraryStore::setAutoRefresh(bool on)
{
    assign(m_autoRefresh, on, &LibraryStore::autoRefreshChanged);
    reportSettingsFailure(m_settings->setAutoRefresh(on));
}

void LibraryStore::setAutoInstallers(bool on)
{
    assign(m_autoInstallers, on, &LibraryStore::autoInstallersChanged);
    reportSettingsFailure(m_settings->setAutoInstallers(on));
}

void LibraryStore::setAutoScreenshots(bool on)
{
    assign(m_autoScreenshots, on, &LibraryStore::autoScreenshotsChanged);
    reportSettingsFailure(m_settings->setAutoScreenshots(on));
}

void LibraryStore::setMinimal(bool on)
{
    assign(m_minimal, on, &LibraryStore::minimalChanged);
    reportSettingsFailure(m_settings->setMinimal(on));
}

void LibraryStore::setPinnedPaths(const QStringList &paths)
{
    assign(m_pinnedPaths, paths, &LibraryStore::pinnedPathsChanged);
    reportSettingsFailure(m_settings->setPinnedPaths(paths));
}

void LibraryStore::setSavedSearches(const QStringList &searches)
{
    assign(m_savedSearches, searches, &LibraryStore::savedSearchesChanged);
    reportSettingsFailure(m_settings->setSavedSearches(searches));
}

void LibraryStore::setLastRuleRun(const Timestamp &when)
{
    assign(m_lastRuleRun, when, &LibraryStore::lastRuleRunChanged);
    reportSettingsFailure(m_settings->setLastRuleRun(when));
}

void LibraryStore::setScanning(bool on)
{
    assign(m_scanning, on, &LibraryStore::scanningChanged);
}

void LibraryStore::setStatus(const QString &status)
{
    assign(m_status, status, &LibraryStore::statusChanged);
}

void LibraryStore::setError(const std::optional<QString> &error)
{
    assign(m_error, error, &LibraryStore::errorChanged);
}

void LibraryStore::setHotKeyStatus(const QString &status)
{
    assign(m_hotKeyStatus, status, &LibraryStore::hotKeyStatusChanged);
}

void LibraryStore::setHotKey(quint32 code, quint32 mods, const QString &label)
{
    const bool changed = code != m_hotKeyCode || mods != m_hotKeyMods || label != m_hotKeyLabel;
    m_hotKeyCode = code;
    m_hotKeyMods = mods;
    m_hotKeyLabel = label;
    reportSettingsFailure(m_settings->setHotKey(code, mods, label));
    if (changed)
        Q_EMIT hotKeyChanged();
}

void LibraryStore::setCopyingText(bool on)
{
    assign(m_copyingText, on, &LibraryStore::copyingTextChanged);
}

void LibraryStore::setKeeperIDs(const QHash<QByteArray, QByteArray> &keepers)
{
    assign(m_keeperIDs, keepers, &LibraryStore::keeperIDsChanged);
}

void LibraryStore::setCheckingDuplicates(bool on)
{
    assign(m_checkingDuplicates, on, &LibraryStore::checkingDuplicatesChanged);
}

void LibraryStore::setDuplicatesChecked(bool on)
{
    assign(m_duplicatesChecked, on, &LibraryStore::duplicatesCheckedChanged);
}

void LibraryStore::setDuplicates(const QList<DuplicateGroup> &groups)
{
    assign(m_duplicates, groups, &LibraryStore::duplicatesChanged);
}

void LibraryStore::setIndexing(bool on)
{
    assign(m_indexing, on, &LibraryStore::indexingChanged);
}

void LibraryStore::setIndexStatus(const QString &status)
{
    assign(m_indexStatus, status, &LibraryStore::indexStatusChanged);
}

void LibraryStore::setSimilarScanning(bool on)
{
    assign(m_similarScanning, on, &LibraryStore::similarScanningChanged);
}

void LibraryStore::setSimilarStatus(const QString &status)
{
    assign(m_similarStatus, status, &LibraryStore::similarStatusChanged);
}

void LibraryStore::setSimilarGroups(const QList<DuplicateGroup> &groups)
{
    assign(m_similarGroups, groups, &LibraryStore::similarGroupsChanged);
}

void LibraryStore::setRulesRunning(bool on)
{
    assign(m_rulesRunning, on, &LibraryStore::rulesRunningChanged);
}

void LibraryStore::setRulesStatus(const QString &status)
{
    assign(m_rulesStatus, status, &LibraryStore::rulesStatusChanged);
}

void LibraryStore::setCurrentSong(const std::optional<FileRecord> &song)
{
    assign(m_currentSong, song, &LibraryStore::currentSongChanged);
}

void LibraryStore::setPlaying(bool on)
{
    assign(m_playing, on, &LibraryStore::playingChanged);
}

void LibraryStore::startDeferredIndexLoad()
{
    if (!m_indexLoadDeferred)
        return;
    m_indexLoadDeferred = false;
    loadTextIndexInBackground();
}

void LibraryStore::loadTextIndexInBackground()
{
    if (!m_workers.loadTextIndex)
        return;
    // A large index takes a while to read; the window opens and the first scan runs meanwhile.
    // An indexing run asked for before the index is in waits for it, so it never starts from
    // an empty index and reads every file again.
    const auto load = m_workers.loadTextIndex;
    m_indexLoadJob = startBackgroundJob<TextIndex>(this, JobPriority::userInitiated,
        ([load](std::stop_token) {
            TextIndex index = load();
            // Reading a large index leaves tens of megabytes of freed buffers behind.
            WorkerPools::returnFreedMemory();
            return index;
        }),
        [this](TextIndex &&index) {
            m_indexLoadJob.reset();
            setTextIndex(index);
            if (m_indexAfterLoad) {
                m_indexAfterLoad = false;
                indexText();
            }
        });
}
