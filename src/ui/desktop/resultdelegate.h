#pragma once

#include <QStyledItemDelegate>

#include <functional>

struct FileRecord;

// Paints one row of a short file list: a 40 x 40 thumbnail from the thumbnail cache (the file
// type's icon until it is made), the file name on one line and the size under it, on the accent
// colour when the row is highlighted. The model gives the record through `fileOf`.
class ResultDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kThumbnail = 40;
    static constexpr int kRowHeight = 52;

    ResultDelegate(std::function<const FileRecord *(const QModelIndex &)> fileOf, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    std::function<const FileRecord *(const QModelIndex &)> m_fileOf;
};
