#pragma once

#include "store/destination.h"

#include <QString>

// Which section fills the content area: a non-empty search always shows the browser; otherwise
// Home, Duplicates, Clean Up and Downloaded From have sections of their own and every other
// destination (kinds, Recents, folders, sources, clean-up categories) is a browser.
enum class SectionRoute { home, duplicates, cleanUp, sources, browser };

SectionRoute routeFor(const QString &query, const Destination &destination);

// The content width below which sidebar and inspector are hidden, in device-independent pixels.
inline constexpr int kCompactWidth = 760;
inline bool isCompactWidth(int width)
{
    return width < kCompactWidth;
}
