// Moving files to the Trash: a request the user confirms, then a move that proves every file
// unchanged right before it goes.

#include "analysis/cleanuprules.h"
#include "analysis/trashsafety.h"
#include "library/fileidentity.h"
#include "platform/filestatus.h"
#include "platform/trash.h"
#include "store/backgroundjob.h"
#include "store/librarystore.h"

namespace {

// The device and inode the scan recorded ("DEVICE:INODE"), absent when it recorded none.
std::optional<Trash::Expected> expectedIdentity(const FileRecord &file)
{
    const auto parts = file.identity ? FileIdentity::parse(*file.identity) : std::nullopt;
    if (!parts)
        return std::nullopt;
    return Trash::Expected { parts->device, parts->inode };
}

} // namespace

void LibraryStore::setPendingTrash(const QList<FileRecord> &files)
{
    m_pendingKeepers.clear();
    assign(m_pendingTrash, files, &LibraryStore::pendingTrashChanged);
}

std::optional<FileRecord> LibraryStore::pendingKeeper(const QByteArray &id) const
{
    const auto keeper = m_pendingKeepers.constFind(id);
    if (keeper == m_pendingKeepers.cend())
        return std::nullopt;
    return *keeper;
}

void LibraryStore::requestTrash(const QList<FileRecord> &files, const std::optional<FileRecord> &keeping)
{
    // The kept copies are in place before the request is announced, so observers see both.
    m_pendingKeepers.clear();
    if (keeping)
        for (const FileRecord &file : files)
            m_pendingKeepers.insert(file.path, *keeping);
    assign(m_pendingTrash, files, &LibraryStore::pendingTrashChanged);
}

void LibraryStore::trashPending()
{
    const QList<FileRecord> pending = m_pendingTrash;
    const QHash<QByteArray, FileRecord> keepers = m_pendingKeepers;
    setPendingTrash({});

    QSet<QByteArray> request;
    for (const FileRecord &file : pending)
        request.insert(file.path);
    QStringList failures;
    QSet<QByteArray> removed;
    for (const FileRecord &file : pending) {
        const auto keeper = keepers.constFind(file.path);
        const std::optional<FileRecord> keeping
            = keeper == keepers.cend() ? std::nullopt : std::optional<FileRecord>(*keeper);
        if (!TrashSafety::canRemove(file, keeping, request)) {
            failures.append(file.name() + QStringLiteral(": File or its kept copy changed. Scan and review again."));
            continue;
        }
        // The trash compares the device and inode once more right before its rename, so a file
        // swapped in after the check above is put back instead of trashed.
        const Trash::Result moved = Trash::moveToTrash(file.path, expectedIdentity(file));
        if (moved.ok)
            removed.insert(file.path);
        else
            failures.append(file.name() + QStringLiteral(": ") + moved.error);
    }

    if (!removed.isEmpty()) {
        QList<FileRecord> files = m_files;
        files.removeIf([&removed](const FileRecord &file) { return removed.contains(file.path); });
        LibraryDelta delta;
        delta.removed = QByteArrayList(removed.cbegin(), removed.cend());
        replaceFiles(files, delta);
        scheduleSave();
    }
    // A duplicate or look-alike run still going would name files that are gone now.
    cancelJob(m_duplicateJob);
    cancelJob(m_similarJob);
    setCheckingDuplicates(false);
    setSimilarScanning(false);
    setDuplicates({});
    setSimilarGroups({});
    setDuplicatesChecked(false);
    setSelection(std::nullopt);
    setSelectedIDs({});
    indexText();
    setStatus(QStringLiteral("Moved ") + QString::number(removed.size())
        + QStringLiteral(" file(s) to Trash. Restore them from the Trash if needed."));
    if (!failures.isEmpty())
        setError(failures.join(u'\n'));
}

void LibraryStore::trashExtraCopies(const DuplicateGroup &group)
{
    const QString chooseFirst = QStringLiteral("Choose a copy to keep first.");
    const auto keeperId = m_keeperIDs.constFind(group.id());
    if (keeperId == m_keeperIDs.cend()) {
        setError(chooseFirst);
        return;
    }
    const auto keeper = std::find_if(group.files.cbegin(), group.files.cend(),
        [&keeperId](const FileRecord &file) { return file.path == *keeperId; });
    if (keeper == group.files.cend() || !FileStatus::read(*keeperId)) {
        setError(chooseFirst);
        return;
    }
    for (const FileRecord &file : group.files) {
        if (!CleanupRules::unchangedLocalFile(file)) {
            setError(QStringLiteral("A file changed after the scan. Scan again before removing copies."));
            return;
        }
    }
    QList<FileRecord> extra;
    for (const FileRecord &file : group.files)
        if (file.path != *keeperId)
            extra.append(file);
    requestTrash(extra, *keeper);
}

bool LibraryStore::canTrashAll() const
{
    return m_query.isEmpty() && m_destination.place() == Destination::Place::cleanCategory;
}

void LibraryStore::requestTrashAll()
{
    // While a search shows other files, "all" would reach far beyond the category.
    if (canTrashAll())
        requestTrash(visibleFiles());
}

void LibraryStore::keep(const DuplicateGroup &group, const FileRecord &file)
{
    if (m_keeperIDs.value(group.id()) == file.id())
        return;
    m_keeperIDs.insert(group.id(), file.id());
    Q_EMIT keeperIDsChanged();
}
