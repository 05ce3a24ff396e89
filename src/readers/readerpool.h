#pragma once

#include "readers/readerfaults.h"
#include "readers/readerrequest.h"

#include <QByteArrayList>
#include <QList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

class ReaderProcess;

// The reader helpers: up to one per core, started when first needed and closed after a while
// unused. A batch of requests goes to one helper, a few messages ahead of the answers, and the
// answers come back in the batch's order. A helper that crashes, is killed, breaks the protocol
// or passes a file's time budget is replaced: that file gets `crashed` or `timedOut` and the rest
// of the batch goes to the new helper. Thread-safe: each calling thread holds its own helper
// while its batch runs.
class ReaderPool
{
public:
    using Budget = std::function<std::chrono::milliseconds(ReaderTask)>;

    struct Options
    {
        // Empty: `locateProgram()`.
        QByteArray program;
        // 0: one per core, at least two.
        int helpers = 0;
        bool testing = false;
        // Empty: `defaultBudget`.
        Budget budget;
        std::chrono::milliseconds idleLifetime = std::chrono::seconds(30);
    };

    // The pool for background work (scans, the text index, look-alike prints).
    static ReaderPool &shared();
    // A second pool for what someone is waiting to see (thumbnails, previews, a file's text),
    // so it never queues behind background batches.
    static ReaderPool &interactive();

    ReaderPool();
    explicit ReaderPool(Options options);
    ~ReaderPool();
    ReaderPool(const ReaderPool &) = delete;
    ReaderPool &operator=(const ReaderPool &) = delete;

    // Lets helpers read below `folders` as well; helpers started without them are replaced.
    void allow(const QByteArrayList &folders);

    QList<ReaderResponse> run(const QList<ReaderRequest> &batch, std::stop_token stop = {});
    ReaderResponse run(const ReaderRequest &request, std::stop_token stop = {});

    // Helpers started so far, replacements included.
    int startedHelpers() const;

    // Recognition and page rendering get the longest.
    static std::chrono::milliseconds defaultBudget(ReaderTask task);
    // $TESSARY_READER, else tessary-reader beside the running program, else where it is installed
    // relative to the program, else where it was built.
    static QByteArray locateProgram();

private:
    struct Helper;
    class BatchRun;

    std::unique_ptr<Helper> checkOut(QString *error);
    void checkIn(std::unique_ptr<Helper> helper);
    std::unique_ptr<Helper> startHelper(QString *error);
    void allowParentsOf(const QList<ReaderRequest> &batch);
    void closeIdleHelpers(std::stop_token stop);
    quint32 nextId();

    Options m_options;
    ReaderFaults m_faults;

    mutable std::mutex m_mutex;
    std::condition_variable m_idleChanged;
    std::vector<std::unique_ptr<Helper>> m_idle;
    int m_live = 0;
    QByteArrayList m_readable;
    quint64 m_generation = 0;
    int m_started = 0;
    quint32 m_nextId = 1;

    std::condition_variable_any m_trimWake;
    std::jthread m_trimmer;
};
