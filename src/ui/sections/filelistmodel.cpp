#include "ui/sections/filelistmodel.h"

#include "store/backgroundjob.h"
#include "store/librarystore.h"
#include "ui/sections/filepainter.h"

FileListModel::FileListModel(LibraryStore &store, QObject *parent) : QAbstractListModel(parent), m_store(store)
{
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(0);
    connect(&m_reloadTimer, &QTimer::timeout, this, &FileListModel::reload);
    for (auto signal : { &LibraryStore::destinationChanged, &LibraryStore::queryChanged, &LibraryStore::sourceFilterChanged,
             &LibraryStore::sortChanged, &LibraryStore::filesChanged })
        connect(&store, signal, this, &FileListModel::scheduleReload);
    connect(&store, &LibraryStore::textIndexChanged, this, [this] {
        if (!m_store.query().isEmpty())
            scheduleReload();
    });
    m_library = store.files();
    m_rows = store.visibleRows();
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const FileRecord &file = record(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return file.name();
    case Qt::AccessibleDescriptionRole:
        return FilePainter::rowDescription(file, m_locale);
    case RecordRole:
        return QVariant::fromValue(file);
    default:
        return {};
    }
}

int FileListModel::rowOf(const QByteArray &id) const
{
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (m_library[m_rows[i]].path == id)
            return int(i);
    return -1;
}

void FileListModel::flush()
{
    if (m_reloadTimer.isActive()) {
        m_reloadTimer.stop();
        reload();
    }
}

void FileListModel::scheduleReload()
{
    m_reloadTimer.start();
}

void FileListModel::reload()
{
    beginResetModel();
    // Freeing tens of thousands of records would delay the first paint of the new list.
    releaseInBackground(std::exchange(m_library, m_store.files()));
    m_rows = m_store.visibleRows();
    endResetModel();
}
