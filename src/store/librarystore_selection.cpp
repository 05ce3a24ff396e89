// Selection, and the actions the file tiles, rows, menus and keys perform on files.

#include "platform/desktop/fileclipboard.h"
#include "platform/desktop/filemanagerreveal.h"
#include "store/backgroundjob.h"
#include "store/librarystore.h"

#include <QFileInfo>

namespace {

qsizetype indexOfId(const QList<FileRecord> &files, const QByteArray &id)
{
    for (qsizetype i = 0; i < files.size(); ++i)
        if (files[i].path == id)
            return i;
    return -1;
}

using NamedExtraction = std::pair<QString, TextExtraction>;

} // namespace

void LibraryStore::select(const FileRecord &file, ClickModifier modifier)
{
    if (modifier == ClickModifier::command) {
        QSet<QByteArray> ids = m_selectedIDs;
        if (!ids.remove(file.path))
            ids.insert(file.path);
        setSelectedIDs(ids);
        setSelection(file.path);
        return;
    }
    if (modifier == ClickModifier::shift && m_selection) {
        const QList<FileRecord> visible = visibleFiles();
        const qsizetype anchor = indexOfId(visible, *m_selection);
        const qsizetype clicked = indexOfId(visible, file.path);
        if (anchor >= 0 && clicked >= 0) {
            QSet<QByteArray> ids = m_selectedIDs;
            for (qsizetype i = std::min(anchor, clicked); i <= std::max(anchor, clicked); ++i)
                ids.insert(visible[i].path);
            setSelectedIDs(ids);
            setSelection(file.path);
            return;
        }
    }
    setSelectedIDs({ file.path });
    setSelection(file.path);
}

void LibraryStore::stepSelection(int step)
{
    const QList<FileRecord> visible = visibleFiles();
    if (visible.isEmpty())
        return;
    const qsizetype current = m_selection ? indexOfId(visible, *m_selection) : -1;
    qsizetype target = 0;
    if (current >= 0)
        target = current + step;
    else if (step > 0)
        target = step - 1;
    else
        target = visible.size() + step;
    target = std::clamp<qsizetype>(target, 0, visible.size() - 1);
    const FileRecord &file = visible[target];
    setSelectedIDs({ file.path });
    setSelection(file.path);
    if (m_preview)
        setPreview(file);
}

void LibraryStore::open(const FileRecord &file)
{
    FileManagerReveal::open(file.path);
}

void LibraryStore::reveal(const FileRecord &file)
{
    FileManagerReveal::reveal(file.path);
}

void LibraryStore::copyPath(const FileRecord &file)
{
    FileClipboard::copyText(file.displayPath());
}

void LibraryStore::copyFiles(const std::optional<QList<FileRecord>> &files)
{
    const QList<FileRecord> chosen = files ? *files : chosenFiles();
    QByteArrayList paths;
    for (const FileRecord &file : chosen)
        paths.append(file.path);
    FileClipboard::copyFiles(paths);
    setStatus(QStringLiteral("Copied ") + QString::number(chosen.size()) + QStringLiteral(" file(s)."));
}

void LibraryStore::copyText(const QList<FileRecord> &files, bool show)
{
    if (m_copyingText || files.isEmpty())
        return;
    setCopyingText(true);
    const auto extract = m_workers.extractText;
    const qsizetype requested = files.size();
    m_textJob = startBackgroundJob<QList<NamedExtraction>>(
        this, JobPriority::userInitiated,
        [extract, files](std::stop_token stop) {
            QList<NamedExtraction> pairs;
            for (const FileRecord &file : files) {
                if (stop.stop_requested())
                    break;
                pairs.append({ file.name(), extract(file, stop) });
            }
            return pairs;
        },
        [this, requested, show](QList<NamedExtraction> &&pairs) {
            m_textJob.reset();
            QStringList blocks;
            int unavailable = 0;
            int partial = 0;
            for (const auto &[name, extraction] : pairs) {
                if (extraction.error)
                    ++unavailable;
                if (extraction.partial)
                    ++partial;
                if (extraction.text.isEmpty())
                    continue;
                blocks.append(requested >= 2 ? name + u'\n' + extraction.text : extraction.text);
            }
            const QString joined = blocks.join(QStringLiteral("\n\n"));
            setCopyingText(false);
            if (show) {
                setTextPreview(joined.isEmpty() ? QStringLiteral("No readable text found.") : joined);
            } else if (joined.isEmpty()) {
                setStatus(QStringLiteral("No readable text found in the selection."));
            } else {
                FileClipboard::copyText(joined);
                setStatus(
                    QStringLiteral("Copied text from ") + QString::number(blocks.size()) + QStringLiteral(" file(s)."));
            }
            if (unavailable > 0 || partial > 0)
                setStatus(m_status + u' ' + QString::number(unavailable) + QStringLiteral(" unavailable; ")
                    + QString::number(partial) + QStringLiteral(" partial (200-page/250,000-character limit)."));
        });
}

void LibraryStore::pin(const QByteArray &folder)
{
    const QString path = QString::fromUtf8(folder);
    if (!m_pinnedPaths.contains(path))
        setPinnedPaths(m_pinnedPaths + QStringList { path });
    const qsizetype slash = folder.endsWith('/') ? -1 : folder.lastIndexOf('/');
    const QString name = slash < 0 ? path : QString::fromUtf8(folder.mid(slash + 1));
    setStatus(QStringLiteral("Pinned ") + name + QStringLiteral(" to the sidebar."));
}

void LibraryStore::saveSearch()
{
    const QString text = m_query.trimmed();
    if (text.isEmpty() || m_savedSearches.contains(text))
        return;
    setSavedSearches(m_savedSearches + QStringList { text });
}

void LibraryStore::deleteSearch(const QString &text)
{
    QStringList searches = m_savedSearches;
    searches.removeAll(text);
    setSavedSearches(searches);
}

void LibraryStore::keepSelectionShown()
{
    if (m_selectedIDs.isEmpty())
        return;
    // Only the selected records are tested: a search's test is costly without the catalogue.
    const std::function<bool(qsizetype)> shown = shownTest();
    QSet<QByteArray> kept;
    for (qsizetype i = 0; i < m_files.size() && kept.size() < m_selectedIDs.size(); ++i)
        if (m_selectedIDs.contains(m_files[i].path) && shown(i))
            kept.insert(m_files[i].path);
    setSelectedIDs(kept);
}
