#include "ui/sections/sectionwidgets.h"

#include "ui/common/symbols.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

namespace SectionWidgets {

QLabel *title(const QString &text, int pointDelta)
{
    auto *label = new QLabel(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() + pointDelta);
    font.setBold(true);
    label->setFont(font);
    label->setAccessibleName(text);
    return label;
}

QLabel *secondary(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setAccessibleName(text);
    return label;
}

QWidget *heading(const QString &titleText, const QString &detail, QWidget *trailing)
{
    auto *widget = new QWidget;
    auto *row = new QHBoxLayout(widget);
    row->setContentsMargins(0, 8, 0, 0);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(title(titleText, 3));
    texts->addWidget(secondary(detail));
    row->addLayout(texts, 1);
    if (trailing)
        row->addWidget(trailing, 0, Qt::AlignBottom);
    return widget;
}

QWidget *emptyState(QStringView symbol, const QString &titleText, const QString &text)
{
    auto *widget = new QWidget;
    auto *column = new QVBoxLayout(widget);
    column->addStretch(1);
    auto *icon = new QLabel;
    icon->setPixmap(Symbols::icon(symbol).pixmap(48, 48));
    icon->setAlignment(Qt::AlignHCenter);
    column->addWidget(icon);
    QLabel *heading = title(titleText, 4);
    heading->setAlignment(Qt::AlignHCenter);
    column->addWidget(heading);
    QLabel *body = secondary(text);
    body->setAlignment(Qt::AlignHCenter);
    column->addWidget(body);
    column->addStretch(1);
    return widget;
}

QPushButton *linkButton(const QString &text)
{
    QPushButton *push = button(text);
    push->setFlat(true);
    push->setCursor(Qt::PointingHandCursor);
    return push;
}

QPushButton *button(const QString &text, QStringView symbol)
{
    auto *push = new QPushButton(text);
    if (!symbol.isEmpty())
        push->setIcon(Symbols::icon(symbol));
    push->setAccessibleName(text);
    return push;
}

void clear(QLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            delete widget;
        else if (QLayout *child = item->layout())
            clear(child);
        delete item;
    }
}

} // namespace SectionWidgets

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>

namespace SectionWidgets {

bool interactionInProgress()
{
    return QApplication::activePopupWidget() != nullptr || QGuiApplication::mouseButtons() != Qt::NoButton;
}

QWidget *horizontalStrip(QWidget *content)
{
    auto *area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(false);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    content->adjustSize();
    area->setWidget(content);
    area->setFixedHeight(content->sizeHint().height() + area->horizontalScrollBar()->sizeHint().height() + 4);
    area->viewport()->setAutoFillBackground(false);
    return area;
}

QVBoxLayout *scrollingPage(QWidget *section, int spacing)
{
    auto *outer = new QVBoxLayout(section);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(section);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(28, 24, 28, 28);
    column->setSpacing(spacing);
    scroll->setWidget(page);
    return column;
}

} // namespace SectionWidgets
