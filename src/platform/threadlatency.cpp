#include "platform/threadlatency.h"

#include <cerrno>
#include <linux/sched.h>
#include <linux/sched/types.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ThreadLatency {
namespace {

// Well under the default slice (0.75 ms times a factor that grows with the number of
// processors), so that the thread's deadline comes before a busy thread's when it wakes.
constexpr __u64 kSliceNanoseconds = 300'000;

} // namespace

bool preferPromptWakeUps()
{
    // A thread someone put in the batch or idle class stays there. The policy carries the
    // reset-on-fork flag once this has been asked before, which changes nothing here.
    const long policy = ::syscall(SYS_sched_getscheduler, 0);
    if (policy < 0 || (policy & ~long(SCHED_RESET_ON_FORK)) != SCHED_NORMAL)
        return false;
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (nice == -1 && errno != 0)
        return false;
    sched_attr attributes {};
    attributes.size = sizeof attributes;
    attributes.sched_policy = SCHED_NORMAL;
    attributes.sched_flags = SCHED_FLAG_RESET_ON_FORK;
    attributes.sched_nice = nice;
    attributes.sched_runtime = kSliceNanoseconds;
    return ::syscall(SYS_sched_setattr, 0, &attributes, 0) == 0;
}

} // namespace ThreadLatency
