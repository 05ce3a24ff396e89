#pragma once

#include "library/filerecord.h"

#include <QAbstractListModel>
#include <QLocale>
#include <QTimer>

class LibraryStore;

// The browser's rows: the store's `visibleFiles()`, held as the store's files (shared, not
// copied) and the positions of the shown ones, so that a reload copies no record. A change of
// destination, query, source filter, sort, files or (during a search) the text index reloads it
// with one model reset; changes made in one turn of the event loop (navigate() changes several)
// are gathered into that one reset. Main thread only.
class FileListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { RecordRole = Qt::UserRole + 1 };

    explicit FileListModel(LibraryStore &store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    // DisplayRole and AccessibleTextRole: the file's name; AccessibleDescriptionRole: its kind,
    // size and date; RecordRole: the FileRecord.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const FileRecord &record(int row) const { return m_library.at(m_rows.at(row)); }
    // The row of the file with `id`, or -1.
    int rowOf(const QByteArray &id) const;
    // Reloads at once if a reload is pending.
    void flush();

private:
    void scheduleReload();
    void reload();

    LibraryStore &m_store;
    QList<FileRecord> m_library;
    QList<qsizetype> m_rows; // positions in m_library, in the order shown
    QTimer m_reloadTimer;
    QLocale m_locale;
};
