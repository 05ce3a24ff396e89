#pragma once

#include "library/filerecord.h"

#include <QAbstractListModel>
#include <QList>

// The results of the quick search panel: at most kLimit records, one row each, and the
// highlighted row. Main thread only.
class QuickSearchModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int kLimit = 20;
    enum Role { SizeRole = Qt::UserRole + 1, HighlightedRole };

    using QAbstractListModel::QAbstractListModel;

    // Keeps the first kLimit of `files`.
    void setFiles(QList<FileRecord> files);
    const QList<FileRecord> &files() const { return m_files; }
    const FileRecord &file(int row) const { return m_files.at(row); }

    int highlight() const { return m_highlight; }
    void setHighlight(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QList<FileRecord> m_files;
    int m_highlight = 0;
};
