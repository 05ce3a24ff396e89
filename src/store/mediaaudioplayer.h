#pragma once

#include "store/audioplayer.h"

class QAudioOutput;
class QMediaPlayer;

// Plays a local file with Qt Multimedia on the default audio output. A file that cannot be
// played simply stays silent; the player reports no error of its own.
class MediaAudioPlayer : public AudioPlayer
{
    Q_OBJECT

public:
    explicit MediaAudioPlayer(const QByteArray &path);
    ~MediaAudioPlayer() override;

    void play() override;
    void pause() override;

private:
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
};
