#pragma once

#include "library/filekind.h"

#include <QColor>
#include <QPalette>

// The colours of the interface. `accent` and the kind tints are fixed sRGB colours; `ink` and
// the system grey follow the palette in force, so they read well in the light and dark looks.
namespace Theme {
// sRGB 0.24, 0.43, 0.35.
QColor accent();
// The primary label colour of `palette`.
QColor ink(const QPalette &palette);
// The neutral grey used for "other" and for every tint in the minimal look.
QColor systemGrey();
// The tint of `kind`; the system grey in the minimal look.
QColor kindTint(FileKind kind, bool minimal = false);
// The palettes of the Light and Dark looks, for the Fusion style.
QPalette lightPalette();
QPalette darkPalette();
// Whether `palette` is a dark one (its window colour is darker than its text).
bool isDark(const QPalette &palette);
} // namespace Theme
