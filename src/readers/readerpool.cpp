#include "readers/readerpool.h"

#include "platform/regularfile.h"
#include "platform/systemerror.h"
#include "readers/readerchannel.h"
#include "readers/readercodec.h"
#include "readers/readerprocess.h"
#include "readers/readerreplylimits.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <unistd.h>

using namespace std::chrono_literals;
using Status = ReaderResponse::Status;
using Clock = ReaderChannel::Clock;

struct ReaderPool::Helper
{
    std::unique_ptr<ReaderProcess> process;
    std::unique_ptr<ReaderChannel> channel;
    Clock::time_point lastUsed;
    bool answered = false;
};

namespace {

// Requests sent ahead of the answers: enough to keep a helper busy, small enough that neither
// side's socket buffer fills while the other is writing.
constexpr int kWindow = 8;
// How many files ahead of the helper the heads of media files are asked for: a scan's batch.
constexpr qsizetype kHeadsAhead = 256;
// How long a cancelled batch may take to wind down before its helper is stopped.
constexpr auto kCancelGrace = 2s;
// How often a waiting batch looks at its stop token.
constexpr auto kStopPoll = 50ms;
// A helper that leaves no room for a request this long is stuck.
constexpr auto kSendDeadline = 10s;
// What a helper's first message may take.
constexpr quint32 kHandshakeBytes = 4096;
// Helpers of both pools together may use this share of physical memory, each at least the
// floor (recognition of a large page needs that much) and at most the ceiling.
constexpr quint64 kMemoryDivisor = 2;
constexpr quint64 kMemoryFloor = 768ULL << 20;
constexpr quint64 kMemoryCeiling = 4ULL << 30;

QString unconfinedMessage()
{
    return QStringLiteral("File contents are not read: this system cannot confine the readers");
}

QString failingMessage()
{
    return QStringLiteral("File contents are not read: the file reader stops before it can answer");
}

// Said once per process, whichever pool finds it out first.
void warnOnce(std::atomic<bool> &said, const QString &message)
{
    if (!said.exchange(true))
        qWarning("tessary: %s", qPrintable(message));
}

std::atomic<bool> saidUnconfined = false;
std::atomic<bool> saidFailing = false;

// Whether a request's path names the file it is about (for the fault memory).
bool namesAFile(ReaderTask task)
{
    return task != ReaderTask::protections && task != ReaderTask::cancel;
}

// Whether the helper needs the request's file, which the pool then opens and passes along.
bool opensTheFile(const ReaderRequest &request)
{
    switch (request.task) {
    case ReaderTask::text:
        return !request.cloudOnly && !request.package;
    case ReaderTask::thumbnail:
    case ReaderTask::print:
    case ReaderTask::media:
    case ReaderTask::pdfPages:
    case ReaderTask::pdfPage:
    case ReaderTask::image:
    case ReaderTask::playable:
    case ReaderTask::testProbe:
        return true;
    default:
        return false;
    }
}

} // namespace

// One batch on one helper (and its replacements).
class ReaderPool::BatchRun
{
public:
    BatchRun(ReaderPool &pool, const QList<ReaderRequest> &batch, std::stop_token stop, Precedence precedence)
        : m_pool(pool), m_batch(batch), m_stop(std::move(stop)), m_precedence(precedence), m_results(batch.size())
    { }

    QList<ReaderResponse> run()
    {
        for (qsizetype i = 0; i < m_batch.size(); ++i) {
            if (namesAFile(m_batch[i].task) && m_pool.m_options.faults->refuses(m_batch[i].path))
                m_results[i] = ReaderResponse::withStatus(Status::refused, QStringLiteral("The file stopped the reader twice"));
            else
                m_pending.append(i);
        }
        if (m_pending.isEmpty())
            return m_results;
        if (m_stop.stop_requested())
            return cancelRest();
        askForHeads();
        QString error;
        m_helper = m_pool.checkOut(&error, m_precedence);
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
        while (skipAnsweredHere()) {
            bool late = false;
            if (!sendAhead(&late)) {
                fault(late ? Status::timedOut : Status::crashed, late ? "left no room for a request" : "went away");
                if (!m_helper)
                    return;
                continue;
            }
            if (!skipAnsweredHere())
                return;
            if (m_stop.stop_requested() && !m_cancelling)
                cancelOutstanding();
            if (m_received == m_ids.size())
                continue;
            const Clock::time_point deadline = m_cancelling ? std::min(m_graceEnd, budgetEnd()) : budgetEnd();
            const ReaderRequest &request = m_batch[m_pending[m_received]];
            QByteArray payload;
            const auto outcome = m_helper->channel->receive(
                &payload, std::min(deadline, Clock::now() + kStopPoll), ReaderReplyLimits::payloadCap(request));
            if (outcome == ReaderChannel::Outcome::timedOut && Clock::now() < deadline)
                continue;
            if (outcome == ReaderChannel::Outcome::message) {
                std::optional<ReaderCodec::Response> response = ReaderCodec::decodeResponse(payload);
                if (response && response->id == m_ids[m_received]) {
                    if (!ReaderReplyLimits::accepts(request, response->response)) {
                        fault(Status::crashed, "answered beyond its bounds");
                    } else {
                        m_results[m_pending[m_received]] = std::move(response->response);
                        ++m_received;
                        m_started = Clock::now();
                        if (!std::exchange(m_helper->answered, true))
                            m_pool.answered();
                    }
                    if (!m_helper)
                        return;
                    continue;
                }
            }
            if (outcome == ReaderChannel::Outcome::timedOut)
                fault(Status::timedOut, "took too long");
            else
                fault(Status::crashed,
                    outcome == ReaderChannel::Outcome::oversized ? "answered beyond its bounds"
                        : outcome == ReaderChannel::Outcome::message ? "sent something that is no answer"
                                                                     : "stopped");
            if (!m_helper)
                return;
        }
    }

    // Steps over the requests answered without the helper; false when every one is answered.
    bool skipAnsweredHere()
    {
        while (m_received < m_ids.size() && m_ids[m_received] == 0)
            ++m_received;
        return m_received < m_pending.size();
    }

    Clock::time_point budgetEnd() const
    {
        const ReaderTask task = m_batch[m_pending[m_received]].task;
        return m_started + (m_pool.m_options.budget ? m_pool.m_options.budget(task) : defaultBudget(task));
    }

    // A helper reads one file at a time, so a cold disk would see one read at a time. Asking
    // the kernel for the heads of the coming media files lets it read them all at once, in
    // its own order, while the helper parses; the bytes go to the page cache and nothing here
    // looks at them.
    void askForHeads()
    {
        const qsizetype until = std::min(m_pending.size(), m_ids.size() + kHeadsAhead);
        for (; m_askedForHeads < until; ++m_askedForHeads) {
            const ReaderRequest &request = m_batch[m_pending[m_askedForHeads]];
            if (request.task != ReaderTask::media)
                continue;
            RegularFile(request.path).askForHead(kMediaHeadBytes);
        }
    }

    bool sendAhead(bool *late)
    {
        askForHeads();
        ReaderChannel &channel = *m_helper->channel;
        while (m_ids.size() < m_pending.size() && m_ids.size() - m_received < kWindow && !m_cancelling) {
            const qsizetype index = m_pending[m_ids.size()];
            const ReaderRequest &request = m_batch[index];
            std::optional<RegularFile> file;
            if (opensTheFile(request)) {
                file.emplace(request.path);
                if (!file->isOpen()) {
                    // Nothing to read: answered here, without the helper.
                    m_results[index] = ReaderResponse::withStatus(Status::failed, SystemError::text(file->error()));
                    m_ids.append(0);
                    continue;
                }
            }
            const quint32 id = m_pool.nextId();
            if (!channel.send(ReaderCodec::encode(id, request, file.has_value()), file ? file->fd() : -1,
                    Clock::now() + kSendDeadline, late))
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
            if (m_ids[i] == 0)
                continue;
            ReaderRequest cancel;
            cancel.task = ReaderTask::cancel;
            cancel.page = int(m_ids[i]);
            channel.send(ReaderCodec::encode(0, cancel), -1, Clock::now() + kSendDeadline);
        }
        // What was never sent is simply not asked for.
        for (qsizetype i = m_ids.size(); i < m_pending.size(); ++i)
            m_results[m_pending[i]] = ReaderResponse::withStatus(Status::cancelled);
        m_pending.resize(m_ids.size());
    }

    // The helper died, broke the protocol, answered beyond its bounds or overran: the file it
    // was on takes the blame, the helper is replaced and the rest of the batch is sent again.
    // A helper its system call filter stopped before it answered anything may instead have met
    // a call its libraries newly need: that file is blamed only once another helper answers.
    void fault(Status status, const char *what)
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
        qWarning("tessary: the file reader %s on %s and was replaced (%s)", what, request.path.constData(),
            qPrintable(m_helper->process->exitDescription()));
        if (!m_helper->answered && m_helper->process->endedByItsFilter()) {
            const bool stopping = m_pool.lostBeforeAnswering(namesAFile(request.task) ? request.path : QByteArray());
            m_results[index] = ReaderResponse::withStatus(Status::unavailable,
                stopping ? failingMessage() : QStringLiteral("The file reader stopped before answering"));
        } else {
            if (namesAFile(request.task))
                m_pool.m_options.faults->record(request.path);
            m_results[index] = ReaderResponse::withStatus(status,
                status == Status::timedOut ? QStringLiteral("Reading the file took too long")
                                           : QStringLiteral("The file stopped the reader"));
        }
        ++m_received;
        m_ids.resize(m_received);
        QString error;
        std::unique_ptr<Helper> replacement = m_pool.startHelper(&error);
        m_helper.reset();
        if (!replacement) {
            m_pool.checkIn(nullptr);
            failRest(error);
            return;
        }
        m_helper = std::move(replacement);
        m_started = Clock::now();
    }

    QList<ReaderResponse> cancelRest()
    {
        return fillRest(ReaderResponse::withStatus(Status::cancelled));
    }

    QList<ReaderResponse> failRest(const QString &error)
    {
        return fillRest(ReaderResponse::withStatus(Status::unavailable, error));
    }

    QList<ReaderResponse> fillRest(const ReaderResponse &response)
    {
        for (qsizetype i = m_received; i < m_pending.size(); ++i) {
            if (i >= m_ids.size() || m_ids[i] != 0)
                m_results[m_pending[i]] = response;
        }
        m_received = m_pending.size();
        return m_results;
    }

    ReaderPool &m_pool;
    const QList<ReaderRequest> &m_batch;
    std::stop_token m_stop;
    const Precedence m_precedence;
    QList<ReaderResponse> m_results;
    QList<qsizetype> m_pending; // indexes into the batch, in order
    QList<quint32> m_ids; // ids of the pending requests sent so far; 0 for those answered here
    qsizetype m_received = 0;
    qsizetype m_askedForHeads = 0; // into m_pending
    std::unique_ptr<Helper> m_helper;
    Clock::time_point m_started;
    bool m_cancelling = false;
    Clock::time_point m_graceEnd;
};

ReaderPool::Share ReaderPool::defaultShare()
{
    const int cores = std::max(2, QThread::idealThreadCount());
    const quint64 physical = quint64(::sysconf(_SC_PHYS_PAGES)) * quint64(::sysconf(_SC_PAGESIZE));
    const quint64 budget = physical / kMemoryDivisor;
    const int affordable = int(std::clamp<quint64>(budget / kMemoryFloor, 2, quint64(2 * cores)));
    Share share;
    share.helpersPerPool = std::max(1, affordable / 2);
    share.memoryPerHelper = std::clamp(budget / quint64(2 * share.helpersPerPool), kMemoryFloor, kMemoryCeiling);
    return share;
}

// The shared pools live as long as the process. Destroyed at exit, they would wait for ever for a
// worker thread still waiting for a helper (destroying a condition variable waits for its
// waiters), or free what such a thread is about to use; helpers end with the process anyway.
ReaderPool &ReaderPool::shared()
{
    static ReaderPool *const pool = new ReaderPool([] {
        Options options;
        options.priority = Priority::background;
        options.faults = std::shared_ptr<ReaderFaults>(std::shared_ptr<ReaderFaults>(), &ReaderFaults::stored());
        return options;
    }());
    return *pool;
}

ReaderPool &ReaderPool::interactive()
{
    static ReaderPool *const pool = new ReaderPool([] {
        Options options;
        options.faults = std::shared_ptr<ReaderFaults>(std::shared_ptr<ReaderFaults>(), &ReaderFaults::stored());
        return options;
    }());
    return *pool;
}

ReaderPool::ReaderPool() : ReaderPool(Options()) { }

ReaderPool::ReaderPool(Options options) : m_options(std::move(options))
{
    if (m_options.program.isEmpty())
        m_options.program = locateProgram();
    const Share share = defaultShare();
    if (m_options.helpers <= 0)
        m_options.helpers = share.helpersPerPool;
    if (m_options.memoryBytes == 0)
        m_options.memoryBytes = share.memoryPerHelper;
    if (!m_options.faults)
        m_options.faults = std::make_shared<ReaderFaults>();
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
    case ReaderTask::playable:
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

QList<ReaderResponse> ReaderPool::run(const QList<ReaderRequest> &batch, std::stop_token stop, Precedence precedence)
{
    return BatchRun(*this, batch, std::move(stop), precedence).run();
}

ReaderResponse ReaderPool::run(const ReaderRequest &request, std::stop_token stop)
{
    return run(QList<ReaderRequest> { request }, std::move(stop)).constFirst();
}

ReaderPool::Health ReaderPool::health() const
{
    std::lock_guard lock(m_mutex);
    return m_health;
}

int ReaderPool::startedHelpers() const
{
    std::lock_guard lock(m_mutex);
    return m_started;
}

quint32 ReaderPool::nextId()
{
    std::lock_guard lock(m_mutex);
    // 0 is never an id (cancel messages and the helper's first message carry it), and ids stay
    // positive as ints.
    if (m_nextId == 0 || m_nextId > 0x7fff'ffffu)
        m_nextId = 1;
    return m_nextId++;
}

QString ReaderPool::unavailableReason() const
{
    return m_health == Health::unconfined ? unconfinedMessage() : failingMessage();
}

bool ReaderPool::lostBeforeAnswering(const QByteArray &path)
{
    std::lock_guard lock(m_mutex);
    if (!path.isEmpty())
        m_suspects.append(path);
    if (++m_lostInARow < m_options.helpersLostBeforeStopping || m_health != Health::ready)
        return m_health != Health::ready;
    m_health = Health::failing;
    m_suspects.clear();
    warnOnce(saidFailing,
        failingMessage()
            + QStringLiteral(" (%1 in a row stopped; see the kernel's log for a refused system call)")
                  .arg(m_lostInARow));
    return true;
}

void ReaderPool::answered()
{
    QList<QByteArray> suspects;
    {
        std::lock_guard lock(m_mutex);
        m_lostInARow = 0;
        suspects.swap(m_suspects);
    }
    // Another helper works: those that stopped before answering stopped on their files.
    for (const QByteArray &path : std::as_const(suspects))
        m_options.faults->record(path);
}

std::unique_ptr<ReaderPool::Helper> ReaderPool::startHelper(QString *error)
{
    ReaderProcess::Launch launch;
    launch.program = m_options.program;
    launch.testing = m_options.testing;
    launch.background = m_options.priority == Priority::background;
    launch.memoryBytes = m_options.memoryBytes;
    launch.cpuSeconds = quint64(kHelperCpuTime.count());
    {
        std::lock_guard lock(m_mutex);
        if (m_health != Health::ready) {
            *error = unavailableReason();
            return nullptr;
        }
        ++m_started;
    }
    std::unique_ptr<ReaderProcess> process = ReaderProcess::start(launch, error);
    if (!process) {
        *error = QStringLiteral("No file reader: %1").arg(*error);
        return nullptr;
    }
    auto channel = std::make_unique<ReaderChannel>(process->socket());
    // The helper's first message says what confines it.
    QByteArray payload;
    const auto outcome = channel->receive(&payload, Clock::now() + m_options.startTimeout, kHandshakeBytes);
    const std::optional<ReaderCodec::Response> hello
        = outcome == ReaderChannel::Outcome::message ? ReaderCodec::decodeResponse(payload) : std::nullopt;
    if (!hello || hello->id != 0) {
        process->kill();
        qWarning("tessary: the file reader stopped before it started (%s)", qPrintable(process->exitDescription()));
        *error
            = lostBeforeAnswering({}) ? failingMessage() : QStringLiteral("The file reader stopped before it started");
        return nullptr;
    }
    const SandboxProtections &confinement = hello->response.confinement;
    if (!confinement.seccomp || !confinement.noNewPrivileges) {
        process->kill();
        {
            std::lock_guard lock(m_mutex);
            m_health = Health::unconfined;
        }
        warnOnce(saidUnconfined, unconfinedMessage() + QStringLiteral(" (in force: %1)").arg(confinement.describe()));
        *error = unconfinedMessage();
        return nullptr;
    }
    auto helper = std::make_unique<Helper>();
    helper->channel = std::move(channel);
    helper->process = std::move(process);
    return helper;
}

std::unique_ptr<ReaderPool::Helper> ReaderPool::checkOut(QString *error, Precedence precedence)
{
    std::unique_lock lock(m_mutex);
    const bool ahead = precedence == Precedence::ahead;
    if (ahead)
        ++m_waitingAhead;
    // Leaves the queue of batches ahead; the others may take a free helper once none is left.
    const auto leave = [&] {
        if (ahead && --m_waitingAhead == 0)
            m_idleChanged.notify_all();
    };
    for (;;) {
        if (m_health != Health::ready) {
            leave();
            *error = unavailableReason();
            return nullptr;
        }
        const bool mayTake = ahead || m_waitingAhead == 0;
        if (mayTake && !m_idle.empty()) {
            leave();
            std::unique_ptr<Helper> helper = std::move(m_idle.back());
            m_idle.pop_back();
            return helper;
        }
        if (mayTake && m_live < m_options.helpers) {
            leave();
            ++m_live;
            lock.unlock();
            std::unique_ptr<Helper> helper = startHelper(error);
            if (!helper)
                checkIn(nullptr);
            return helper;
        }
        m_idleChanged.wait(lock);
    }
}

// A null helper gives its place back (it died and could not be replaced). A helper that used
// much of its processor time is retired before its limit could stop it in the middle of a file.
void ReaderPool::checkIn(std::unique_ptr<Helper> helper)
{
    if (helper && helper->process->cpuTime() > kHelperCpuTime / 3)
        helper.reset();
    {
        std::lock_guard lock(m_mutex);
        if (helper) {
            helper->lastUsed = Clock::now();
            m_idle.push_back(std::move(helper));
        } else {
            --m_live;
        }
    }
    m_idleChanged.notify_all();
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
