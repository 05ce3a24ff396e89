#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QScrollArea>
#include <QSet>
#include <QSizeF>

// The pages of a PDF one below the other, as wide as the view. The page sizes and each page's
// pixels come from a reader helper, off the main thread: painting only draws what has arrived
// (a blank page until then) and asks for the pages in view, and answers for another file or
// another width are dropped. Only the few pages nearest the view are kept, so a long document
// costs no more than a short one. Main thread only.
class PdfPreviewPage : public QScrollArea
{
    Q_OBJECT

public:
    static constexpr int kKeptPages = 8;
    static constexpr int kPageGap = 12;
    // Pages rendered at the same time.
    static constexpr int kRenderingAtOnce = 2;

    explicit PdfPreviewPage(QWidget *parent = nullptr);
    ~PdfPreviewPage() override;

    // Starts reading the file's pages; `loaded` follows.
    void setPath(const QByteArray &path);
    void clear();

    int pageCount() const { return int(m_pageSizes.size()); }
    // The pages rendered so far and still kept (tests).
    QList<int> renderedPages() const { return m_rendered.keys(); }

    // Lays out pages of `sizes` (in points) one below the other at `width`: their rectangles and
    // the total height, never beyond what a widget can be (pages past it are left out), each
    // page at least a pixel tall and at most a hundred times as tall as wide.
    static QList<QRect> layoutPages(const QList<QSizeF> &sizes, int width, int *height);

Q_SIGNALS:
    // The page sizes are in (`ok`), or the file is not a readable, unlocked PDF.
    void loaded(bool ok);

protected:
    void resizeEvent(class QResizeEvent *event) override;

private:
    friend class PdfPagesCanvas;

    void layout(int width);
    QRect pageRect(int index) const;
    // The page's pixels if they are in; otherwise asks for them.
    QImage rendered(int index);
    void renderNext();
    void keepNearest(int index);

    QByteArray m_path;
    quint64 m_generation = 0;
    QList<QSizeF> m_pageSizes; // in points
    QList<QRect> m_pageRects;  // in canvas coordinates
    QHash<int, QImage> m_rendered;
    QList<int> m_wanted; // pages asked for by painting, nearest first
    QSet<int> m_rendering;
    int m_width = 0;
};
