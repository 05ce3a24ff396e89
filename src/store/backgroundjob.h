#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <memory>
#include <stop_token>

// The handle of one background job. Cancelling asks the worker to stop at its next check and
// makes the job's applier drop the result, whenever it arrives.
class JobHandle
{
public:
    void cancel() { m_stop.request_stop(); }
    bool cancelled() const { return m_stop.stop_requested(); }
    std::stop_token token() const { return m_stop.get_token(); }

private:
    std::stop_source m_stop;
};

// Cancels the job held in `slot`, if any, and empties the slot.
inline void cancelJob(std::shared_ptr<JobHandle> &slot)
{
    if (slot)
        slot->cancel();
    slot.reset();
}

// The two priorities of background work, both below the main thread's so that the interface
// stays responsive: user-initiated (scans, copying text, preparing views) and, lower still,
// utility (duplicates, the text index, look-alikes, the rules). Each has its own pool, so a
// thread's priority never leaks from one kind of work to the other.
enum class JobPriority { userInitiated, utility };

namespace WorkerPools {
QThreadPool *pool(JobPriority priority);
// Sets the calling thread's nice value for `priority` (threads a worker starts inherit it).
void applyPriority(JobPriority priority);
// Hands memory that large values left free back to the system (from a worker thread).
void returnFreedMemory();
} // namespace WorkerPools

// Runs `work` at `priority` and then `apply` with its result on the thread of `context` (the
// main thread for the store), unless the job was cancelled meanwhile or `context` is gone.
// `work` receives the job's stop token and must not touch `context`.
template <typename Result>
std::shared_ptr<JobHandle> startBackgroundJob(QObject *context, JobPriority priority,
    std::function<Result(std::stop_token)> work, std::function<void(Result &&)> apply)
{
    auto handle = std::make_shared<JobHandle>();
    auto *watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, handle, apply = std::move(apply)] {
        watcher->deleteLater();
        if (handle->cancelled() || watcher->future().resultCount() == 0)
            return;
        Result result = watcher->future().takeResult();
        apply(std::move(result));
    });
    watcher->setFuture(
        QtConcurrent::run(WorkerPools::pool(priority), [work = std::move(work), priority, token = handle->token()] {
            WorkerPools::applyPriority(priority);
            return work(token);
        }));
    return handle;
}

// Lets go of a large value (a replaced file list, index or catalogue) on a worker thread, so
// that freeing tens of megabytes never stalls the main thread.
template <typename T> void releaseInBackground(T &&value)
{
    auto holder = std::make_shared<std::decay_t<T>>(std::forward<T>(value));
    WorkerPools::pool(JobPriority::userInitiated)->start([holder]() mutable { holder.reset(); });
}
