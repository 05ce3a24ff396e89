#pragma once

#include "platform/directoryreader.h"

#include <QByteArray>
#include <QSet>

#include <vector>

// Pieces of the directory walk shared by the scanner and the package sizer.
namespace ScannerWalk {

// Names a folder hides: those in its ".hidden" file, one per line (the file-manager
// convention), read only when the listing has such a file.
QSet<QByteArray> hiddenNames(int directoryFd, const std::vector<DirectoryReader::Entry> &entries);
// The same without a listing at hand: the ".hidden" file is looked for directly.
QSet<QByteArray> hiddenNames(int directoryFd);

inline bool isHidden(const QByteArray &name, const QSet<QByteArray> &hidden)
{
    return name.startsWith('.') || (!hidden.isEmpty() && hidden.contains(name));
}

// A directory whose lower-case extension is "app" is one package, never entered.
bool isPackageName(const QByteArray &name);

inline QByteArray childPath(const QByteArray &directory, const QByteArray &name)
{
    if (directory.endsWith('/'))
        return directory + name;
    QByteArray path;
    path.reserve(directory.size() + 1 + name.size());
    path.append(directory).append('/').append(name);
    return path;
}

} // namespace ScannerWalk
