#pragma once

#include <functional>

// Waiting in the benchmark programs' own loops. QCoreApplication::processEvents(flags, ms)
// drops WaitForMoreEvents and polls, so a loop around it keeps a core busy, which on a
// two-core machine takes that core from the very work being timed.
namespace EventWait {

// Handles the events that arrive within `maxMs`, sleeping while none do; returns after the
// first batch or when the time is up.
void atMost(int maxMs);

// Handles events until `done` holds (true) or `timeoutMs` has passed (false).
bool until(const std::function<bool()> &done, int timeoutMs);

} // namespace EventWait
