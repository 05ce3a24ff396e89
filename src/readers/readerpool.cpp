#include "readers/readerpool.h"

#include "readers/readerchannel.h"
#include "readers/readercodec.h"
#include "readers/readerprocess.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <unistd.h>

using namespace std::chrono_literals;
using Status = ReaderResponse::Status;
using Clock = ReaderChannel::Clock;

struct ReaderPool::Helper
{
    std::unique_ptr<ReaderProcess> process;
    std::unique_ptr<ReaderChannel> channel;
    quint64 generation = 0;
    Clock::time_point lastUsed;
};

namespace {

// Requests sent ahead of the answers: enough to keep a helper busy, small enough that neither
// side's socket buffer fills while the other is writing.
constexpr int kWindow = 8;
// How long a cancelled batch may take to wind down before its helper is stopped.
constexpr auto kCancelGrace = 2s;
// How often a waiting batch looks at its stop token.
constexpr auto kStopPoll = 50ms;

bool isUnder(const QByteArray &path, const QByteArray &folder)
{
    if (folder == "/")
        return path.startsWith('/');
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == '/');
}

// Whether a request's path names the file it is about (for the fault memory).
bool namesAFile(ReaderTask task)
{
    return task != ReaderTask::protections && task != ReaderTask::cancel;
}

// Whether the helper must be able to read the request's path (test requests probe paths that
// must stay out of reach).
bool readsAFile(ReaderTask task)
{
    return namesAFile(task) && task < ReaderTask::testCrash;
}

} // namespace

// One batch on one helper (and its replacements).
class ReaderPool::BatchRun
{
public:
    BatchRun(ReaderPool &pool, const QList<ReaderRequest> &batch, std::stop_token stop)
        : m_pool(pool), m_batch(batch), m_stop(std::move(stop)), m_results(batch.size())
    { }

    QList<ReaderResponse> run()
    {
        for (qsizetype i = 0; i < m_batch.size(); ++i) {
            if (namesAFile(m_batch[i].task) && m_pool.m_faults.refuses(m_batch[i].path))
                m_results[i] = ReaderResponse::withStatus(Status::refused, QStringLiteral("The file stopped the reader twice"));
            else
                m_pending.append(i);
        }
        if (m_pending.isEmpty())
            return m_results;
        if (m_stop.stop_requested())
            return cancelRest();
        QString error;
        m_helper = m_pool.checkOut(&error);
        if (!m_helper)
            return failRest(error);
        serve();
        if (m_helper)
            m_pool.checkIn(std::move(m_helper));
        return m_results;
    }

private:
    void serve()
    {
        m_started = Clock::now();
        while (m_received < m_pending.size()) {
            if (!sendAhead()) {
                fault(Status::crashed);
                continue;
            }
            if (m_stop.stop_requested() && !m_cancelling)
                cancelOutstanding();
            const Clock::time_point deadline = m_cancelling
                ? std::min(m_graceEnd, budgetEnd())
                : budgetEnd();
            QByteArray payload;
            const auto outcome = m_helper->channel->receive(&payload, std::min(deadline, Clock::now() + kStopPoll));
            if (outcome == ReaderChannel::Outcome::timedOut && Clock::now() < deadline)
                continue;
            if (outcome == ReaderChannel::Outcome::message) {
                const std::optional<ReaderCodec::Response> response = ReaderCodec::decodeResponse(payload);
                if (response && response->id == m_ids[m_received]) {
                    m_results[m_pending[m_received]] = response->response;
                    ++m_received;
                    m_started = Clock::now();
                    continue;
                }
            }
            fault(outcome == ReaderChannel::Outcome::timedOut ? Status::timedOut : Status::crashed);
            if (!m_helper)
                return;
        }
    }

    Clock::time_point budgetEnd() const
    {
        const ReaderTask task = m_batch[m_pending[m_received]].task;
        return m_started + (m_pool.m_options.budget ? m_pool.m_options.budget(task) : defaultBudget(task));
    }

    bool sendAhead()
    {
        ReaderChannel &channel = *m_helper->channel;
        while (m_ids.size() < m_pending.size() && m_ids.size() - m_received < kWindow && !m_cancelling) {
            const quint32 id = m_pool.nextId();
            if (!channel.send(ReaderCodec::encode(id, m_batch[m_pending[m_ids.size()]])))
                return false;
            m_ids.append(id);
        }
        return true;
    }

    void cancelOutstanding()
    {
        m_cancelling = true;
        m_graceEnd = Clock::now() + kCancelGrace;
        ReaderChannel &channel = *m_helper->channel;
        for (qsizetype i = m_received; i < m_ids.size(); ++i) {
            ReaderRequest cancel;
            cancel.task = ReaderTask::cancel;
            cancel.page = int(m_ids[i]);
            channel.send(ReaderCodec::encode(0, cancel));
        }
        // What was never sent is simply not asked for.
        for (qsizetype i = m_ids.size(); i < m_pending.size(); ++i)
            m_results[m_pending[i]] = ReaderResponse::withStatus(Status::cancelled);
        m_pending.resize(m_ids.size());
    }

    // The helper died, broke the protocol or overran: the file it was on takes the blame, the
    // helper is replaced and the rest of the batch is sent again.
    void fault(Status status)
    {
        const qsizetype index = m_pending[m_received];
        m_helper->process->kill();
        if (m_cancelling) {
            m_helper.reset();
            m_pool.checkIn(nullptr);
            cancelRest();
            return;
        }
        const ReaderRequest &request = m_batch[index];
        if (namesAFile(request.task))
            m_pool.m_faults.record(request.path);
        qWarning("tessary: reading %s %s its reader (%s), which was replaced", request.path.constData(),
            status == Status::timedOut ? "took too long for" : "stopped",
            qPrintable(m_helper->process->exitDescription()));
        m_results[index] = ReaderResponse::withStatus(status,
            status == Status::timedOut ? QStringLiteral("Reading the file took too long")
                                       : QStringLiteral("The file stopped the reader"));
        ++m_received;
        m_ids.resize(m_received);
        QString error;
        std::unique_ptr<Helper> replacement = m_pool.startHelper(&error);
        if (!replacement) {
            m_helper.reset();
            m_pool.checkIn(nullptr);
            failRest(error);
            return;
        }
        replacement->generation = m_helper->generation;
        m_helper = std::move(replacement);
        m_started = Clock::now();
    }

    QList<ReaderResponse> cancelRest()
    {
        return fillRest(ReaderResponse::withStatus(Status::cancelled));
    }

    QList<ReaderResponse> failRest(const QString &error)
    {
        return fillRest(ReaderResponse::withStatus(Status::unavailable, QStringLiteral("No file reader: %1").arg(error)));
    }

    QList<ReaderResponse> fillRest(const ReaderResponse &response)
    {
        for (qsizetype i = m_received; i < m_pending.size(); ++i)
            m_results[m_pending[i]] = response;
        m_received = m_pending.size();
        return m_results;
    }

    ReaderPool &m_pool;
    const QList<ReaderRequest> &m_batch;
    std::stop_token m_stop;
    QList<ReaderResponse> m_results;
    QList<qsizetype> m_pending; // indexes into the batch, in order
    QList<quint32> m_ids;        // ids of the pending requests sent so far
    qsizetype m_received = 0;
    std::unique_ptr<Helper> m_helper;
    Clock::time_point m_started;
    bool m_cancelling = false;
    Clock::time_point m_graceEnd;
};

ReaderPool &ReaderPool::shared()
{
    static ReaderPool pool;
    return pool;
}

ReaderPool &ReaderPool::interactive()
{
    static ReaderPool pool;
    return pool;
}

ReaderPool::ReaderPool() : ReaderPool(Options()) { }

ReaderPool::ReaderPool(Options options) : m_options(std::move(options))
{
    if (m_options.program.isEmpty())
        m_options.program = locateProgram();
    if (m_options.helpers <= 0)
        m_options.helpers = std::max(2, QThread::idealThreadCount());
    m_trimmer = std::jthread([this](std::stop_token stop) { closeIdleHelpers(stop); });
}

ReaderPool::~ReaderPool()
{
    m_trimmer.request_stop();
    m_trimWake.notify_all();
    m_trimmer.join();
}

std::chrono::milliseconds ReaderPool::defaultBudget(ReaderTask task)
{
    switch (task) {
    case ReaderTask::text:
        return 180s;
    case ReaderTask::pdfPage:
    case ReaderTask::pdfPages:
        return 60s;
    case ReaderTask::media:
        return 20s;
    default:
        return 30s;
    }
}

QByteArray ReaderPool::locateProgram()
{
    const QByteArray chosen = qgetenv("TESSARY_READER");
    if (!chosen.isEmpty())
        return chosen;
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        const QByteArray folder = QFileInfo(QString::fromLocal8Bit(self, length)).absolutePath().toLocal8Bit();
        const QByteArrayList candidates { folder + "/tessary-reader", folder + "/" TESSARY_READER_INSTALLED };
        for (const QByteArray &candidate : candidates) {
            if (::access(candidate.constData(), X_OK) == 0)
                return candidate;
        }
    }
    return QByteArrayLiteral(TESSARY_READER_BUILT);
}

void ReaderPool::allow(const QByteArrayList &folders)
{
    char cwd[4096];
    const QByteArray here = ::getcwd(cwd, sizeof cwd) != nullptr ? QByteArray(cwd) : QByteArray();
    std::lock_guard lock(m_mutex);
    bool added = false;
    for (QByteArray folder : folders) {
        if (!folder.startsWith('/') && !here.isEmpty())
            folder = here + '/' + folder;
        while (folder.size() > 1 && folder.endsWith('/'))
            folder.chop(1);
        const bool covered = std::any_of(m_readable.cbegin(), m_readable.cend(),
            [&](const QByteArray &known) { return isUnder(folder, known); });
        if (!covered && folder.startsWith('/')) {
            m_readable.append(folder);
            added = true;
        }
    }
    if (added)
        ++m_generation;
}

void ReaderPool::allowParentsOf(const QList<ReaderRequest> &batch)
{
    QByteArrayList missing;
    {
        std::lock_guard lock(m_mutex);
        for (const ReaderRequest &request : batch) {
            if (!readsAFile(request.task) || !request.path.startsWith('/'))
                continue;
            const bool covered = std::any_of(m_readable.cbegin(), m_readable.cend(),
                [&](const QByteArray &known) { return isUnder(request.path, known); });
            if (!covered) {
                const qsizetype slash = request.path.lastIndexOf('/');
                missing.append(slash == 0 ? QByteArrayLiteral("/") : request.path.left(slash));
            }
        }
    }
    if (!missing.isEmpty())
        allow(missing);
}

QList<ReaderResponse> ReaderPool::run(const QList<ReaderRequest> &batch, std::stop_token stop)
{
    allowParentsOf(batch);
    return BatchRun(*this, batch, std::move(stop)).run();
}

ReaderResponse ReaderPool::run(const ReaderRequest &request, std::stop_token stop)
{
    return run(QList<ReaderRequest> { request }, std::move(stop)).constFirst();
}

int ReaderPool::startedHelpers() const
{
    std::lock_guard lock(m_mutex);
    return m_started;
}

quint32 ReaderPool::nextId()
{
    std::lock_guard lock(m_mutex);
    // 0 is never an id (cancel messages carry it), and ids stay positive as ints.
    if (m_nextId == 0 || m_nextId > 0x7fff'ffffu)
        m_nextId = 1;
    return m_nextId++;
}

std::unique_ptr<ReaderPool::Helper> ReaderPool::startHelper(QString *error)
{
    ReaderProcess::Launch launch;
    launch.program = m_options.program;
    launch.testing = m_options.testing;
    quint64 generation = 0;
    {
        std::lock_guard lock(m_mutex);
        launch.readable = m_readable;
        generation = m_generation;
        ++m_started;
    }
    std::unique_ptr<ReaderProcess> process = ReaderProcess::start(launch, error);
    if (!process)
        return nullptr;
    auto helper = std::make_unique<Helper>();
    helper->channel = std::make_unique<ReaderChannel>(process->socket());
    helper->process = std::move(process);
    helper->generation = generation;
    return helper;
}

std::unique_ptr<ReaderPool::Helper> ReaderPool::checkOut(QString *error)
{
    std::vector<std::unique_ptr<Helper>> stale;
    std::unique_lock lock(m_mutex);
    for (;;) {
        while (!m_idle.empty()) {
            std::unique_ptr<Helper> helper = std::move(m_idle.back());
            m_idle.pop_back();
            if (helper->generation == m_generation)
                return helper;
            // Started before folders were added: it cannot read them.
            stale.push_back(std::move(helper));
            --m_live;
        }
        if (m_live < m_options.helpers) {
            ++m_live;
            lock.unlock();
            stale.clear();
            std::unique_ptr<Helper> helper = startHelper(error);
            if (!helper) {
                checkIn(nullptr);
                return nullptr;
            }
            return helper;
        }
        m_idleChanged.wait(lock);
    }
}

// A null helper gives its place back (it died and could not be replaced).
void ReaderPool::checkIn(std::unique_ptr<Helper> helper)
{
    {
        std::lock_guard lock(m_mutex);
        if (helper) {
            helper->lastUsed = Clock::now();
            m_idle.push_back(std::move(helper));
        } else {
            --m_live;
        }
    }
    m_idleChanged.notify_one();
}

void ReaderPool::closeIdleHelpers(std::stop_token stop)
{
    for (;;) {
        std::vector<std::unique_ptr<Helper>> closing;
        {
            std::unique_lock lock(m_mutex);
            m_trimWake.wait_for(lock, stop, std::max<std::chrono::milliseconds>(m_options.idleLifetime / 3, 100ms),
                [] { return false; });
            const Clock::time_point oldest = Clock::now() - m_options.idleLifetime;
            for (auto it = m_idle.begin(); it != m_idle.end();) {
                if ((*it)->lastUsed < oldest || stop.stop_requested()) {
                    closing.push_back(std::move(*it));
                    it = m_idle.erase(it);
                    --m_live;
                } else {
                    ++it;
                }
            }
        }
        closing.clear();
        if (stop.stop_requested())
            return;
    }
}
