#include "ui/desktop/quicksearchmodel.h"

void QuickSearchModel::setFiles(QList<FileRecord> files)
{
    if (files.size() > kLimit)
        files.resize(kLimit);
    beginResetModel();
    m_files = std::move(files);
    endResetModel();
}

void QuickSearchModel::setHighlight(int row)
{
    if (row == m_highlight)
        return;
    const int previous = m_highlight;
    m_highlight = row;
    for (const int changed : { previous, row })
        if (changed >= 0 && changed < m_files.size())
            Q_EMIT dataChanged(index(changed), index(changed), { HighlightedRole });
}

int QuickSearchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_files.size());
}

QVariant QuickSearchModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_files.size())
        return {};
    const FileRecord &file = m_files.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return file.name();
    case SizeRole:
        return file.formattedSize();
    case HighlightedRole:
        return index.row() == m_highlight;
    default:
        return {};
    }
}
