#pragma once

#include <QString>

// Whether the window can be opened at all. Without a display Qt would abort with a core dump;
// Tessary instead prints one line that says what to do and exits with status 1.
namespace GraphicalSession {
// The line printed when no display can be opened.
QString unavailableMessage();
// False when the environment names no display Qt could use (no DISPLAY, no WAYLAND_DISPLAY and
// no QT_QPA_PLATFORM). A named display may still be unreachable: see installFailureHandler.
bool environmentNamesDisplay();
// Turns Qt's fatal "cannot open the display" errors into the message and exit status 1.
// Install before the QApplication is made, remove once it exists.
void installFailureHandler();
void removeFailureHandler();
} // namespace GraphicalSession
