#include "ui/frame/footerbar.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/common/theme.h"
#include "ui/frame/elidedlabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace {

// The 5-point dot shown while no scan runs.
class StatusDot : public QWidget
{
public:
    explicit StatusDot(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(9, 9);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::accent());
        painter.drawEllipse(QRectF(2, 2, 5, 5));
    }
};

QToolButton *symbolButton(const QString &symbol, const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(Symbols::icon(symbol));
    button->setProperty("symbol", symbol);
    button->setAutoRaise(true);
    button->setIconSize(QSize(14, 14));
    button->setToolTip(name);
    button->setAccessibleName(name);
    return button;
}

} // namespace

FooterBar::FooterBar(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("footer"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 3, 12, 3);
    row->setSpacing(8);

    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("scanProgress"));
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setFixedSize(40, 8);
    m_busy->setAccessibleName(QStringLiteral("Scanning"));
    row->addWidget(m_busy);
    m_dot = new StatusDot(this);
    m_dot->setObjectName(QStringLiteral("statusDot"));
    row->addWidget(m_dot);

    m_status = new ElidedLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setSecondary(true);
    row->addWidget(m_status, 1);

    m_quickLook = new QPushButton(QStringLiteral("Quick Look"), this);
    m_quickLook->setAccessibleName(m_quickLook->text());
    m_quickLook->setFocusPolicy(Qt::TabFocus);
    connect(m_quickLook, &QPushButton::clicked, this, [this] {
        if (const std::optional<FileRecord> file = m_store.selected())
            m_store.setPreview(file);
    });
    row->addWidget(m_quickLook);

    m_indexing = new QWidget(this);
    m_indexing->setObjectName(QStringLiteral("indexing"));
    auto *indexRow = new QHBoxLayout(m_indexing);
    indexRow->setContentsMargins(0, 0, 0, 0);
    indexRow->setSpacing(4);
    auto *indexSymbol = new QLabel(m_indexing);
    indexSymbol->setPixmap(Symbols::icon(u"text.viewfinder").pixmap(14, 14));
    indexRow->addWidget(indexSymbol);
    m_indexStatus = new QLabel(m_indexing);
    m_indexStatus->setTextFormat(Qt::PlainText);
    m_indexStatus->setForegroundRole(QPalette::PlaceholderText);
    indexRow->addWidget(m_indexStatus);
    row->addWidget(m_indexing);

    m_player = new QWidget(this);
    m_player->setObjectName(QStringLiteral("player"));
    auto *playerRow = new QHBoxLayout(m_player);
    playerRow->setContentsMargins(0, 0, 0, 0);
    playerRow->setSpacing(2);
    QToolButton *previous
        = symbolButton(QStringLiteral("backward.end.fill"), QStringLiteral("Previous song"), m_player);
    connect(previous, &QToolButton::clicked, this, [this] { m_store.skipSong(-1); });
    m_playPause = symbolButton(QStringLiteral("play.fill"), QStringLiteral("Play"), m_player);
    connect(m_playPause, &QToolButton::clicked, this, [this] { m_store.togglePlayback(); });
    QToolButton *next = symbolButton(QStringLiteral("forward.end.fill"), QStringLiteral("Next song"), m_player);
    connect(next, &QToolButton::clicked, this, [this] { m_store.skipSong(1); });
    m_song = new ElidedLabel(m_player);
    m_song->setObjectName(QStringLiteral("songName"));
    m_song->setMaximumWidth(kSongNameWidth);
    m_song->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (QWidget *part : { static_cast<QWidget *>(previous), static_cast<QWidget *>(m_playPause),
             static_cast<QWidget *>(next), static_cast<QWidget *>(m_song) })
        playerRow->addWidget(part);
    row->addWidget(m_player);

    m_demo = new QLabel(QStringLiteral("SAMPLE LIBRARY"), this);
    m_demo->setObjectName(QStringLiteral("demoBadge"));
    QFont badge = m_demo->font();
    badge.setBold(true);
    badge.setPointSizeF(badge.pointSizeF() * 0.8);
    m_demo->setFont(badge);
    m_demo->setContentsMargins(6, 1, 6, 1);
    m_demo->setStyleSheet(
        QStringLiteral("QLabel { color: white; background: %1; border-radius: 4px; }").arg(Theme::accent().name()));
    row->addWidget(m_demo);

    connect(&m_store, &LibraryStore::scanningChanged, this, &FooterBar::showScanning);
    connect(&m_store, &LibraryStore::checkingChanged, this, &FooterBar::showScanning);
    connect(&m_store, &LibraryStore::statusChanged, this, [this] { m_status->setText(m_store.status()); });
    connect(&m_store, &LibraryStore::selectionChanged, this, &FooterBar::showSelection);
    connect(&m_store, &LibraryStore::filesChanged, this, &FooterBar::showSelection);
    connect(&m_store, &LibraryStore::indexingChanged, this, &FooterBar::showIndexing);
    connect(&m_store, &LibraryStore::indexStatusChanged, this, &FooterBar::showIndexing);
    connect(&m_store, &LibraryStore::indexPausedChanged, this, &FooterBar::showIndexing);
    connect(&m_store, &LibraryStore::currentSongChanged, this, &FooterBar::showSong);
    connect(&m_store, &LibraryStore::playingChanged, this, &FooterBar::showSong);
    showScanning();
    m_status->setText(m_store.status());
    showSelection();
    showIndexing();
    showSong();
    // The demo flag is fixed when the store is made.
    m_demo->setVisible(m_store.isDemo());
}

void FooterBar::showScanning()
{
    m_busy->setVisible(m_store.scanning());
    m_dot->setVisible(!m_store.scanning());
    // The library saved last time is on screen while a scan compares it with the folders.
    const bool checking = m_store.checking();
    m_busy->setAccessibleName(checking ? QStringLiteral("Being checked") : QStringLiteral("Scanning"));
    m_status->setToolTip(checking ? QStringLiteral("These are the files Tessary found last time. It is checking "
                                                   "them against your folders; changes appear when it is done.")
                                  : QString());
}

void FooterBar::showSelection()
{
    m_quickLook->setVisible(m_store.selected().has_value());
}

void FooterBar::showIndexing()
{
    m_indexing->setVisible(m_store.indexing() || m_store.indexPaused());
    m_indexStatus->setText(m_store.indexStatus());
}

void FooterBar::showSong()
{
    const std::optional<FileRecord> &song = m_store.currentSong();
    m_player->setVisible(song.has_value());
    const bool playing = m_store.playing();
    const QString symbol = playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill");
    m_playPause->setIcon(Symbols::icon(symbol));
    m_playPause->setProperty("symbol", symbol);
    m_playPause->setAccessibleName(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    m_playPause->setToolTip(m_playPause->accessibleName());
    m_song->setText(song ? song->name() : QString());
}
