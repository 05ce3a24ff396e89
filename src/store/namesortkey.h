#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The order file names are listed in by "Name": case-insensitive, accents and width variants
// second to the base letter, and runs of digits compared by their value ("file2" before
// "file10"), under every locale including C/POSIX.
//
// `of` turns a name into a key whose plain code-unit comparison gives that order, so a list is
// sorted without a locale-aware comparison per pair. Pure; safe on any thread.
namespace NameSortKey {
QString of(QStringView name);
// The same for a name in UTF-8; a name of ASCII bytes is not converted first.
QString of(QByteArrayView name);
} // namespace NameSortKey
