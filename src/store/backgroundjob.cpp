#include "store/backgroundjob.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace WorkerPools {
namespace {

// Nice values: the main thread runs at 0. A thread at 4 gets about 40 % of the processor time
// a thread at 0 gets when both want it, one at 10 about 10 %.
constexpr int kUserInitiatedNice = 4;
constexpr int kUtilityNice = 10;

QThreadPool *makePool(int threads)
{
    auto *pool = new QThreadPool;
    pool->setMaxThreadCount(threads);
    return pool;
}

} // namespace

QThreadPool *pool(JobPriority priority)
{
    // Kept to the end of the process: a job may still be finishing when the store goes away.
    static QThreadPool *const userInitiated = makePool(4);
    // Duplicates, index, look-alikes and rules may all run at once.
    static QThreadPool *const utility = makePool(4);
    return priority == JobPriority::utility ? utility : userInitiated;
}

void applyPriority(JobPriority priority)
{
    // On Linux the nice value belongs to the thread; each pool serves one priority only.
    const int nice = priority == JobPriority::utility ? kUtilityNice : kUserInitiatedNice;
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    if (::getpriority(PRIO_PROCESS, thread) < nice)
        ::setpriority(PRIO_PROCESS, thread, nice);
}

void returnFreedMemory()
{
    // The file lists, indexes and catalogues let go of here are tens of megabytes each; without
    // this the allocator keeps their pages for later and the process stays that much larger.
    ::malloc_trim(0);
}

} // namespace WorkerPools
