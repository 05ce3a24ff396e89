#pragma once

#include "store/audioplayer.h"
#include "store/librarystore.h"

#include <QSemaphore>
#include <QTemporaryDir>

#include <atomic>
#include <initializer_list>
#include <memory>

// Helpers shared by the store's tests: canned workers, records made in memory, and gates that
// hold a worker at a chosen point.
namespace StoreTesting {

// Points HOME and the XDG folders into a temporary folder, so nothing a store writes reaches
// the user's own settings, index or Trash, and makes the default locale en_US for the grouped
// counts. Hold one as a member of the test object, so it exists before the first store.
class StoreEnvironment
{
public:
    StoreEnvironment();
    // A settings file no store has used yet.
    QString newSettingsFile() { return path(QStringLiteral("defaults-%1.json").arg(++m_files)); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    int m_files = 0;
};

// A store setup over `settingsFile` that restores nothing unless `restores`.
LibraryStore::Setup setup(const QString &settingsFile, const LibraryWorkers &workers, bool restores = false);
LibraryStore::Setup setup(const QString &settingsFile);

FileRecord record(const QByteArray &path, FileKind kind = FileKind::other, qint64 size = 0,
    const Timestamp &modified = Timestamp::fromUnix(1'700'000'000));
// The destination whose key is `key` ("Images", "folder:/lib"); a key that names none ends the test
// program.
Destination place(QStringView key);
// The names of `files`, in order.
QStringList names(const QList<FileRecord> &files);
// UTF-8 literals as a list.
QStringList strings(std::initializer_list<const char *> texts);

// Data rows of text: textColumns() declares QString columns, textRow() adds a row of UTF-8 texts.
void textColumns(std::initializer_list<const char *> columns);
void textRow(const char *name, std::initializer_list<const char *> texts);

// Workers that scan and read changed paths on disk (without opening contents) and otherwise
// return at once.
LibraryWorkers diskWorkers();

// Waits until every background job has returned and its result has been delivered (or
// dropped) on the main thread.
void settle();

// A worker that calls wait() blocks until the test calls open(). Copies share one state, so a
// worker that outlives its test never waits on freed memory.
class Gate
{
public:
    void open() const { m_state->tokens.release(); }
    void wait() const
    {
        ++m_state->arrivals;
        m_state->tokens.acquire();
        m_state->tokens.release();
    }
    // How many calls of wait() have started.
    int arrivals() const { return m_state->arrivals.load(); }

private:
    struct State
    {
        QSemaphore tokens; // one once opened: each waiter takes it and puts it back
        std::atomic<int> arrivals { 0 };
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

using Counter = std::shared_ptr<std::atomic<int>>;

// Workers that count the rule passes and the scans that read the library whole (not the listing
// that shows a first scan's files before their media are read), and return `groups` as both
// duplicates and look-alikes; the ones named in `held` ("scan", "index", "duplicates",
// "similar", "rules") wait for `gate` first. Without `held` they return at once and touch
// nothing on disk.
//
// Declare the probe before its store: going out of scope, even after a failed check, it opens
// the gate and lets every job end.
struct Probe
{
    Counter scans = std::make_shared<std::atomic<int>>(0);
    Counter rulePasses = std::make_shared<std::atomic<int>>(0);
    Gate gate;
    QList<DuplicateGroup> groups;

    Probe() = default;
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;
    ~Probe();
    LibraryWorkers workers(const QStringList &held = {}) const;
};

// Writes what the store asks of it to a log ("play NAME", "pause NAME"); a test ends its song by
// emitting finished().
class LoggingPlayer : public AudioPlayer
{
public:
    LoggingPlayer(const QByteArray &path, QStringList *log)
        : m_name(QString::fromUtf8(path.mid(path.lastIndexOf('/') + 1)))
        , m_log(log)
    { }
    void play() override { m_log->append(QStringLiteral("play ") + m_name); }
    void pause() override { m_log->append(QStringLiteral("pause ") + m_name); }

private:
    QString m_name;
    QStringList *m_log;
};

} // namespace StoreTesting
