#pragma once

#include "automation/automationhooks.h"
#include "library/filerecord.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class LibraryStore;

// The answers the desktop's own search (GNOME Shell's search providers, KRunner) gets from the
// library: the first matches of the store's search, each named by its lossless file:// URI.
// Main thread only (it reads the store).
namespace DesktopSearch {

constexpr int kMaxHits = 20;

struct Hit
{
    QString id; // the file's URI
    QString name; // the file name
    QString folder; // the containing folder, for display
    QStringList icons; // icon names for the file's type, most specific first
};

// The search text of a desktop search's terms.
QString queryOf(const QStringList &terms);
// The newest 20 of the store's matches for `query`.
QList<Hit> find(const LibraryStore &store, const QString &query);
QList<Hit> describe(const QList<FileRecord> &files);
// The record of the library that `id` names, if it still holds one.
std::optional<FileRecord> recordOf(const LibraryStore &store, const QString &id);
// The records of the library that `ids` name, in the order of `ids`; ids it does not hold are
// left out.
QList<FileRecord> recordsOf(const LibraryStore &store, const QStringList &ids);

// Opens `file` through the hooks, or with the store when they have no opener.
void open(LibraryStore &store, const AutomationHooks &hooks, const FileRecord &file);
// Makes `query` the store's search and shows it in the main window, brought to the front.
void showSearch(LibraryStore &store, const AutomationHooks &hooks, const QString &query);

} // namespace DesktopSearch
