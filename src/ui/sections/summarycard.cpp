#include "ui/sections/summarycard.h"

#include "ui/common/theme.h"
#include "ui/sections/filepainter.h"

#include <QPainter>

namespace {
constexpr int kSymbol = 28;
constexpr int kPadding = 14;
} // namespace

SummaryCard::SummaryCard(const QString &symbol, const QColor &tint, const QString &title, const QString &value,
    QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_tint(tint), m_title(title), m_value(value)
{
    setText(title);
    setAccessibleName(title);
    setAccessibleDescription(value);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SummaryCard::setTrailingSymbol(const QString &symbol)
{
    m_trailing = symbol;
    updateGeometry();
    update();
}

void SummaryCard::setValue(const QString &value)
{
    if (value == m_value)
        return;
    m_value = value;
    setAccessibleDescription(value);
    update();
}

void SummaryCard::setSymbol(const QString &symbol, const QColor &tint)
{
    if (symbol == m_symbol && tint == m_tint)
        return;
    m_symbol = symbol;
    m_tint = tint;
    update();
}

QSize SummaryCard::sizeHint() const
{
    const QFontMetrics metrics(font());
    if (!m_trailing.isEmpty())
        return QSize(320, 2 * kPadding + std::max(kSymbol, 2 * metrics.height() + 2));
    return QSize(170, 2 * kPadding + kSymbol + 10 + 2 * metrics.height() + 2);
}

void SummaryCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Base);
    if (isDown())
        fill = fill.darker(108);
    else if (underMouse())
        fill = fill.darker(103);
    painter.setPen(QPen(palette().color(QPalette::Mid), 0.5));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 12, 12);
    }

    const qreal ratio = devicePixelRatioF();
    const QFontMetrics metrics(font());
    QFont bold = font();
    bold.setBold(true);
    QColor dim = palette().color(QPalette::WindowText);
    dim.setAlphaF(0.6f);
    const QPixmap symbol = FilePainter::tintedSymbol(m_symbol, kSymbol, m_tint, ratio);
    if (!m_trailing.isEmpty()) {
        const int symbolTop = (height() - kSymbol) / 2;
        painter.drawPixmap(kPadding, symbolTop, symbol);
        const int left = kPadding + kSymbol + 12;
        const int textWidth = width() - left - kPadding - 28;
        const int top = (height() - 2 * metrics.height()) / 2;
        painter.setFont(bold);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(left, top, textWidth, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(bold).elidedText(m_title, Qt::ElideRight, textWidth));
        painter.setFont(font());
        painter.setPen(dim);
        painter.drawText(QRect(left, top + metrics.height(), textWidth, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(m_value, Qt::ElideRight, textWidth));
        painter.drawPixmap(width() - kPadding - 16, (height() - 16) / 2,
            FilePainter::tintedSymbol(m_trailing, 16, dim, ratio));
        return;
    }
    painter.drawPixmap(kPadding, kPadding, symbol);
    const int textWidth = width() - 2 * kPadding;
    const int top = kPadding + kSymbol + 10;
    painter.setFont(bold);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(kPadding, top, textWidth, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(bold).elidedText(m_title, Qt::ElideRight, textWidth));
    painter.setFont(font());
    painter.setPen(dim);
    painter.drawText(QRect(kPadding, top + metrics.height() + 2, textWidth, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        metrics.elidedText(m_value, Qt::ElideRight, textWidth));
}
