#pragma once

// The desktop application: `tessary` without a command. Opens the main window on the one
// LibraryStore of the process, or, when Tessary already runs on this session bus, brings that
// instance's window forward and returns. Returns the process exit status: 1 when no graphical
// session can be opened.
namespace TessaryApplication {
int run(int argc, char **argv);
} // namespace TessaryApplication
