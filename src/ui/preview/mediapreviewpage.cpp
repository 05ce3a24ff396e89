#include "ui/preview/mediapreviewpage.h"

#include "platform/fileurl.h"
#include "ui/common/symbols.h"

#include <QAudioOutput>
#include <QBoxLayout>
#include <QMediaPlayer>
#include <QSlider>
#include <QToolButton>
#include <QVideoWidget>

MediaPreviewPage::MediaPreviewPage(QWidget *parent)
    : QWidget(parent)
    , m_player(new QMediaPlayer(this))
    , m_audio(new QAudioOutput(this))
    , m_video(new QVideoWidget(this))
    , m_playPause(new QToolButton(this))
    , m_position(new QSlider(Qt::Horizontal, this))
{
    m_player->setAudioOutput(m_audio);
    m_player->setVideoOutput(m_video);
    m_video->setAccessibleName(QStringLiteral("Video"));
    m_position->setAccessibleName(QStringLiteral("Position"));
    m_playPause->setAutoRaise(true);

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_playPause);
    controls->addWidget(m_position, 1);
    auto *column = new QVBoxLayout(this);
    // Without a picture the controls sit at the bottom of an empty page.
    column->addWidget(m_video, 100);
    column->addStretch(1);
    column->addLayout(controls);

    connect(m_playPause, &QToolButton::clicked, this, [this] {
        if (m_player->playbackState() == QMediaPlayer::PlayingState)
            m_player->pause();
        else
            m_player->play();
    });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &MediaPreviewPage::updateButton);
    connect(m_player, &QMediaPlayer::durationChanged, this,
        [this](qint64 duration) { m_position->setRange(0, int(std::min<qint64>(duration, INT_MAX))); });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (!m_position->isSliderDown())
            m_position->setValue(int(std::min<qint64>(position, INT_MAX)));
    });
    connect(m_position, &QSlider::sliderMoved, m_player, [this](int value) { m_player->setPosition(value); });
    updateButton();
}

MediaPreviewPage::~MediaPreviewPage()
{
    m_player->stop();
}

void MediaPreviewPage::setPath(const QByteArray &path, bool video)
{
    m_player->stop();
    m_video->setVisible(video);
    m_position->setValue(0);
    // The URL keeps the path's exact bytes, whatever its encoding.
    m_player->setSource(FileUrl::fromPath(path));
    m_player->play();
}

void MediaPreviewPage::clear()
{
    m_player->stop();
    m_player->setSource(QUrl());
}

void MediaPreviewPage::hideEvent(QHideEvent *event)
{
    m_player->stop();
    QWidget::hideEvent(event);
}

void MediaPreviewPage::updateButton()
{
    const bool playing = m_player->playbackState() == QMediaPlayer::PlayingState;
    const QString text = playing ? QStringLiteral("Pause") : QStringLiteral("Play");
    m_playPause->setIcon(Symbols::icon(playing ? u"pause.fill" : u"play.fill"));
    m_playPause->setToolTip(text);
    m_playPause->setAccessibleName(text);
}
