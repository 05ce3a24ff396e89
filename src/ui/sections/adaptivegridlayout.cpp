#include "ui/sections/adaptivegridlayout.h"

#include <QWidget>

AdaptiveGridLayout::AdaptiveGridLayout(int minimumColumn, int columnGap, int rowGap, QWidget *parent)
    : QLayout(parent), m_minimumColumn(std::max(1, minimumColumn)), m_columnGap(columnGap), m_rowGap(rowGap)
{
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout()
{
    qDeleteAll(m_items);
}

int AdaptiveGridLayout::columnsFor(int width) const
{
    return std::max(1, (width + m_columnGap) / (m_minimumColumn + m_columnGap));
}

void AdaptiveGridLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

QLayoutItem *AdaptiveGridLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QSize AdaptiveGridLayout::sizeHint() const
{
    return QSize(m_minimumColumn, heightForWidth(m_minimumColumn));
}

QSize AdaptiveGridLayout::minimumSize() const
{
    return QSize(m_minimumColumn, 0);
}

int AdaptiveGridLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

void AdaptiveGridLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int AdaptiveGridLayout::arrange(const QRect &rect, bool apply) const
{
    const int columns = columnsFor(rect.width());
    const int column = std::max(1, (rect.width() - (columns - 1) * m_columnGap) / columns);
    int y = rect.top();
    int rowHeight = 0;
    for (int i = 0; i < m_items.size(); ++i) {
        const int place = i % columns;
        if (place == 0 && i > 0) {
            y += rowHeight + m_rowGap;
            rowHeight = 0;
        }
        QLayoutItem *item = m_items[i];
        const int height = item->hasHeightForWidth() ? item->heightForWidth(column) : item->sizeHint().height();
        if (apply)
            item->setGeometry(QRect(rect.left() + place * (column + m_columnGap), y, column, height));
        rowHeight = std::max(rowHeight, height);
    }
    return m_items.isEmpty() ? 0 : y + rowHeight - rect.top();
}
