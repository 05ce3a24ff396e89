#pragma once

#include "library/filerecord.h"

#include <QString>

#include <functional>

// What the automation interfaces ask of the window.
struct AutomationHooks
{
    // Brings the main window to the front.
    std::function<void()> showMain;
    // Lets the window show the search that the store's query now holds; may be empty.
    std::function<void(const QString &query)> searchInWindow;
    // Opens a file of the library with its application; empty: the store opens it.
    std::function<void(const FileRecord &file)> openFile;
};
