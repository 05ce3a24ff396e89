#pragma once

// The sub-commands of `tessary` that work without a window.
namespace CommandLine {

// True when the arguments name a sub-command (or ask for help or the version).
bool handles(int argc, char **argv);

// Runs it under a QCoreApplication and returns the exit status.
int run(int argc, char **argv);

} // namespace CommandLine
