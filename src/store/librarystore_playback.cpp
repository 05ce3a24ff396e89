// The small music player: every music file of the library in name order, looping.

#include "store/audioplayer.h"
#include "store/librarystore.h"

#include <QTimer>

QList<FileRecord> LibraryStore::playlist() const
{
    QList<FileRecord> songs;
    for (const FileRecord &file : m_files)
        if (file.kind == FileKind::music)
            songs.append(file);
    // Code-point order of the names: UTF-8 byte order of the last path component.
    std::stable_sort(songs.begin(), songs.end(), [](const FileRecord &a, const FileRecord &b) {
        return QByteArrayView(a.path).sliced(a.path.lastIndexOf('/') + 1)
            < QByteArrayView(b.path).sliced(b.path.lastIndexOf('/') + 1);
    });
    return songs;
}

void LibraryStore::play(const FileRecord &file)
{
    if (file.kind != FileKind::music || !m_audioPlayerFactory)
        return;
    if (m_player) {
        // Only the new song's end may move the playlist on.
        m_player->disconnect(this);
        m_player->pause();
    }
    m_player = m_audioPlayerFactory(file.path);
    setCurrentSong(file);
    setPlaying(true);
    m_player->play();
    const quint64 song = ++m_songSerial;
    connect(m_player.get(), &AudioPlayer::finished, this, [this, song] {
        // The player that ended is replaced by skipSong, so leave its signal first; a song the
        // user started in the meantime is not skipped.
        QTimer::singleShot(0, this, [this, song] {
            if (m_songSerial == song)
                skipSong(1);
        });
    });
}

void LibraryStore::skipSong(int step)
{
    const QList<FileRecord> songs = playlist();
    if (songs.isEmpty())
        return;
    qsizetype current = 0;
    if (m_currentSong) {
        for (qsizetype i = 0; i < songs.size(); ++i) {
            if (songs[i].path == m_currentSong->path) {
                current = i;
                break;
            }
        }
    }
    const qsizetype count = songs.size();
    const qsizetype next = ((current + step) % count + count) % count;
    play(songs[next]);
}

void LibraryStore::togglePlayback()
{
    if (m_player) {
        setPlaying(!m_playing);
        if (m_playing)
            m_player->play();
        else
            m_player->pause();
        return;
    }
    const QList<FileRecord> songs = playlist();
    if (!songs.isEmpty())
        play(songs.first());
}
