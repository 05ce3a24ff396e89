#include "ui/frame/sidebarentry.h"

#include "ui/common/symbols.h"
#include "ui/common/theme.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kIconSize = 16;
constexpr qreal kHighlightRadius = 6;

} // namespace

SidebarEntry::SidebarEntry(
    const QString &title, const QString &symbol, const std::optional<Destination> &destination, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_destination(destination)
{
    setText(title);
    setAccessibleName(title);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setIcon(Symbols::icon(symbol));
    m_tintedIcon = Symbols::symbolicIcon(symbol);
}

void SidebarEntry::setCount(std::optional<qsizetype> count)
{
    if (count == m_count)
        return;
    m_count = count;
    setAccessibleDescription(countText());
    update();
}

QString SidebarEntry::countText() const
{
    return m_count && *m_count >= 1 ? QString::number(*m_count) : QString();
}

void SidebarEntry::setTint(const QColor &tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
}

void SidebarEntry::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

QSize SidebarEntry::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int content = kSymbolColumn + 8 + metrics.horizontalAdvance(text()) + metrics.horizontalAdvance(countText());
    return { 2 * kHorizontalPadding + content, 2 * kVerticalPadding + qMax(metrics.height(), kIconSize) };
}

void SidebarEntry::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(2, 1, -2, -1);
    if (m_highlighted || underMouse() || hasFocus()) {
        QColor fill = Theme::accent();
        fill.setAlphaF(m_highlighted ? 0.22f : 0.08f);
        painter.setPen(hasFocus() ? QPen(Theme::accent(), 1.5) : Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(area, kHighlightRadius, kHighlightRadius);
    }

    const int middle = height() / 2;
    const QRect symbolRect(
        kHorizontalPadding + (kSymbolColumn - kIconSize) / 2, middle - kIconSize / 2, kIconSize, kIconSize);
    const QIcon &drawn = m_tint.isValid() ? m_tintedIcon : icon();
    QPixmap symbol = drawn.pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF());
    if (m_tint.isValid() && !symbol.isNull()) {
        // Symbols are drawn as a silhouette in the tint, like the kind symbols elsewhere.
        QPainter tinting(&symbol);
        tinting.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tinting.fillRect(symbol.rect(), m_tint);
    }
    painter.drawPixmap(symbolRect, symbol);

    const QString count = countText();
    const int right = width() - kHorizontalPadding;
    const int countWidth = count.isEmpty() ? 0 : fontMetrics().horizontalAdvance(count) + 6;
    const int left = kHorizontalPadding + kSymbolColumn + 8;
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect titleRect(left, 0, qMax(0, right - countWidth - left), height());
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        fontMetrics().elidedText(text(), Qt::ElideRight, titleRect.width()));
    if (!count.isEmpty()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(QRect(left, 0, right - left, height()), Qt::AlignRight | Qt::AlignVCenter, count);
    }
}

void SidebarEntry::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            click();
            return;
        }
        break;
    case Qt::Key_Up:
        Q_EMIT focusStepRequested(-1);
        return;
    case Qt::Key_Down:
        Q_EMIT focusStepRequested(1);
        return;
    default:
        break;
    }
    QAbstractButton::keyPressEvent(event);
}
