#pragma once

#include <QLayout>
#include <QList>

// Lays its items out in as many equal columns as fit, each at least `minimumColumn` wide (no
// maximum), with fixed gaps between columns and rows; rows are as tall as their tallest item.
class AdaptiveGridLayout : public QLayout
{
public:
    AdaptiveGridLayout(int minimumColumn, int columnGap, int rowGap, QWidget *parent = nullptr);
    ~AdaptiveGridLayout() override;

    // The number of columns for a width.
    int columnsFor(int width) const;

    void addItem(QLayoutItem *item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }

private:
    int arrange(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items;
    int m_minimumColumn = 0;
    int m_columnGap = 0;
    int m_rowGap = 0;
};
