#include "storetesting.h"

#include "store/backgroundjob.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTest>

namespace StoreTesting {

namespace {

LibraryWorkers workersOf(const QStringList &held, const Gate &gate, const QList<DuplicateGroup> &groups,
    const Counter &scans = std::make_shared<std::atomic<int>>(0),
    const Counter &passes = std::make_shared<std::atomic<int>>(0))
{
    const auto hold = [gate, held](const char *name) {
        if (held.contains(QLatin1String(name)))
            gate.wait();
    };
    LibraryWorkers result;
    result.scan = [scans, hold](const QByteArrayList &, const ScanOptions &options, std::stop_token) {
        if (options.readContentMetadata)
            ++*scans;
        hold("scan");
        return ScanResult();
    };
    result.rescan = [](const QByteArrayList &, const QByteArrayList &, const ScanOptions &, std::stop_token) {
        return RescanResult();
    };
    result.indexText
        = [hold](const QList<FileRecord> &, const TextIndex &, const LibraryWorkers::IndexProgress &, std::stop_token) {
              hold("index");
              return TextIndexResult();
          };
    result.duplicates = [groups, hold](const QList<FileRecord> &, std::stop_token) {
        hold("duplicates");
        return groups;
    };
    result.similar = [groups, hold](const QList<FileRecord> &, std::stop_token) {
        hold("similar");
        return SimilarityResult { groups, 0, 0, false };
    };
    result.rules = [passes, hold](const QList<FileRecord> &, CleanupRules::Rules, std::stop_token) {
        ++*passes;
        hold("rules");
        return CleanupRules::Outcome();
    };
    result.extractText = [](const FileRecord &, std::stop_token) { return TextExtraction(); };
    result.loadTextIndex = [] { return TextIndex(); };
    return result;
}

} // namespace

StoreEnvironment::StoreEnvironment()
{
    for (const char *variable : { "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" })
        qputenv(variable, QFile::encodeName(m_dir.path()) + '/' + variable);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

LibraryStore::Setup setup(const QString &settingsFile, const LibraryWorkers &workers, bool restores)
{
    LibraryStore::Setup result;
    result.restoresFolders = restores;
    result.settingsFile = settingsFile;
    result.workers = workers;
    return result;
}

LibraryStore::Setup setup(const QString &settingsFile)
{
    return setup(settingsFile, workersOf({}, Gate(), {}));
}

FileRecord record(const QByteArray &path, FileKind kind, qint64 size, const Timestamp &modified)
{
    FileRecord file;
    file.path = path;
    file.kind = kind;
    file.size = size;
    file.modified = modified;
    file.created = modified;
    return file;
}

Destination place(QStringView key)
{
    const std::optional<Destination> destination = Destination::fromKey(key);
    if (!destination)
        qFatal("no destination is named %s", qPrintable(key.toString()));
    return *destination;
}

QStringList names(const QList<FileRecord> &files)
{
    QStringList result;
    for (const FileRecord &file : files)
        result.append(file.name());
    return result;
}

QStringList strings(std::initializer_list<const char *> texts)
{
    QStringList result;
    for (const char *text : texts)
        result.append(QString::fromUtf8(text));
    return result;
}

void textColumns(std::initializer_list<const char *> columns)
{
    for (const char *column : columns)
        QTest::addColumn<QString>(column);
}

void textRow(const char *name, std::initializer_list<const char *> texts)
{
    QTestData &row = QTest::newRow(name);
    for (const char *text : texts)
        row << QString::fromUtf8(text);
}

void settle()
{
    // A finished job posts its result to the main thread before its pool thread is free, so
    // once both pools are idle, delivering the posted events applies (or drops) every result;
    // an applied result may start further work, hence the loop.
    for (int round = 0; round < 5; ++round) {
        WorkerPools::pool(JobPriority::userInitiated)->waitForDone();
        WorkerPools::pool(JobPriority::utility)->waitForDone();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

Probe::~Probe()
{
    gate.open();
    settle();
}

LibraryWorkers diskWorkers()
{
    LibraryWorkers workers = workersOf({}, Gate(), {});
    workers.scan = [](const QByteArrayList &roots, const ScanOptions &options, std::stop_token stop) {
        return LibraryScanner::scan(roots, options, std::move(stop));
    };
    workers.rescan
        = [](const QByteArrayList &roots, const QByteArrayList &paths, const ScanOptions &options,
              std::stop_token stop) { return LibraryScanner::rescan(roots, paths, options, std::move(stop)); };
    return workers;
}

LibraryWorkers Probe::workers(const QStringList &held) const
{
    return workersOf(held, gate, groups, scans, rulePasses);
}

} // namespace StoreTesting
