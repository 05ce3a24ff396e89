#include "store/backgroundjob.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace WorkerPools {

QThreadPool *userInitiated()
{
    static QThreadPool pool;
    static const bool configured = [] {
        pool.setMaxThreadCount(4);
        return true;
    }();
    Q_UNUSED(configured);
    return &pool;
}

QThreadPool *utility()
{
    static QThreadPool pool;
    static const bool configured = [] {
        // Duplicates, index, look-alikes and rules may all run at once.
        pool.setMaxThreadCount(4);
        return true;
    }();
    Q_UNUSED(configured);
    return &pool;
}

void lowerCurrentThreadPriority()
{
    // On Linux the nice value is per thread; the pool's threads serve only utility work, and
    // threads a worker starts inherit the value.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    if (::getpriority(PRIO_PROCESS, thread) < 10)
        ::setpriority(PRIO_PROCESS, thread, 10);
}

} // namespace WorkerPools
