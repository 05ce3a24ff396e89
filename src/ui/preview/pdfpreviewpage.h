#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QScrollArea>
#include <QSizeF>

// The pages of a PDF one below the other, as wide as the view. Pages are rendered by a reader
// helper only when they scroll into view, and only the few nearest the view are kept, so a long
// document costs no more than a short one. Main thread only.
class PdfPreviewPage : public QScrollArea
{
    Q_OBJECT

public:
    static constexpr int kKeptPages = 8;
    static constexpr int kPageGap = 12;

    explicit PdfPreviewPage(QWidget *parent = nullptr);
    ~PdfPreviewPage() override;

    // False when the file is not a readable, unlocked PDF; the page is empty then.
    bool setPath(const QByteArray &path);
    void clear();

    int pageCount() const { return int(m_pageSizes.size()); }
    // The pages rendered so far and still kept (tests).
    QList<int> renderedPages() const { return m_rendered.keys(); }

protected:
    void resizeEvent(class QResizeEvent *event) override;

private:
    friend class PdfPagesCanvas;

    // Lays out the pages for `width` and returns the canvas height.
    int layout(int width);
    QRect pageRect(int index) const;
    const QImage &rendered(int index);

    QByteArray m_path;
    QList<QSizeF> m_pageSizes; // in points
    QList<QRect> m_pageRects;  // in canvas coordinates
    QHash<int, QImage> m_rendered;
    int m_width = 0;
};
