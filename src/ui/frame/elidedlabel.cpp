#include "ui/frame/elidedlabel.h"

#include <QPainter>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    setToolTip(text);
    updateGeometry();
    update();
}

void ElidedLabel::setSecondary(bool secondary)
{
    m_secondary = secondary;
    update();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    update();
}

QSize ElidedLabel::sizeHint() const
{
    return { fontMetrics().horizontalAdvance(m_text), fontMetrics().height() };
}

QSize ElidedLabel::minimumSizeHint() const
{
    return { 0, fontMetrics().height() };
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(m_secondary ? QPalette::PlaceholderText : QPalette::WindowText));
    const QString shown = fontMetrics().elidedText(m_text, m_elideMode, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
