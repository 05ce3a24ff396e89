#pragma once

#include "library/filerecord.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class DeferredUpdate;
class FolderCard;
class LibraryStore;
class QHBoxLayout;
class QLabel;
class QPushButton;

// The home section: the greeting with the library's size and a Refresh button; while no folder
// is chosen, the onboarding block; otherwise the library cards, the clean-up cards, the download
// sources strip and the recent strips of images, videos, music and documents. Everything stays
// and is brought up to date in place once per turn of the event loop after the store changed;
// only a strip whose files changed makes new tiles. Main thread only.
class HomeSection : public QWidget
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    explicit HomeSection(LibraryStore &store, QWidget *parent = nullptr);

    // The time the greeting is taken from; the system clock by default.
    void setClock(Clock clock);

private:
    static constexpr int kRecentKinds = 4;

    struct RecentStrip
    {
        FileKind kind;
        QWidget *block = nullptr;
        QHBoxLayout *tiles = nullptr;
        QList<FileRecord> files;
    };

    void updateHeader();
    void updateBody();
    void updateSources();
    void updateStrip(RecentStrip &strip);
    QWidget *makeOnboarding();
    QWidget *makeLibrary();
    QWidget *makeStrip(RecentStrip &strip);

    LibraryStore &m_store;
    Clock m_clock = [] { return QDateTime::currentDateTime(); };
    QLabel *m_greeting = nullptr;
    QLabel *m_subtitle = nullptr;
    QPushButton *m_refresh = nullptr;
    QWidget *m_onboarding = nullptr;
    QWidget *m_library = nullptr;
    std::array<FolderCard *, 7> m_folderCards {};
    QWidget *m_sourcesHeading = nullptr;
    QWidget *m_sourcesStrip = nullptr;
    QHBoxLayout *m_sourceChips = nullptr;
    // The names and counts the chips show; unchanged ones keep their chips.
    QList<std::pair<QString, qsizetype>> m_shownSources;
    std::array<RecentStrip, kRecentKinds> m_strips;
    DeferredUpdate *m_update = nullptr;
    QTimer m_clockTimer;
};
