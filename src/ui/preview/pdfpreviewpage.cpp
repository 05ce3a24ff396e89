#include "ui/preview/pdfpreviewpage.h"

#include "readers/contentreaders.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

// The scrolled widget: as tall as all pages, painting the ones the exposed area touches.
class PdfPagesCanvas : public QWidget
{
public:
    explicit PdfPagesCanvas(PdfPreviewPage *owner) : QWidget(owner), m_owner(owner) { }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        for (int index = 0; index < m_owner->pageCount(); ++index) {
            const QRect rect = m_owner->pageRect(index);
            if (!rect.intersects(event->rect()))
                continue;
            const QImage &image = m_owner->rendered(index);
            if (image.isNull())
                painter.fillRect(rect, Qt::white);
            else
                painter.drawImage(rect, image);
        }
    }

private:
    PdfPreviewPage *m_owner = nullptr;
};

PdfPreviewPage::PdfPreviewPage(QWidget *parent) : QScrollArea(parent)
{
    setAccessibleName(QStringLiteral("PDF pages"));
    setWidget(new PdfPagesCanvas(this));
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

PdfPreviewPage::~PdfPreviewPage() = default;

void PdfPreviewPage::clear()
{
    m_path.clear();
    m_pageSizes.clear();
    m_pageRects.clear();
    m_rendered.clear();
    m_width = 0;
    widget()->resize(0, 0);
    verticalScrollBar()->setValue(0);
}

bool PdfPreviewPage::setPath(const QByteArray &path)
{
    clear();
    const std::optional<QList<QSizeF>> sizes = ContentReaders::pdfPageSizes(path);
    if (!sizes)
        return false;
    m_pageSizes = *sizes;
    m_path = path;
    widget()->resize(viewport()->width(), layout(viewport()->width()));
    return true;
}

void PdfPreviewPage::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (!m_path.isEmpty() && viewport()->width() != m_width)
        widget()->resize(viewport()->width(), layout(viewport()->width()));
}

int PdfPreviewPage::layout(int width)
{
    if (width != m_width)
        m_rendered.clear();
    m_width = width;
    m_pageRects.clear();
    const int pageWidth = std::max(1, width - 2 * kPageGap);
    int y = kPageGap;
    for (const QSizeF &size : std::as_const(m_pageSizes)) {
        const int height = std::max(1, int(pageWidth * size.height() / size.width()));
        m_pageRects.append(QRect(kPageGap, y, pageWidth, height));
        y += height + kPageGap;
    }
    return y;
}

QRect PdfPreviewPage::pageRect(int index) const
{
    return index >= 0 && index < m_pageRects.size() ? m_pageRects[index] : QRect();
}

const QImage &PdfPreviewPage::rendered(int index)
{
    static const QImage none;
    if (m_path.isEmpty())
        return none;
    if (const auto found = m_rendered.constFind(index); found != m_rendered.constEnd())
        return *found;
    // Keep the pages nearest this one; the rest are rendered again if they come back.
    while (m_rendered.size() >= kKeptPages) {
        int farthest = m_rendered.constBegin().key();
        for (auto it = m_rendered.constBegin(); it != m_rendered.constEnd(); ++it) {
            if (std::abs(it.key() - index) > std::abs(farthest - index))
                farthest = it.key();
        }
        m_rendered.remove(farthest);
    }
    const qreal ratio = devicePixelRatioF();
    QImage image = ContentReaders::pdfPage(m_path, index, int(pageRect(index).width() * ratio));
    image.setDevicePixelRatio(ratio);
    return *m_rendered.insert(index, image);
}
