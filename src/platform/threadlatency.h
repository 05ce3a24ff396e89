#pragma once

namespace ThreadLatency {

// Asks the scheduler to run the calling thread promptly when it wakes, ahead of busy threads
// of the same nice value or lower priority that would otherwise finish their time slice first:
// the thread keeps its policy and nice value and takes a short time slice, which the kernel
// (6.12 and later) uses to decide preemption at wake-up. Its share of the processor under load
// is unchanged. Threads and processes it starts afterwards begin with the defaults. False when
// the kernel refused the request; older kernels accept it and carry on as before.
bool preferPromptWakeUps();

} // namespace ThreadLatency
