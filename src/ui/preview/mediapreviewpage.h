#pragma once

#include <QByteArray>
#include <QWidget>

class QAudioOutput;
class QMediaPlayer;
class QSlider;
class QToolButton;
class QVideoWidget;

// Plays one audio or video file with Qt Multimedia: the picture (for video), a play/pause button
// and a position slider. Playback starts as soon as a file is set and stops when it is cleared
// or the page is hidden. Main thread only.
class MediaPreviewPage : public QWidget
{
    Q_OBJECT

public:
    explicit MediaPreviewPage(QWidget *parent = nullptr);
    ~MediaPreviewPage() override;

    // Starts playing the file at `path`; `video` shows the picture area.
    void setPath(const QByteArray &path, bool video);
    // Stops playback and forgets the file.
    void clear();
    QMediaPlayer *player() const { return m_player; }

protected:
    void hideEvent(class QHideEvent *event) override;

private:
    void updateButton();

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    QVideoWidget *m_video = nullptr;
    QToolButton *m_playPause = nullptr;
    QSlider *m_position = nullptr;
};
