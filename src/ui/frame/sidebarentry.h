#pragma once

#include "store/destination.h"

#include <QAbstractButton>
#include <QColor>
#include <QIcon>

#include <optional>

// One row of the sidebar: a symbol in an 18-wide column, the title, and an optional count at the
// trailing edge; a rounded highlight marks the current destination. It takes keyboard focus:
// Return, Enter and Space activate it, Up and Down ask the sidebar to move the focus.
// Context-menu items are added as actions (Qt::ActionsContextMenu). Main thread only.
class SidebarEntry : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int kSymbolColumn = 18;
    static constexpr int kHorizontalPadding = 10;
    static constexpr int kVerticalPadding = 7;

    // `destination` is where the entry leads; none for rows that are no destination.
    SidebarEntry(const QString &title, const QString &symbol, const std::optional<Destination> &destination,
        QWidget *parent = nullptr);

    const std::optional<Destination> &destination() const { return m_destination; }
    // The count drawn at the trailing edge; none, or below 1, draws nothing.
    void setCount(std::optional<qsizetype> count);
    QString countText() const;
    // The colour the symbol is drawn in; invalid: the symbol's own colours.
    void setTint(const QColor &tint);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);

    QSize sizeHint() const override;

Q_SIGNALS:
    // Up (-1) or Down (1) was pressed while the entry had focus.
    void focusStepRequested(int step);

protected:
    void paintEvent(class QPaintEvent *event) override;
    void keyPressEvent(class QKeyEvent *event) override;

private:
    QString m_symbol;
    std::optional<Destination> m_destination;
    std::optional<qsizetype> m_count;
    QColor m_tint;
    bool m_highlighted = false;
    QIcon m_tintedIcon; // the monochrome drawing, for entries drawn in a tint
};
