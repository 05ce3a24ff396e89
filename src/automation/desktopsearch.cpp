#include "automation/desktopsearch.h"

#include "platform/fileurl.h"
#include "store/librarystore.h"

#include <QMimeDatabase>
#include <QSet>
#include <QUrl>

namespace DesktopSearch {

QString queryOf(const QStringList &terms)
{
    return terms.join(u' ');
}

QList<Hit> describe(const QList<FileRecord> &files)
{
    static const QMimeDatabase mimeTypes;
    QList<Hit> hits;
    hits.reserve(files.size());
    for (const FileRecord &file : files) {
        Hit hit;
        hit.id = QString::fromLatin1(FileUrl::encoded(file.path));
        hit.name = file.name();
        const qsizetype slash = file.path.lastIndexOf('/');
        hit.folder = slash <= 0 ? QStringLiteral("/") : QString::fromUtf8(file.path.left(slash));
        // By name only: reading contents would touch every file the desktop merely lists.
        const QMimeType type = mimeTypes.mimeTypeForFile(hit.name, QMimeDatabase::MatchExtension);
        if (file.isPackage)
            hit.icons = QStringList { QStringLiteral("application-x-executable") };
        else
            hit.icons = QStringList { type.iconName(), type.genericIconName() };
        hit.icons.removeDuplicates();
        hits.append(hit);
    }
    return hits;
}

QList<Hit> find(const LibraryStore &store, const QString &query)
{
    QList<FileRecord> found = store.searchFiles(query);
    if (found.size() > kMaxHits)
        found.resize(kMaxHits);
    return describe(found);
}

std::optional<FileRecord> recordOf(const LibraryStore &store, const QString &id)
{
    const std::optional<QByteArray> path = FileUrl::toPath(QUrl(id, QUrl::StrictMode));
    return path ? store.file(*path) : std::nullopt;
}

QList<FileRecord> recordsOf(const LibraryStore &store, const QStringList &ids)
{
    QSet<QByteArray> seen;
    QList<FileRecord> records;
    for (const QString &id : ids) {
        const std::optional<QByteArray> path = FileUrl::toPath(QUrl(id, QUrl::StrictMode));
        if (!path || seen.contains(*path))
            continue;
        seen.insert(*path);
        if (std::optional<FileRecord> file = store.file(*path))
            records.append(*file);
    }
    return records;
}

void open(LibraryStore &store, const AutomationHooks &hooks, const FileRecord &file)
{
    if (hooks.openFile)
        hooks.openFile(file);
    else
        store.open(file);
}

void showSearch(LibraryStore &store, const AutomationHooks &hooks, const QString &query)
{
    store.setQuery(query);
    if (hooks.searchInWindow)
        hooks.searchInWindow(query);
    if (hooks.showMain)
        hooks.showMain();
}

} // namespace DesktopSearch
