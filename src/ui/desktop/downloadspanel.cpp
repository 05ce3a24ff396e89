#include "ui/desktop/downloadspanel.h"

#include "store/librarystore.h"
#include "ui/common/deferredupdate.h"
#include "ui/common/layouts.h"
#include "ui/common/symbols.h"
#include "ui/desktop/desktopservices.h"
#include "ui/thumbnails/thumbnailview.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace {

QToolButton *iconButton(QStringView symbol, const QString &help, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(Symbols::icon(symbol));
    button->setAutoRaise(true);
    button->setToolTip(help);
    button->setAccessibleName(help);
    return button;
}

QPushButton *plainButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setAccessibleName(text);
    button->setStyleSheet(QStringLiteral("text-align: left; padding: 4px 8px;"));
    return button;
}

} // namespace

DownloadsPanel::DownloadsPanel(LibraryStore &store, DesktopServices &services, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_services(services)
{
    setFixedWidth(kWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);

    auto *header = new QHBoxLayout;
    auto *title = new QLabel(QStringLiteral("Latest downloads"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    header->addWidget(title, 1);
    m_refresh = iconButton(u"arrow.clockwise", QStringLiteral("Refresh"), this);
    header->addWidget(m_refresh);
    layout->addLayout(header);

    m_empty = new QLabel(QStringLiteral("Add Downloads to your library to see new files here."), this);
    m_empty->setWordWrap(true);
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_empty);

    m_rows = new QWidget(this);
    m_rowLayout = new QVBoxLayout(m_rows);
    m_rowLayout->setContentsMargins(0, 0, 0, 0);
    m_rowLayout->setSpacing(2);
    layout->addWidget(m_rows);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    m_quickSearch = plainButton(quickSearchText(services.shortcutLabel()), this);
    auto *openMain = plainButton(QStringLiteral("Open Tessary"), this);
    auto *settings = plainButton(QStringLiteral("Settings…"), this);
    layout->addWidget(m_quickSearch);
    layout->addWidget(openMain);
    layout->addWidget(settings);

    connect(m_refresh, &QToolButton::clicked, &m_store, &LibraryStore::refresh);
    connect(m_quickSearch, &QPushButton::clicked, this, [this] {
        Q_EMIT actionTaken();
        m_services.toggleSearch();
    });
    connect(openMain, &QPushButton::clicked, this, [this] {
        Q_EMIT actionTaken();
        m_services.showMain();
    });
    connect(settings, &QPushButton::clicked, this, [this] {
        Q_EMIT actionTaken();
        m_services.showSettings();
    });
    connect(&m_store, &LibraryStore::scanningChanged, this,
        [this] { m_refresh->setEnabled(!m_store.scanning()); });
    // The newest downloads come from the store's catalogue, ready a moment after the files.
    auto *rebuild = new DeferredUpdate(this, [this] { rebuildRows(); });
    rebuild->follow(&m_store, &LibraryStore::filesChanged, &LibraryStore::viewsReady);
    connect(&m_store, &LibraryStore::hotKeyChanged, this, &DownloadsPanel::updateQuickSearchText);
    m_refresh->setEnabled(!m_store.scanning());
    rebuildRows();
}

QString DownloadsPanel::quickSearchText(const QString &shortcutLabel)
{
    return QStringLiteral("Quick Search  ") + shortcutLabel;
}

void DownloadsPanel::showEvent(QShowEvent *event)
{
    updateQuickSearchText();
    QWidget::showEvent(event);
}

void DownloadsPanel::updateQuickSearchText()
{
    m_quickSearch->setText(quickSearchText(m_services.shortcutLabel()));
    m_quickSearch->setAccessibleName(m_quickSearch->text());
}

void DownloadsPanel::rebuildRows()
{
    const QList<FileRecord> downloads = m_store.recentDownloads();
    m_empty->setVisible(downloads.isEmpty());
    m_rows->setVisible(!downloads.isEmpty());
    if (downloads == m_shown)
        return;
    m_shown = downloads;
    // A row's own button may be what led here: the layout lets the old rows go later.
    Layouts::clear(m_rowLayout);
    for (const FileRecord &file : downloads)
        m_rowLayout->addWidget(makeRow(file));
    adjustSize();
}

QWidget *DownloadsPanel::makeRow(const FileRecord &file)
{
    auto *row = new QWidget(m_rows);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);

    // The thumbnail and name sit inside the button so the whole of them is one click target.
    auto *open = new QPushButton(row);
    open->setFlat(true);
    open->setAccessibleName(file.name());
    open->setMinimumHeight(48);
    auto *inside = new QHBoxLayout(open);
    inside->setContentsMargins(4, 4, 4, 4);
    auto *thumbnail = new ThumbnailView(open);
    thumbnail->setFixedSize(40, 40);
    thumbnail->setFile(file);
    thumbnail->setAttribute(Qt::WA_TransparentForMouseEvents);
    inside->addWidget(thumbnail);
    auto *name = new QLabel(open);
    name->setText(name->fontMetrics().elidedText(file.name(), Qt::ElideMiddle, 220));
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    inside->addWidget(name, 1);
    layout->addWidget(open, 1);

    auto *showInTessary = iconButton(u"arrow.up.forward.app", QStringLiteral("Show in Tessary"), row);
    auto *showInFolder = iconButton(u"folder", QStringLiteral("Show in Folder"), row);
    layout->addWidget(showInTessary);
    layout->addWidget(showInFolder);

    connect(open, &QPushButton::clicked, this, [this, file] {
        Q_EMIT actionTaken();
        m_store.open(file);
    });
    connect(showInTessary, &QToolButton::clicked, this, [this, file] {
        Q_EMIT actionTaken();
        m_store.navigate(Destination::recents());
        m_store.select(file, LibraryStore::ClickModifier::none);
        m_services.showMain();
    });
    connect(showInFolder, &QToolButton::clicked, this, [this, file] {
        Q_EMIT actionTaken();
        m_store.reveal(file);
    });
    return row;
}
