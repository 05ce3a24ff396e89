#pragma once

#include "readers/readerfaults.h"
#include "readers/readerrequest.h"

#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

class ReaderProcess;

// The reader helpers: a few per pool, started when first needed and closed after a while
// unused. A batch of requests goes to one helper, a few messages ahead of the answers, and the
// answers come back in the batch's order. The pool opens each file read-only itself and passes
// the descriptor along: a helper reads nothing else of the user's.
//
// A helper is used only once it has reported that its seccomp filter and no-new-privileges are
// in force; otherwise nothing is read ("unconfined"). An answer beyond what its request allows
// (ReaderReplyLimits), a crash, a broken message or an overrun of the file's time budget stops
// that helper: the file gets `crashed` or `timedOut` and the rest of the batch goes to a
// replacement. Several helpers in a row that fail to start, or that their system call filter
// stops before their first answer, mean the helper itself cannot work here (a library update
// that needs a call the filter refuses): the pool stops ("failing") instead of blaming file
// after file.
// Thread-safe: each calling thread holds its own helper while its batch runs.
class ReaderPool
{
public:
    using Budget = std::function<std::chrono::milliseconds(ReaderTask)>;

    enum class Priority { interactive, background };
    enum class Health { ready, unconfined, failing };
    // A batch `ahead` takes the next free helper before every batch `inTurn` that waits for one:
    // the few media facts a change needs are not queued behind a long run of text extraction.
    enum class Precedence { inTurn, ahead };
    // How much of each media file of a batch is asked of the kernel before the helper reads
    // it (the first 512 KiB the image reader reads in one go).
    static constexpr qint64 kMediaHeadBytes = 512 * 1024;

    struct Options
    {
        // Empty: `locateProgram()`.
        QByteArray program;
        // 0: this pool's share of the helpers this machine affords (see `defaultShare`).
        int helpers = 0;
        bool testing = false;
        // Empty: `defaultBudget`.
        Budget budget;
        std::chrono::milliseconds idleLifetime = std::chrono::seconds(30);
        Priority priority = Priority::interactive;
        // Memory of each helper; 0: `defaultShare`'s.
        quint64 memoryBytes = 0;
        // Null: a memory of this pool's own that ends with it.
        std::shared_ptr<ReaderFaults> faults;
        // Helpers in a row that may stop before their first answer.
        int helpersLostBeforeStopping = 3;
        std::chrono::milliseconds startTimeout = std::chrono::seconds(20);
    };

    // Helpers of both pools together may use half of the physical memory: a number of helpers
    // per pool (one per core at most) and the memory each may use.
    struct Share
    {
        int helpersPerPool = 1;
        quint64 memoryPerHelper = 0;
    };
    static Share defaultShare();

    // The pool for background work (the text index, look-alike prints, thumbnails ahead of the
    // view, the media facts of a scan): its helpers run with idle priority for processor and
    // disk.
    static ReaderPool &shared();
    // A second pool for what someone is waiting on (visible thumbnails, previews, a file's
    // text), at normal priority, so it never queues behind background batches.
    static ReaderPool &interactive();

    ReaderPool();
    explicit ReaderPool(Options options);
    ~ReaderPool();
    ReaderPool(const ReaderPool &) = delete;
    ReaderPool &operator=(const ReaderPool &) = delete;

    QList<ReaderResponse> run(
        const QList<ReaderRequest> &batch, std::stop_token stop = {}, Precedence precedence = Precedence::inTurn);
    ReaderResponse run(const ReaderRequest &request, std::stop_token stop = {});

    Health health() const;
    // Helpers started so far, replacements included.
    int startedHelpers() const;

    // Recognition and page rendering get the longest.
    static std::chrono::milliseconds defaultBudget(ReaderTask task);
    // $TESSARY_READER, else tessary-reader beside the running program, else where it is installed
    // relative to the program, else where it was built.
    static QByteArray locateProgram();

    // Processor time a helper may use over its life; helpers past a third of it are retired.
    static constexpr std::chrono::seconds kHelperCpuTime { 3600 };

private:
    struct Helper;
    class BatchRun;

    std::unique_ptr<Helper> checkOut(QString *error, Precedence precedence);
    void checkIn(std::unique_ptr<Helper> helper);
    std::unique_ptr<Helper> startHelper(QString *error);
    // A helper stopped before answering anything (on the file at `path`, if any); true when
    // the pool is stopped.
    bool lostBeforeAnswering(const QByteArray &path);
    void answered();
    QString unavailableReason() const;
    void closeIdleHelpers(std::stop_token stop);
    quint32 nextId();

    Options m_options;

    mutable std::mutex m_mutex;
    std::condition_variable m_idleChanged;
    std::vector<std::unique_ptr<Helper>> m_idle;
    int m_live = 0;
    int m_waitingAhead = 0; // threads of `Precedence::ahead` batches waiting in checkOut
    int m_started = 0;
    int m_lostInARow = 0;
    // Files whose helper stopped on them before answering anything: blamed once another helper
    // answers, forgotten if the pool stops.
    QList<QByteArray> m_suspects;
    Health m_health = Health::ready;
    quint32 m_nextId = 1;

    std::condition_variable_any m_trimWake;
    std::jthread m_trimmer;
};
