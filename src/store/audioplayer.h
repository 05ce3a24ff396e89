#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

// One song loaded for playback. The store makes a new player for every song and listens for
// `finished` to move on; tests give the store a player that needs no sound hardware.
class AudioPlayer : public QObject
{
    Q_OBJECT

public:
    using Factory = std::function<std::unique_ptr<AudioPlayer>(const QByteArray &path)>;

    virtual void play() = 0;
    virtual void pause() = 0;

    // Players backed by Qt Multimedia.
    static Factory mediaPlayerFactory();

Q_SIGNALS:
    // The song played to its end.
    void finished();
};
