#pragma once

#include "library/filerecord.h"

#include <QDateTime>
#include <QByteArray>
#include <QTimer>
#include <QWidget>

#include <functional>

class LibraryStore;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The home section: the greeting with the library's size and a Refresh button; while no folder
// is chosen, the onboarding block; otherwise the library cards, the clean-up cards, the download
// sources strip and the recent strips of images, videos, music and documents. The cards and
// strips are rebuilt (once per turn of the event loop) when the files, roots, duplicates, tile
// size or look change. Main thread only.
class HomeSection : public QWidget
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    explicit HomeSection(LibraryStore &store, QWidget *parent = nullptr);

    // The time the greeting is taken from; the system clock by default.
    void setClock(Clock clock);

private:
    void scheduleRebuild();
    void rebuild();
    QByteArray bodyKey() const;
    void updateHeader();
    QWidget *onboarding();
    QWidget *libraryCards();
    QWidget *sourcesStrip();
    QWidget *recentStrip(FileKind kind, const QList<FileRecord> &files);

    LibraryStore &m_store;
    Clock m_clock = [] { return QDateTime::currentDateTime(); };
    QLabel *m_greeting = nullptr;
    QLabel *m_subtitle = nullptr;
    QPushButton *m_refresh = nullptr;
    QWidget *m_body = nullptr;
    // What the body was last built from; a rescan that changed none of it keeps the widgets.
    QByteArray m_bodyKey;
    QVBoxLayout *m_content = nullptr;
    QTimer m_rebuildTimer;
    QTimer m_clockTimer;
};
