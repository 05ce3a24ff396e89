#include "store/librarydelta.h"

#include "library/libraryscanner.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace {

// The paths in tree order, without those inside another one: a path then lies at or below one
// of them exactly when the last one before it in tree order holds it.
QByteArrayList outermost(QByteArrayList paths)
{
    std::sort(paths.begin(), paths.end(), LibraryScanner::treeLess);
    QByteArrayList kept;
    for (const QByteArray &path : std::as_const(paths))
        if (kept.isEmpty() || (kept.last() != path && !LibraryScanner::isInside(path, kept.last())))
            kept.append(path);
    return kept;
}

} // namespace

LibraryDelta::Applied LibraryDelta::apply(
    const QList<FileRecord> &files, const QByteArrayList &cleared, const QList<FileRecord> &found, qsizetype limit)
{
    const QByteArrayList areas = outermost(cleared);
    const auto isCleared = [&areas](const QByteArray &path) {
        const auto after = std::upper_bound(areas.cbegin(), areas.cend(), path, LibraryScanner::treeLess);
        if (after == areas.cbegin())
            return false;
        const QByteArray &area = *(after - 1);
        return area == path || LibraryScanner::isInside(path, area);
    };
    QHash<QByteArray, qsizetype> foundAt;
    foundAt.reserve(found.size());
    for (qsizetype i = 0; i < found.size(); ++i)
        foundAt.insert(found[i].path, i);

    Applied applied;
    applied.files.reserve(files.size() + found.size());
    std::vector<char> placed(std::size_t(found.size()), 0);
    for (const FileRecord &file : files) {
        if (areas.isEmpty() || !isCleared(file.path)) {
            applied.files.append(file);
            continue;
        }
        const auto at = foundAt.constFind(file.path);
        if (at == foundAt.cend()) {
            applied.delta.removed.append(file.path);
            continue;
        }
        placed[std::size_t(*at)] = 1;
        const FileRecord &now = found[*at];
        if (now != file)
            applied.delta.changed.append(now);
        applied.files.append(now);
    }
    for (qsizetype i = 0; i < found.size(); ++i) {
        // Only records inside the cleared paths are taken: anything else would be met twice.
        if (placed[std::size_t(i)] || !isCleared(found[i].path))
            continue;
        if (applied.files.size() >= limit) {
            applied.truncated = true;
            continue;
        }
        applied.files.append(found[i]);
        applied.delta.added.append(found[i]);
    }
    return applied;
}

LibraryDelta LibraryDelta::between(
    const QList<FileRecord> &before, const QList<FileRecord> &after, const QHash<QByteArray, qsizetype> *positions)
{
    QHash<QByteArray, qsizetype> made;
    if (!positions) {
        made.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            made.insert(before[i].path, i);
        positions = &made;
    }
    LibraryDelta delta;
    QSet<QByteArray> kept;
    kept.reserve(after.size());
    for (const FileRecord &file : after) {
        kept.insert(file.path);
        const auto at = positions->constFind(file.path);
        if (at == positions->cend())
            delta.added.append(file);
        else if (before[*at] != file)
            delta.changed.append(file);
    }
    for (const FileRecord &file : before)
        if (!kept.contains(file.path))
            delta.removed.append(file.path);
    return delta;
}
