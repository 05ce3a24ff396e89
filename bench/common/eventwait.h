#pragma once

// Waiting in the benchmark programs' own loops. QCoreApplication::processEvents(flags, ms)
// drops WaitForMoreEvents and polls, so a loop around it keeps a core busy, which on a
// two-core machine takes that core from the very work being timed.
namespace EventWait {

// Handles the events that arrive within `maxMs`, sleeping while none do; returns after the
// first batch or when the time is up.
void atMost(int maxMs);

} // namespace EventWait
