#pragma once

#include "readers/readerrequest.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

// Shows one picture scaled to fit, never enlarged beyond its pixels; animated GIF and WebP play
// frame by frame. Nothing of the file is decoded here: a reader helper decodes it off the main
// thread and sends pixels at the size the view needs (at most kMaxEdge a side), and the frames
// of an animation in parts, the next part asked for while the current one plays. A file that
// cannot be decoded gives an empty page. Main thread only.
class ImagePreviewPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxEdge = 4096;
    // Frames kept of a long animation; played ones beyond it are dropped and asked for again
    // when the animation comes round.
    static constexpr qint64 kKeptFrameBytes = 96 * 1024 * 1024;

    explicit ImagePreviewPage(QWidget *parent = nullptr);
    ~ImagePreviewPage() override;

    // Starts showing the image at `path` (its contents are known to be on this computer).
    void setPath(const QByteArray &path);
    void clear();
    bool isAnimated() const { return m_frames.size() > 1 || m_more; }
    // The frame on display (null while nothing is), and its place in the animation.
    QImage image() const;
    int shownFrame() const { return m_firstIndex + m_current; }

Q_SIGNALS:
    // The first answer is in: a picture to show, or none (`image()` is null then).
    void loaded();

protected:
    void paintEvent(class QPaintEvent *event) override;
    void resizeEvent(class QResizeEvent *event) override;

private:
    // The longest side, in device pixels, the page shows now.
    int neededEdge() const;
    void request(int first);
    void received(int first, const QList<AnimationFrame> &frames, bool more);
    void advance();

    QByteArray m_path;
    quint64 m_generation = 0;
    int m_edge = 0; // the edge the frames were asked for
    QList<AnimationFrame> m_frames;
    int m_firstIndex = 0; // the animation's index of m_frames[0]
    int m_current = 0; // into m_frames
    bool m_more = false; // frames follow the last one held
    bool m_asking = false;
    bool m_loaded = false;
    QTimer m_frameTimer;
    QTimer m_resizeTimer;
};
