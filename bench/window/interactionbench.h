#pragma once

#include <QString>

// Interaction timings of the main window over 50,000 synthetic records with 50 MB of indexed
// text: a ten-character search typed into the toolbar's field with real key events, each
// keystroke timed to the window's next completed paint; switching from Home to a destination of
// every file; and paging that grid from top to bottom. Prints the figures; returns the number of
// targets missed.
namespace InteractionBench {
int run(const QString &workFolder);
} // namespace InteractionBench
