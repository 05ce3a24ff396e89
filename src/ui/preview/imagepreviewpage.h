#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>

#include <memory>

class QFile;
class QMovie;

// Shows one picture scaled to fit, never enlarged beyond its pixels; animated GIF and WebP play
// through QMovie. Still images are decoded by a reader helper, off the main thread, at no more
// than kMaxEdge pixels a side, so a hostile file gives an empty page. Main thread only.
class ImagePreviewPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxEdge = 4096;
    // Animations larger than this are shown as their first frame, decoded like any still.
    static constexpr qint64 kMaxMoviePixels = 16'000'000;

    explicit ImagePreviewPage(QWidget *parent = nullptr);
    ~ImagePreviewPage() override;

    // Starts showing the image at `path` (its contents are known to be on this computer).
    void setPath(const QByteArray &path);
    void clear();
    bool isAnimated() const { return m_movie != nullptr; }
    const QImage &image() const { return m_image; }

Q_SIGNALS:
    // The still image was decoded (or found undecodable: `image()` is null then).
    void loaded();

protected:
    void paintEvent(class QPaintEvent *event) override;

private:
    bool startMovie(const QByteArray &path);

    QImage m_image;
    std::unique_ptr<QFile> m_movieFile;
    QMovie *m_movie = nullptr;
    quint64 m_generation = 0;
};
