#include "ui/sections/sectionwidgets.h"

#include "ui/common/symbols.h"
#include "ui/common/theme.h"

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

} // namespace SectionWidgets

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace SectionWidgets {

namespace {

// Keeps its height at the content's: tiles that grow or shrink (a new thumbnail size) resize the
// content, and the strip follows.
class HorizontalStrip : public QScrollArea
{
public:
    explicit HorizontalStrip(QWidget *content)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(false);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        viewport()->setAutoFillBackground(false);
        setWidget(content);
        content->installEventFilter(this);
        fit();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool result = QScrollArea::eventFilter(watched, event);
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            fit();
        return result;
    }

private:
    void fit()
    {
        widget()->adjustSize();
        setFixedHeight(widget()->sizeHint().height() + horizontalScrollBar()->sizeHint().height() + 4);
    }
};

} // namespace

QWidget *horizontalStrip(QWidget *content)
{
    return new HorizontalStrip(content);
}

QVBoxLayout *scrollingPage(QWidget *section)
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
    column->setContentsMargins(Theme::Metrics::page());
    column->setSpacing(Theme::Metrics::kBlockGap);
    scroll->setWidget(page);
    return column;
}

} // namespace SectionWidgets
