#include "ui/preview/pdfpreviewpage.h"

#include "platform/regularfile.h"

#include <QFile>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <poppler-qt6.h>
#include <unistd.h>

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
    m_document.reset();
    m_file.reset();
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
    const RegularFile regular(path);
    if (!regular.isOpen())
        return false;
    auto file = std::make_unique<QFile>();
    const int fd = ::dup(regular.fd());
    if (fd < 0 || !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    // Poppler reads from the device for as long as the document lives.
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(file.get());
    if (!document || document->isLocked())
        return false;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    for (int index = 0; index < document->numPages(); ++index) {
        const std::unique_ptr<Poppler::Page> page = document->page(index);
        const QSizeF size = page ? page->pageSizeF() : QSizeF();
        m_pageSizes.append(size.width() > 0 && size.height() > 0 ? size : QSizeF(612, 792));
    }
    m_file = std::move(file);
    m_document = std::move(document);
    widget()->resize(viewport()->width(), layout(viewport()->width()));
    return true;
}

void PdfPreviewPage::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    if (m_document && viewport()->width() != m_width)
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
    if (!m_document)
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
    QImage image;
    if (const std::unique_ptr<Poppler::Page> page = m_document->page(index)) {
        const qreal ratio = devicePixelRatioF();
        const double dpi = pageRect(index).width() * ratio * 72.0 / m_pageSizes[index].width();
        image = page->renderToImage(dpi, dpi);
        image.setDevicePixelRatio(ratio);
    }
    return *m_rendered.insert(index, image);
}
