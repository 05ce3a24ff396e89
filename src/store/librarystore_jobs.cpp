// The four slow analyses: exact duplicates, the text index, look-alike images and the daily
// clean-up rules. Each runs at utility priority on copies and is applied on the main thread
// only while it is still wanted.

#include "platform/desktop/powersource.h"
#include "store/backgroundjob.h"
#include "store/librarycatalog.h"
#include "store/librarysettings.h"
#include "store/librarystore.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QTime>

#include <chrono>
#include <memory>

namespace {

constexpr qsizetype kShownRuleErrors = 10;
// A cancelled job stops at its next check; a reader helper gives up its file within seconds.
constexpr int kQuitGraceMs = 5000;

struct IndexOutcome
{
    TextIndexResult result;
    std::shared_ptr<const LibraryCatalog> catalog;
    // Stopped by a pause: `result` holds the files read until then.
    bool paused = false;
};

} // namespace

void LibraryStore::findDuplicates()
{
    if (m_scanning || m_checkingDuplicates)
        return;
    setCheckingDuplicates(true);
    setDuplicatesChecked(false);
    const QList<FileRecord> files = m_files;
    const quint64 generation = m_generation;
    const auto find = m_workers.duplicates;
    m_duplicateJob = startBackgroundJob<QList<DuplicateGroup>>(this, JobPriority::utility,
        ([find, files](std::stop_token stop) { return find(files, stop); }),
        [this, generation](QList<DuplicateGroup> &&groups) {
            if (generation != m_generation)
                return;
            m_duplicateJob.reset();
            applyDuplicates(groups);
        });
}

void LibraryStore::applyDuplicates(const QList<DuplicateGroup> &groups)
{
    setDuplicates(groups);
    QHash<QByteArray, QByteArray> keepers;
    for (const DuplicateGroup &group : groups)
        if (!group.files.isEmpty())
            keepers.insert(group.id(), group.files.first().path);
    setKeeperIDs(keepers);
    setCheckingDuplicates(false);
    setDuplicatesChecked(true);
}

void LibraryStore::indexText()
{
    if (indexLoading()) {
        m_indexAfterLoad = true;
        return;
    }
    cancelJob(m_indexJob);
    // This run reads the files as they are now.
    m_indexAgain = false;
    m_indexTimer->stop();
    if (holdsIndex()) {
        setIndexing(false);
        setIndexPaused(true);
        return;
    }
    setIndexPaused(false);
    setIndexing(true);
    m_indexPause = std::stop_source();
    const std::stop_source pause = m_indexPause;
    const QList<FileRecord> files = m_files;
    const TextIndex existing = m_textIndex;
    const quint64 generation = ++m_indexGeneration;
    const quint64 filesRevision = m_filesRevision;
    const std::shared_ptr<const LibraryCatalog> previous = m_catalog;
    setIndexStatus(QStringLiteral("Indexing image and document text locally\u2026"));

    // Progress arrives on the worker thread; a report becomes its own main-thread task and is
    // shown only while this run is still the current one. Reports are posted at most every
    // 100 ms, and the last one always: each posted report is memory the worker allocates and the
    // main thread frees under the worker's allocator lock, and a report every ten files had the
    // main thread wait tens of milliseconds for that lock while the low-priority worker holding
    // it waited for a processor.
    const QPointer<LibraryStore> self(this);
    auto lastReport = std::make_shared<std::chrono::steady_clock::time_point>();
    const LibraryWorkers::IndexProgress progress = [self, generation, lastReport](int done, int total) {
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - *lastReport < std::chrono::milliseconds(100))
            return;
        *lastReport = now;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, done, total] {
                if (!self || !self->m_indexing || self->m_indexGeneration != generation)
                    return;
                self->setIndexStatus(QStringLiteral("Reading text: ") + QString::number(done) + QStringLiteral(" of ")
                    + QString::number(total));
            },
            Qt::QueuedConnection);
    };
    const auto run = m_workers.indexText;
    m_indexJob = startBackgroundJob<IndexOutcome>(this, JobPriority::utility,
        ([run, files, existing, progress, previous, pause](std::stop_token stop) {
            IndexOutcome outcome;
            std::stop_source halt;
            const std::stop_callback cancelled(stop, [&halt] { halt.request_stop(); });
            const std::stop_callback paused(pause.get_token(), [&halt] { halt.request_stop(); });
            outcome.result = run(files, existing, progress, halt.get_token());
            outcome.paused = pause.stop_requested();
            if (!halt.stop_requested())
                outcome.catalog = LibraryCatalog::build(files, outcome.result.entries, previous.get(), stop);
            return outcome;
        }),
        [this, generation, filesRevision](IndexOutcome &&outcome) {
            if (generation != m_indexGeneration)
                return;
            m_indexJob.reset();
            if (outcome.paused) {
                // What was read stays searchable, and the next run reuses it.
                TextIndex kept = m_textIndex;
                for (auto entry = outcome.result.entries.cbegin(); entry != outcome.result.entries.cend(); ++entry)
                    kept.insert(entry.key(), entry.value());
                setTextIndex(kept);
                releaseInBackground(std::move(outcome));
                return;
            }
            setTextIndex(outcome.result.entries);
            if (outcome.catalog && filesRevision == m_filesRevision)
                installCatalog(std::move(outcome.catalog), m_filesRevision, m_textIndexRevision);
            setIndexing(false);
            if (std::exchange(m_indexAgain, false))
                m_indexTimer->start();
            setIndexStatus(QString::number(outcome.result.entries.size()) + QStringLiteral(" files indexed \u00b7 ")
                + QString::number(outcome.result.partial) + QStringLiteral(" partially indexed \u00b7 ")
                + QString::number(outcome.result.failures) + QStringLiteral(" unreadable"));
            releaseInBackground(std::move(outcome));
        });
}

void LibraryStore::setIndexOnBattery(bool on)
{
    assign(m_indexOnBattery, on, &LibraryStore::indexOnBatteryChanged);
    reportSettingsFailure(m_settings->setIndexOnBattery(on));
    followPower();
}

void LibraryStore::setOnBattery(bool on)
{
    assign(m_onBattery, on, &LibraryStore::onBatteryChanged);
    followPower();
}

void LibraryStore::setIndexPaused(bool on)
{
    assign(m_indexPaused, on, &LibraryStore::indexPausedChanged);
    if (on)
        setIndexStatus(QStringLiteral("Text indexing paused on battery power"));
}

void LibraryStore::pauseIndexing()
{
    if (!m_indexing)
        return;
    m_indexPause.request_stop();
    setIndexing(false);
    setIndexPaused(true);
}

void LibraryStore::followPower()
{
    if (holdsIndex())
        pauseIndexing();
    else if (m_indexPaused)
        indexText();
}

void LibraryStore::watchPowerSource()
{
    auto *power = new PowerSource(this);
    connect(power, &PowerSource::onBatteryChanged, this, &LibraryStore::setOnBattery);
    setOnBattery(power->onBattery());
}

void LibraryStore::finishJobsBeforeQuit()
{
    for (std::shared_ptr<JobHandle> *job : { &m_scanJob, &m_duplicateJob, &m_indexJob, &m_similarJob, &m_ruleJob,
             &m_textJob, &m_catalogJob, &m_indexLoadJob })
        cancelJob(*job);
    for (const JobPriority priority : { JobPriority::utility, JobPriority::userInitiated })
        WorkerPools::pool(priority)->waitForDone(kQuitGraceMs);
}

void LibraryStore::findSimilar()
{
    if (m_similarScanning || m_scanning)
        return;
    setSimilarScanning(true);
    setSimilarStatus(QStringLiteral("Generating and comparing image feature prints\u2026"));
    const QList<FileRecord> files = m_files;
    const auto find = m_workers.similar;
    m_similarJob = startBackgroundJob<SimilarityResult>(this, JobPriority::utility,
        ([find, files](std::stop_token stop) { return find(files, stop); }), [this](SimilarityResult &&result) {
            m_similarJob.reset();
            setSimilarGroups(result.groups);
            setSimilarScanning(false);
            QString status = QString::number(result.scanned) + QStringLiteral(" images compared \u00b7 ")
                + QString::number(result.skipped) + QStringLiteral(" unreadable");
            if (result.limited)
                status += QStringLiteral(" \u00b7 Limited to 2,000 newest images");
            setSimilarStatus(status);
        });
}

void LibraryStore::runRules()
{
    if (m_rulesRunning || (!m_autoInstallers && !m_autoScreenshots) || !m_pendingTrash.isEmpty())
        return;
    setRulesRunning(true);
    setLastRuleRun(Timestamp::now());
    setRulesStatus(QStringLiteral("Applying enabled rules\u2026"));
    const QList<FileRecord> files = m_files;
    const CleanupRules::Rules rules { m_autoInstallers, m_autoScreenshots };
    const auto run = m_workers.rules;
    m_ruleJob = startBackgroundJob<CleanupRules::Outcome>(this, JobPriority::utility,
        ([run, files, rules](std::stop_token stop) { return run(files, rules, stop); }),
        [this](CleanupRules::Outcome &&outcome) {
            m_ruleJob.reset();
            setRulesRunning(false);
            setRulesStatus(QString::number(outcome.changed) + QStringLiteral(" files changed \u00b7 ")
                + QString::number(outcome.errors.size()) + QStringLiteral(" errors \u00b7 ")
                + QLocale().toString(QTime::currentTime(), QLocale::ShortFormat));
            if (!outcome.errors.isEmpty())
                setError(outcome.errors.mid(0, kShownRuleErrors).join(u'\n'));
            if (outcome.changed > 0)
                refresh();
        });
}
