#include "store/mediaaudioplayer.h"

#include "platform/fileurl.h"

#include <QAudioOutput>
#include <QMediaPlayer>

AudioPlayer::Factory AudioPlayer::mediaPlayerFactory()
{
    return
        [](const QByteArray &path) -> std::unique_ptr<AudioPlayer> { return std::make_unique<MediaAudioPlayer>(path); };
}

MediaAudioPlayer::MediaAudioPlayer(const QByteArray &path)
    : m_player(new QMediaPlayer(this))
    , m_output(new QAudioOutput(this))
{
    m_player->setAudioOutput(m_output);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia)
            Q_EMIT finished();
    });
    m_player->setSource(FileUrl::fromPath(path));
}

MediaAudioPlayer::~MediaAudioPlayer()
{
    m_player->stop();
}

void MediaAudioPlayer::play()
{
    m_player->play();
}

void MediaAudioPlayer::pause()
{
    m_player->pause();
}
