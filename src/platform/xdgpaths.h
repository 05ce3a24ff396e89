#pragma once

#include <QString>

// The XDG base directories, read from the environment at each call so tests can redirect them.
namespace XdgPaths {
QString home();
QString dataHome();   // $XDG_DATA_HOME, else ~/.local/share
QString configHome(); // $XDG_CONFIG_HOME, else ~/.config
QString cacheHome();  // $XDG_CACHE_HOME, else ~/.cache
// Tessary's own folder under the cache home (not created here).
QString applicationCache();
} // namespace XdgPaths
