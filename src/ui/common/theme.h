#pragma once

#include "library/filekind.h"

#include <QColor>
#include <QMargins>
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

// The spacing of the main window in device-independent pixels: one set for every section, so
// pages line up as the user moves between them.
namespace Metrics {
// A section's page inside its area. A section whose list scrolls by itself lets the list reach
// the bottom edge.
enum class PageEnd { padded, flush };
QMargins page(PageEnd end = PageEnd::padded);
// Between the blocks of a page: headings, card grids, strips.
inline constexpr int kBlockGap = 14;
// Between rows of controls, and between the rows of a list of cards.
inline constexpr int kRowGap = 8;
// Between tiles and between library cards: columns, and rows.
inline constexpr int kGridColumnGap = 16;
inline constexpr int kGridRowGap = 18;
// Between clean-up cards, across and down.
inline constexpr int kCardGap = 14;
// Between the items of a horizontal strip.
inline constexpr int kStripGap = 12;
} // namespace Metrics
} // namespace Theme
