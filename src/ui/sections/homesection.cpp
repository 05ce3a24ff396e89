#include "ui/sections/homesection.h"

#include "store/librarystore.h"
#include "ui/common/deferredupdate.h"
#include "ui/common/layouts.h"
#include "ui/common/symbols.h"
#include "ui/common/theme.h"
#include "ui/sections/adaptivegridlayout.h"
#include "ui/sections/cleanupcards.h"
#include "ui/sections/filesurface.h"
#include "ui/sections/foldercard.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/sectionwidgets.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kRecentCount = 10;
constexpr int kSourceChips = 12;
} // namespace

HomeSection::HomeSection(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_update(new DeferredUpdate(this, [this] { updateBody(); }))
{
    const std::array<FileKind, kRecentKinds> recent { FileKind::images, FileKind::videos, FileKind::music,
        FileKind::documents };
    for (size_t i = 0; i < recent.size(); ++i)
        m_strips[i].kind = recent[i];
    QVBoxLayout *content = SectionWidgets::scrollingPage(this);
    auto *header = new QHBoxLayout;
    auto *texts = new QVBoxLayout;
    m_greeting = SectionWidgets::title(QString(), 10);
    m_subtitle = SectionWidgets::secondary(QString());
    texts->addWidget(m_greeting);
    texts->addWidget(m_subtitle);
    header->addLayout(texts, 1);
    m_refresh = SectionWidgets::button(QStringLiteral("Refresh"), u"arrow.clockwise");
    connect(m_refresh, &QPushButton::clicked, &store, &LibraryStore::refresh);
    header->addWidget(m_refresh, 0, Qt::AlignTop);
    content->addLayout(header);
    m_onboarding = makeOnboarding();
    content->addWidget(m_onboarding);
    m_library = makeLibrary();
    content->addWidget(m_library);
    content->addStretch(1);

    // The files' counts come from the store's catalogue, ready a moment after the files.
    m_update->follow(&store, &LibraryStore::rootsChanged, &LibraryStore::filesChanged, &LibraryStore::viewsReady,
        &LibraryStore::minimalChanged);
    connect(&store, &LibraryStore::scanningChanged, this, &HomeSection::updateHeader);
    // The greeting follows the clock.
    m_clockTimer.setInterval(60'000);
    connect(&m_clockTimer, &QTimer::timeout, this, &HomeSection::updateHeader);
    m_clockTimer.start();
    updateBody();
}

void HomeSection::setClock(Clock clock)
{
    m_clock = std::move(clock);
    updateHeader();
}

void HomeSection::updateHeader()
{
    const QString greeting = SectionText::greeting(m_clock().time().hour());
    m_greeting->setText(greeting);
    m_greeting->setAccessibleName(greeting);
    const bool empty = m_store.roots().isEmpty();
    const QString subtitle = empty ? QStringLiteral("A little clarity for everything you keep.")
                                   : QString::number(m_store.files().size()) + QStringLiteral(" files · ")
            + SectionText::bytes(m_store.totalSize()) + QStringLiteral(" in your library");
    m_subtitle->setText(subtitle);
    m_subtitle->setAccessibleName(subtitle);
    m_refresh->setEnabled(!m_store.scanning() && !empty);
}

void HomeSection::updateBody()
{
    updateHeader();
    const bool empty = m_store.roots().isEmpty();
    m_onboarding->setVisible(empty);
    m_library->setVisible(!empty);
    if (empty)
        return;
    const LibraryCounts &counts = m_store.counts();
    for (const FileKind kind : FileKind::allCases())
        m_folderCards[size_t(kind)]->setState(counts.kinds()[size_t(kind)], m_store.minimal());
    updateSources();
    for (RecentStrip &strip : m_strips)
        updateStrip(strip);
}

QWidget *HomeSection::makeOnboarding()
{
    auto *block = new QWidget;
    auto *column = new QVBoxLayout(block);
    column->setContentsMargins(0, 40, 0, 0);
    column->setSpacing(12);
    auto *icon = new QLabel;
    icon->setPixmap(Symbols::icon(u"folder.badge.plus").pixmap(64, 64));
    icon->setAlignment(Qt::AlignHCenter);
    column->addWidget(icon);
    QLabel *title = SectionWidgets::title(QStringLiteral("Make room for your things."), 6);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    QLabel *text = SectionWidgets::secondary(QStringLiteral(
        "Add Downloads, Documents, or any folder.\nTessary organizes the view, while your files stay where they are."));
    text->setAlignment(Qt::AlignHCenter);
    column->addWidget(text);
    QPushButton *choose = SectionWidgets::button(QStringLiteral("Choose folders…"));
    choose->setDefault(true);
    connect(choose, &QPushButton::clicked, &m_store, &LibraryStore::chooseFolder);
    column->addWidget(choose, 0, Qt::AlignHCenter);
    return block;
}

QWidget *HomeSection::makeLibrary()
{
    auto *block = new QWidget;
    auto *column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(Theme::Metrics::kBlockGap);

    column->addWidget(
        SectionWidgets::heading(QStringLiteral("Your library"), QStringLiteral("Everything in its place")));
    auto *cards = new QWidget;
    auto *grid = new AdaptiveGridLayout(190, Theme::Metrics::kGridColumnGap, Theme::Metrics::kGridRowGap, cards);
    for (const FileKind kind : FileKind::allCases()) {
        auto *card = new FolderCard(kind, 0, m_store.minimal(), cards);
        connect(card, &QAbstractButton::clicked, this, [this, kind] { m_store.navigate(Destination::ofKind(kind)); });
        grid->addWidget(card);
        m_folderCards[size_t(kind)] = card;
    }
    column->addWidget(cards);

    QPushButton *viewCleanUp = SectionWidgets::linkButton(QStringLiteral("View clean up  →"));
    connect(viewCleanUp, &QPushButton::clicked, this, [this] { m_store.navigate(Destination::cleanUp()); });
    column->addWidget(SectionWidgets::heading(
        QStringLiteral("Room for a fresh start"), QStringLiteral("Review before you remove"), viewCleanUp));
    column->addWidget(new CleanupCards(m_store));

    m_sourcesHeading
        = SectionWidgets::heading(QStringLiteral("Downloaded from"), QStringLiteral("Find it by where you found it"));
    column->addWidget(m_sourcesHeading);
    auto *chips = new QWidget;
    m_sourceChips = new QHBoxLayout(chips);
    m_sourceChips->setContentsMargins(0, 0, 0, 0);
    m_sourceChips->setSpacing(10);
    m_sourceChips->setSizeConstraint(QLayout::SetFixedSize);
    m_sourcesStrip = SectionWidgets::horizontalStrip(chips);
    column->addWidget(m_sourcesStrip);

    for (RecentStrip &strip : m_strips)
        column->addWidget(makeStrip(strip));
    return block;
}

void HomeSection::updateSources()
{
    const LibraryCounts &counts = m_store.counts();
    QList<std::pair<QString, qsizetype>> shown;
    for (const QString &name : counts.sources().mid(0, kSourceChips))
        shown.append({ name, counts.sourceCount(name) });
    if (shown != m_shownSources) {
        m_shownSources = shown;
        Layouts::refill(m_sourceChips, [this, &shown] {
            for (const auto &[name, count] : std::as_const(shown)) {
                QPushButton *chip = SectionWidgets::button(
                    name + QStringLiteral("   ") + SectionText::fileCount(count), u"arrow.down.circle");
                connect(
                    chip, &QPushButton::clicked, this, [this, name] { m_store.navigate(Destination::source(name)); });
                m_sourceChips->addWidget(chip);
            }
        });
    }
    // Shown after the chips are in, so that they appear with the strip in one show.
    m_sourcesHeading->setVisible(!shown.isEmpty());
    m_sourcesStrip->setVisible(!shown.isEmpty());
}

QWidget *HomeSection::makeStrip(RecentStrip &strip)
{
    const FileKind kind = strip.kind;
    strip.block = new QWidget;
    auto *column = new QVBoxLayout(strip.block);
    column->setContentsMargins(0, 0, 0, 0);
    QPushButton *seeAll = SectionWidgets::linkButton(QStringLiteral("See all →"));
    connect(seeAll, &QPushButton::clicked, this, [this, kind] { m_store.navigate(Destination::ofKind(kind)); });
    column->addWidget(SectionWidgets::heading(
        QStringLiteral("Recent ") + kind.rawValue().toLower(), QStringLiteral("Pick up where you left off"), seeAll));
    auto *row = new QWidget;
    strip.tiles = new QHBoxLayout(row);
    strip.tiles->setContentsMargins(0, 0, 0, 0);
    strip.tiles->setSpacing(Theme::Metrics::kStripGap);
    strip.tiles->setSizeConstraint(QLayout::SetFixedSize);
    column->addWidget(SectionWidgets::horizontalStrip(row));
    strip.block->hide();
    return strip.block;
}

void HomeSection::updateStrip(RecentStrip &strip)
{
    QList<FileRecord> files = m_store.leadingFiles(strip.kind, kRecentCount);
    if (files != strip.files) {
        strip.files = std::move(files);
        // The same number of tiles: each shows its new record in place, so a strip that moves on
        // by one file, or whose records gained their media facts, makes no widgets.
        if (strip.tiles->count() == strip.files.size()) {
            for (qsizetype i = 0; i < strip.files.size(); ++i)
                static_cast<FileSurface *>(strip.tiles->itemAt(int(i))->widget())->setFile(strip.files[i]);
        } else {
            Layouts::refill(strip.tiles, [this, &strip] {
                for (const FileRecord &file : std::as_const(strip.files))
                    strip.tiles->addWidget(new FileSurface(m_store, file, FileSurface::Shape::tile));
            });
        }
    }
    // Shown after its tiles are in: a hidden strip then shows them with itself, in one show.
    strip.block->setVisible(!strip.files.isEmpty());
}
