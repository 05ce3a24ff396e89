#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>
#include <QStringView>

// The icons of the interface. Every place names an icon by one symbol name ("house", "folder",
// "xmark.circle.fill", ...); one table maps each to freedesktop icon-naming names, looked up in
// the user's icon theme with Adwaita as the fallback theme, so Tessary looks at home under Breeze
// and Adwaita alike. Main thread only (QIcon).
namespace Symbols {
// The freedesktop names tried for `symbol`, best first; empty for an unknown symbol.
QStringList themeNames(QStringView symbol);
// Every symbol name the table knows.
QStringList knownSymbols();
// The icon for `symbol`: the first theme name the icon themes know; a null icon when none does.
QIcon icon(QStringView symbol);
// The same, preferring the monochrome ("-symbolic") drawing of each name, for icons drawn in
// one colour (tinted kind symbols, badges).
QIcon symbolicIcon(QStringView symbol);
// Tessary's own application icon (a scalable drawing shipped with the program).
QIcon applicationIcon();
// Makes Adwaita the fallback theme and, where the platform names no theme, the theme itself.
void installThemeFallback();
} // namespace Symbols
