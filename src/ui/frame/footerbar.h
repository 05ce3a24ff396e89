#pragma once

#include <QWidget>

class ElidedLabel;
class LibraryStore;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

// The status line under the library, left to right: a busy indicator while scanning (a small
// dot otherwise; "Being checked" while the library saved last time is compared with the
// folders), the store's status, a Quick Look button while a file is selected, the text index
// progress while indexing (or that it waits for mains power), the player controls and song name
// while a song is current, and a "SAMPLE LIBRARY" badge for the demo library. Main thread only.
class FooterBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSongNameWidth = 150;

    FooterBar(LibraryStore &store, QWidget *parent = nullptr);

private:
    void showScanning();
    void showSelection();
    void showIndexing();
    void showSong();

    LibraryStore &m_store;
    QProgressBar *m_busy = nullptr;
    QWidget *m_dot = nullptr;
    ElidedLabel *m_status = nullptr;
    QPushButton *m_quickLook = nullptr;
    QWidget *m_indexing = nullptr;
    QLabel *m_indexStatus = nullptr;
    QWidget *m_player = nullptr;
    QToolButton *m_playPause = nullptr;
    ElidedLabel *m_song = nullptr;
    QLabel *m_demo = nullptr;
};
