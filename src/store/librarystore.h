#pragma once

#include "analysis/duplicategroup.h"
#include "analysis/text/textentry.h"
#include "library/librarywatcher.h"
#include "query/filequery.h"
#include "store/cleancategory.h"
#include "store/destination.h"
#include "store/librarycounts.h"
#include "store/librarydelta.h"
#include "store/libraryworkers.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

class AudioPlayer;
class JobHandle;
class LibraryCatalog;
class LibrarySettings;

// The one state object of the application: the chosen folders (roots), the records of the last
// completed scan, every remembered setting, the status lines and the handles of all background
// work. Every window, the tray list, the quick search panel and the automation interface read and
// change the same instance, `shared()`.
//
// Threading: confined to the main thread. Every getter, setter and operation runs there. Work
// that is too slow for it runs on worker threads over copies of the data; each result comes back
// to the main thread and is applied only when its job was not cancelled and, for scans, exact
// duplicates and the text index, when the generation it started under is still current. Late
// results are dropped silently.
//
// Published state: every getter below has a `<name>Changed` signal, emitted when the value
// changes. Settings are written to the defaults file on every assignment.
//
// Following the folders: with `Setup::watches`, every folder under the roots is watched and what
// changes is read again and applied as differences, a new generation of `files` like a scan's;
// scans made to check the library (at start, after lost events, every 30 minutes, every minute
// for roots that cannot be followed) are applied the same way. Either way `filesUpdated` tells
// views what changed, so they keep their selection, scroll position and open sections, and
// duplicate and look-alike groups lose only the groups whose members changed.
//
// The operations are implemented by concern: librarystore.cpp (construction, settings, roots,
// scans, the service timer), librarystore_live.cpp (following the folders, the saved library),
// librarystore_views.cpp, librarystore_selection.cpp, librarystore_trash.cpp,
// librarystore_jobs.cpp and librarystore_playback.cpp.
class LibraryStore : public QObject
{
    Q_OBJECT

public:
    struct Setup
    {
        // Restore the roots (or the demo folder), load the text index and start the 60-second
        // service timer. Off for tests and tools: such a store stays empty until given roots.
        bool restoresFolders = false;
        // The process arguments; "--demo" selects demo mode (TESSARY_DEMO_PATH is the folder).
        QStringList arguments;
        // The defaults file; empty: the user's.
        QString settingsFile;
        // Follow UPower's OnBattery (`onBattery`); off for tests and tools.
        bool watchesPower = false;
        LibraryWorkers workers = LibraryWorkers::standard();
        // Follow the roots with inotify and apply their changes as they come.
        bool watches = false;
        LibraryWatcher::Options watcherOptions;
        // Where the library is saved after every change and read back at start (restoring
        // folders), shown while a scan checks it; empty: nowhere. Never used in demo mode.
        QString catalogFile;
        // How long after a change the library is saved (a burst of changes is saved once).
        std::chrono::milliseconds saveDelay { 2000 };
        // With every root followed, how seldom the service timer reads the whole library again,
        // in case a change went unreported.
        std::chrono::milliseconds fullCheckInterval { 30 * 60'000 };
    };

    // Keyboard modifiers of a click, as far as selection cares.
    enum class ClickModifier { none, command, shift };

    // The folder chooser of the interface: shows `message` and an accept button labelled
    // `prompt`, returns the chosen folders (absolute paths, in the chooser's order), or nothing
    // when the user cancelled.
    using FolderChooser = std::function<std::optional<QByteArrayList>(const QString &message, const QString &prompt)>;
    // Makes the player for one song.
    using AudioPlayerFactory = std::function<std::unique_ptr<AudioPlayer>(const QByteArray &path)>;

    static constexpr qint64 kLargeFileBytes = 100'000'000;
    static constexpr int kServiceIntervalMs = 60'000;

    explicit LibraryStore(const Setup &setup, QObject *parent = nullptr);
    ~LibraryStore() override;

    // The application's instance, made on first use with the roots restored.
    static LibraryStore &shared();

    void setFolderChooser(FolderChooser chooser);
    void setAudioPlayerFactory(AudioPlayerFactory factory);

    // --- Roots and scans --------------------------------------------------------------------
    const QByteArrayList &roots() const { return m_roots; }
    void setRoots(const QByteArrayList &roots);
    bool isDemo() const { return m_isDemo; }
    // Starts a scan of every root; cancels the scan, duplicate, index and look-alike work.
    void refresh();
    void chooseFolder();
    // Adds folders the way the chooser does: covered ones are skipped, covering ones replace
    // the roots they contain. Then persists and refreshes.
    void addFolders(const QByteArrayList &paths);
    void removeRoot(const QByteArray &root);
    // One tick of the service timer (also called by tests).
    void serviceTick();

    // --- Following the folders -------------------------------------------------------------------
    // Whether the files shown are not yet checked against the disk (a scan is running to check
    // them): the ones saved last time, or, at a first scan, the files as listed before their
    // images, videos and music were opened.
    bool checking() const { return m_checking; }
    // Whether changes noticed in the folders are still being read (they are applied within about
    // a second).
    bool updating() const { return m_updating; }
    // How each root is followed; empty without watching or before the first scan.
    const QList<LibraryWatcher::Root> &followedRoots() const { return m_followedRoots; }
    // The change that made the current `files` from the previous ones, when it was applied as
    // differences; absent after a wholesale replacement (setFiles).
    const std::optional<LibraryDelta> &lastChange() const { return m_lastChange; }
    // The position in files() of the record with `path`, or -1.
    qsizetype indexOf(const QByteArray &path) const;
    // The record with `path`, if the library holds one.
    std::optional<FileRecord> file(const QByteArray &path) const;

    // --- Published state --------------------------------------------------------------------
    const QList<FileRecord> &files() const { return m_files; }
    void setFiles(const QList<FileRecord> &files);
    const TextIndex &textIndex() const { return m_textIndex; }
    void setTextIndex(const TextIndex &index);

    const QSet<QByteArray> &selectedIDs() const { return m_selectedIDs; }
    void setSelectedIDs(const QSet<QByteArray> &ids);
    // Selects every file shown (Select All).
    void selectAllShown();
    const std::optional<QByteArray> &selection() const { return m_selection; }
    void setSelection(const std::optional<QByteArray> &id);
    const std::optional<FileRecord> &preview() const { return m_preview; }
    void setPreview(const std::optional<FileRecord> &record);
    const std::optional<QString> &textPreview() const { return m_textPreview; }
    void setTextPreview(const std::optional<QString> &text);

    bool showSidebar() const { return m_showSidebar; }
    void setShowSidebar(bool on);
    bool listMode() const { return m_listMode; }
    void setListMode(bool on);
    bool showInspector() const { return m_showInspector; }
    void setShowInspector(bool on);
    const Destination &destination() const { return m_destination; }
    void setDestination(const Destination &destination);
    const QString &query() const { return m_query; }
    void setQuery(const QString &query);
    const QString &sourceFilter() const { return m_sourceFilter; }
    void setSourceFilter(const QString &filter);
    const QString &sort() const { return m_sort; }
    void setSort(const QString &sort);
    DuplicateMode duplicateMode() const { return m_duplicateMode; }
    void setDuplicateMode(DuplicateMode mode);

    // Settings, each written to the defaults file when assigned.
    double tileSize() const { return m_tileSize; }
    void setTileSize(double size);
    bool menuBarEnabled() const { return m_menuBarEnabled; }
    void setMenuBarEnabled(bool on);
    const QString &appearance() const { return m_appearance; }
    void setAppearance(const QString &appearance);
    bool autoRefresh() const { return m_autoRefresh; }
    void setAutoRefresh(bool on);
    bool autoInstallers() const { return m_autoInstallers; }
    void setAutoInstallers(bool on);
    bool autoScreenshots() const { return m_autoScreenshots; }
    void setAutoScreenshots(bool on);
    bool minimal() const { return m_minimal; }
    void setMinimal(bool on);
    // Whether the text index also runs on battery power (otherwise it pauses there).
    bool indexOnBattery() const { return m_indexOnBattery; }
    void setIndexOnBattery(bool on);
    const QStringList &pinnedPaths() const { return m_pinnedPaths; }
    void setPinnedPaths(const QStringList &paths);
    const QStringList &savedSearches() const { return m_savedSearches; }
    const Timestamp &lastRuleRun() const { return m_lastRuleRun; }

    bool scanning() const { return m_scanning; }
    const QString &status() const { return m_status; }
    const std::optional<QString> &error() const { return m_error; }
    void setError(const std::optional<QString> &error);
    const QString &hotKeyStatus() const { return m_hotKeyStatus; }
    void setHotKeyStatus(const QString &status);
    // The quick search shortcut as stored: virtual key code, modifier mask, label.
    quint32 hotKeyCode() const { return m_hotKeyCode; }
    quint32 hotKeyMods() const { return m_hotKeyMods; }
    const QString &hotKeyLabel() const { return m_hotKeyLabel; }
    // Stores all three; `hotKeyChanged` follows when any of them changed.
    void setHotKey(quint32 code, quint32 mods, const QString &label);

    // --- Views (recomputed on every read) ---------------------------------------------------
    QList<FileRecord> visibleFiles() const;
    // The positions in `files()` of `visibleFiles()`, in the same order: a view that keeps
    // `files()` (shared, not copied) and these shows the same rows without copying a record.
    QList<qsizetype> visibleRows() const;
    QList<CleanCategory> cleanCategories() const;
    QList<FileRecord> recentDownloads() const;
    QStringList sources() const;
    QList<FileRecord> chosenFiles() const;
    QList<FileRecord> searchFiles(const QString &text) const;
    std::optional<FileRecord> selected() const;
    FileQuery parsedQuery() const;
    void navigate(const Destination &destination);

    // Counts over the whole library: the prepared catalogue's when it matches the files, else
    // made here once per change of the files. The interface reads these and never walks the
    // records itself.
    const LibraryCounts &counts() const;
    qint64 totalSize() const;
    // The number of files of each clean-up category, in cleanCategories() order.
    std::array<qsizetype, CleanCategories::kCount> cleanCounts() const;
    // The first `count` (at most 10) files of `kind`, in library order.
    QList<FileRecord> leadingFiles(FileKind kind, qsizetype count) const;
    // Whether the derived search texts and sort orders match the current files and index, so
    // views are computed from them instead of from scratch (both give the same lists).
    bool viewsPrepared() const;

    // --- Selection and file actions ---------------------------------------------------------
    void select(const FileRecord &file, ClickModifier modifier);
    void stepSelection(int step);
    void open(const FileRecord &file);
    void reveal(const FileRecord &file);
    void copyPath(const FileRecord &file);
    void copyFiles(const std::optional<QList<FileRecord>> &files = std::nullopt);
    void copyText(const QList<FileRecord> &files, bool show);
    bool copyingText() const { return m_copyingText; }
    void pin(const QByteArray &folder);
    void saveSearch();
    void deleteSearch(const QString &text);

    // --- Trash flow --------------------------------------------------------------------------
    const QList<FileRecord> &pendingTrash() const { return m_pendingTrash; }
    // Assigning from outside (the confirmation's cancel) also forgets the kept copies.
    void setPendingTrash(const QList<FileRecord> &files);
    void requestTrash(const QList<FileRecord> &files, const std::optional<FileRecord> &keeping = std::nullopt);
    void trashPending();
    void trashExtraCopies(const DuplicateGroup &group);
    // Whether "Trash all…" applies: a clean-up category is shown, not a search.
    bool canTrashAll() const;
    // Asks to trash every file the category shows; nothing unless canTrashAll().
    void requestTrashAll();
    const QHash<QByteArray, QByteArray> &keeperIDs() const { return m_keeperIDs; }
    void setKeeperIDs(const QHash<QByteArray, QByteArray> &keepers);
    // Records `file` as the copy of `group` to keep.
    void keep(const DuplicateGroup &group, const FileRecord &file);
    // The kept copy recorded for a pending file, if any.
    std::optional<FileRecord> pendingKeeper(const QByteArray &id) const;

    // --- Background jobs ---------------------------------------------------------------------
    void findDuplicates();
    void indexText();
    void findSimilar();
    void runRules();
    bool checkingDuplicates() const { return m_checkingDuplicates; }
    bool duplicatesChecked() const { return m_duplicatesChecked; }
    const QList<DuplicateGroup> &duplicates() const { return m_duplicates; }
    bool indexing() const { return m_indexing; }
    const QString &indexStatus() const { return m_indexStatus; }
    // Whether the computer runs on battery (the application's store follows UPower). Going on
    // battery pauses the text index unless `indexOnBattery`: the files read so far are kept and
    // the run goes on from there on mains power.
    bool onBattery() const { return m_onBattery; }
    void setOnBattery(bool on);
    // True while the text index waits for mains power; `indexStatus` says so.
    bool indexPaused() const { return m_indexPaused; }
    bool similarScanning() const { return m_similarScanning; }
    const QString &similarStatus() const { return m_similarStatus; }
    const QList<DuplicateGroup> &similarGroups() const { return m_similarGroups; }
    bool rulesRunning() const { return m_rulesRunning; }
    const QString &rulesStatus() const { return m_rulesStatus; }

    // --- Music -------------------------------------------------------------------------------
    void play(const FileRecord &file);
    void skipSong(int step);
    void togglePlayback();
    const std::optional<FileRecord> &currentSong() const { return m_currentSong; }
    bool playing() const { return m_playing; }
    // Every music file, ascending by name in code-point order, equal names in library order.
    QList<FileRecord> playlist() const;

Q_SIGNALS:
    void rootsChanged();
    void filesChanged();
    void textIndexChanged();
    void selectedIDsChanged();
    void selectionChanged();
    void previewChanged();
    void textPreviewChanged();
    void showSidebarChanged();
    void listModeChanged();
    void showInspectorChanged();
    void destinationChanged();
    void queryChanged();
    void sourceFilterChanged();
    void sortChanged();
    void duplicateModeChanged();
    void tileSizeChanged();
    void menuBarEnabledChanged();
    void appearanceChanged();
    void autoRefreshChanged();
    void autoInstallersChanged();
    void autoScreenshotsChanged();
    void minimalChanged();
    void indexOnBatteryChanged();
    void pinnedPathsChanged();
    void savedSearchesChanged();
    void lastRuleRunChanged();
    void scanningChanged();
    void statusChanged();
    void errorChanged();
    void hotKeyStatusChanged();
    void hotKeyChanged();
    void copyingTextChanged();
    void pendingTrashChanged();
    void keeperIDsChanged();
    void checkingDuplicatesChanged();
    void duplicatesCheckedChanged();
    void duplicatesChanged();
    void indexingChanged();
    void indexStatusChanged();
    void onBatteryChanged();
    void indexPausedChanged();
    void similarScanningChanged();
    void similarStatusChanged();
    void similarGroupsChanged();
    void rulesRunningChanged();
    void rulesStatusChanged();
    void currentSongChanged();
    void playingChanged();
    void checkingChanged();
    void updatingChanged();
    void followedRootsChanged();
    // Emitted just before filesChanged when the new files are a known change of the old ones (a
    // scan, a checking scan, a watched change, files moved to the Trash); lastChange() holds it
    // until the next change.
    void filesUpdated(const LibraryDelta &delta);
    // The derived search texts and sort orders were brought up to date.
    void viewsReady();

private:
    // Stores `value` and announces it, unless nothing changed; true when it changed.
    template <typename T> bool assign(T &member, const T &value, void (LibraryStore::*changed)())
    {
        if (member == value)
            return false;
        member = value;
        Q_EMIT(this->*changed)();
        return true;
    }
    void setStatus(const QString &status);
    void setScanning(bool on);
    void setIndexing(bool on);
    void setIndexStatus(const QString &status);
    void setSimilarScanning(bool on);
    void setSimilarStatus(const QString &status);
    void setCheckingDuplicates(bool on);
    void setDuplicatesChecked(bool on);
    void setDuplicates(const QList<DuplicateGroup> &groups);
    void setSimilarGroups(const QList<DuplicateGroup> &groups);
    void setRulesRunning(bool on);
    void setRulesStatus(const QString &status);
    void setCopyingText(bool on);
    void setPlaying(bool on);
    void setCurrentSong(const std::optional<FileRecord> &song);
    void setSavedSearches(const QStringList &searches);
    void setLastRuleRun(const Timestamp &when);
    void reportSettingsFailure(bool written);

    void restoreRoots();
    void loadTextIndexInBackground();
    // Hands memory freed by replaced file lists, indexes and catalogues back to the system once
    // the store has been quiet for a few seconds (trimming contends with the main thread's own
    // allocations, so it is kept away from busy moments).
    void scheduleMemoryTrim();
    void persistRoots();
    struct ScanOutcome;
    void applyScan(ScanOutcome &&outcome, quint64 indexRevision);
    void cancelScanBoundWork();
    // Replaces `files`; `delta` says how the new list differs from the old one, when known.
    void replaceFiles(const QList<FileRecord> &files, std::optional<LibraryDelta> delta);
    QString libraryStatus() const;

    // Following the folders (librarystore_live.cpp)
    struct Found;
    enum class Check { atStart, later };
    void startWatching();
    void loadSavedLibrary();
    void noteChanges(const QByteArrayList &paths);
    void startUpdate();
    // Reads `roots` (some or all of the library's) again and applies what differs.
    void verify(const QByteArrayList &roots, LibraryWatcher::Walk walk, Check check);
    // Marks the files shown as being checked and reads the whole library to check them.
    void checkShownFiles(LibraryWatcher::Walk walk);
    // For reading the folders again: files that did not change keep what was read of their
    // media, unless the files shown were listed without it.
    ScanOptions readingOptions() const;
    // Applies what a rescan or checking scan found, once it is merged with the current files.
    void applyFound(Found &&found);
    void mergeFound(Found &&found);
    void finishedReading();
    void dropChangedGroups(const LibraryDelta &delta);
    void indexAfterChange(const LibraryDelta &delta);
    void scheduleSave();
    void saveLibrary();
    void setFollowedRoots(const QList<LibraryWatcher::Root> &roots);
    void setChecking(bool on);
    void updateUpdating();
    bool readingFolders() const { return m_scanJob || m_verifyJob || m_loadJob; }
    bool indexLoading() const { return m_indexLoadJob || m_indexLoadDeferred; }
    void startDeferredIndexLoad();

    // Views
    // Steps 1-3 of visibleFiles: whether the record at a position of `files` is shown (valid
    // until the store changes), and the same for every record.
    std::function<bool(qsizetype)> shownTest() const;
    std::vector<char> shownMask() const;
    // Drops from selectedIDs the files that are no longer shown.
    void keepSelectionShown();
    void filesOrIndexChanged();
    void prepareViews();
    void installCatalog(std::shared_ptr<const LibraryCatalog> catalog, quint64 filesRevision, quint64 indexRevision);
    bool catalogMatchesFiles() const;
    bool catalogMatchesIndex() const;
    QString indexTextOf(const FileRecord &file) const;

    // Jobs
    void applyDuplicates(const QList<DuplicateGroup> &groups);
    void watchPowerSource();
    bool holdsIndex() const { return m_onBattery && !m_indexOnBattery; }
    void setIndexPaused(bool on);
    // Stops the running index job; what it read is kept (applied when it returns).
    void pauseIndexing();
    // Pauses or resumes the text index for the power source and the setting.
    void followPower();
    // Cancels every job and waits a little for the workers to stop: a job still running while
    // the process exits would use what exit has already destroyed.
    void finishJobsBeforeQuit();

    Setup m_setup;
    LibraryWorkers m_workers;
    std::unique_ptr<LibrarySettings> m_settings;
    FolderChooser m_folderChooser;
    AudioPlayerFactory m_audioPlayerFactory;

    // Handles of the running work. Each holds the job's stop source; a job whose handle was
    // replaced or reset is cancelled and its result dropped.
    std::shared_ptr<JobHandle> m_scanJob;
    std::shared_ptr<JobHandle> m_duplicateJob;
    std::shared_ptr<JobHandle> m_indexJob;
    std::shared_ptr<JobHandle> m_similarJob;
    std::shared_ptr<JobHandle> m_ruleJob;
    std::shared_ptr<JobHandle> m_textJob;
    std::shared_ptr<JobHandle> m_catalogJob;
    std::shared_ptr<JobHandle> m_indexLoadJob;
    std::shared_ptr<JobHandle> m_loadJob; // reads the saved library
    std::shared_ptr<JobHandle> m_verifyJob; // a checking scan
    std::shared_ptr<JobHandle> m_updateJob; // reads changed paths again
    std::shared_ptr<JobHandle> m_saveJob;
    bool m_indexAfterLoad = false; // an indexing run waits for the index being read
    bool m_indexLoadDeferred = false; // the index is read once the saved library is shown
    // Stops the running index job like a cancellation, but its result is applied.
    std::stop_source m_indexPause;
    quint64 m_generation = 0;
    quint64 m_indexGeneration = 0;

    QHash<QByteArray, FileRecord> m_pendingKeepers;
    QSet<QByteArray> m_selectedIDs;
    std::optional<FileRecord> m_preview;
    bool m_showSidebar = true;
    double m_tileSize = 170;
    bool m_menuBarEnabled = true;
    QString m_appearance;
    bool m_autoRefresh = true;
    bool m_autoInstallers = false;
    bool m_autoScreenshots = false;
    QStringList m_pinnedPaths;
    QString m_sourceFilter;
    TextIndex m_textIndex;
    bool m_indexing = false;
    QString m_indexStatus;
    bool m_onBattery = false;
    bool m_indexOnBattery = false;
    bool m_indexPaused = false;
    QList<DuplicateGroup> m_similarGroups;
    bool m_similarScanning = false;
    QString m_similarStatus;
    DuplicateMode m_duplicateMode = DuplicateMode::exact;
    QHash<QByteArray, QByteArray> m_keeperIDs;
    std::optional<QString> m_textPreview;
    bool m_copyingText = false;
    std::optional<FileRecord> m_currentSong;
    bool m_playing = false;
    bool m_rulesRunning = false;
    QString m_rulesStatus;
    QString m_hotKeyStatus;
    quint32 m_hotKeyCode = 0;
    quint32 m_hotKeyMods = 0;
    QString m_hotKeyLabel;
    std::unique_ptr<AudioPlayer> m_player;
    quint64 m_songSerial = 0; // counts the songs started, to tell a stale end of song
    QTimer *m_serviceTimer = nullptr;
    QTimer *m_trimTimer = nullptr;
    Timestamp m_lastRuleRun;
    QList<FileRecord> m_files;
    QByteArrayList m_roots;
    Destination m_destination;
    QString m_query;
    std::optional<QByteArray> m_selection;
    bool m_listMode = false;
    bool m_showInspector = false;
    bool m_minimal = false;
    bool m_scanning = false;
    bool m_checkingDuplicates = false;
    QList<DuplicateGroup> m_duplicates;
    bool m_duplicatesChecked = false;
    QString m_status;
    std::optional<QString> m_error;
    QList<FileRecord> m_pendingTrash;
    QStringList m_savedSearches;
    QString m_sort;
    bool m_isDemo = false;

    // Following the folders
    LibraryWatcher *m_watcher = nullptr;
    QList<LibraryWatcher::Root> m_followedRoots;
    QSet<QByteArray> m_changedPaths; // noticed, not read yet
    std::optional<LibraryDelta> m_lastChange;
    bool m_checking = false;
    bool m_mediaFactsPending = false; // the files shown were listed without opening their media
    bool m_updating = false;
    bool m_checkAfterScan = false; // events were lost while a scan ran
    bool m_saveAgain = false;
    bool m_indexAgain = false; // files changed while the index was being built
    int m_scanErrors = 0;
    bool m_truncated = false;
    QElapsedTimer m_sinceFullCheck; // since every root was last read whole
    QTimer *m_saveTimer = nullptr;
    QTimer *m_indexTimer = nullptr;

    // Derived-view support: revisions of `files` and `textIndex`, and the catalogue built for
    // some revision pair (current when both match).
    quint64 m_filesRevision = 1;
    quint64 m_textIndexRevision = 1;
    std::shared_ptr<const LibraryCatalog> m_catalog;
    quint64 m_catalogFilesRevision = 0;
    quint64 m_catalogIndexRevision = 0;
    bool m_catalogQueued = false;
    // counts() made here while the catalogue lags behind the files, and the files' revision.
    mutable std::shared_ptr<const LibraryCounts> m_counts;
    mutable quint64 m_countsRevision = 0;
};
