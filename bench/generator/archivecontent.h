#pragma once

#include "generator/plannedfile.h"

#include <QByteArray>
#include <QList>

// Archives a person keeps (zip and tar.gz of documents or a project's sources), opaque data
// files, and the inside of an application bundle. Thread-safe.
namespace ArchiveContent {

// For zip, tarGz and data.
QByteArray make(const PlannedFile &file);

struct BundleFile
{
    QByteArray path; // relative to the bundle folder
    QByteArray data;
    unsigned mode = 0644;
};
// The files of a NAME.app bundle: Contents/Info.plist, the executable and its resources.
QList<BundleFile> bundle(const PlannedFile &file);

} // namespace ArchiveContent
