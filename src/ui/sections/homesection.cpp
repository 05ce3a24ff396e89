#include "ui/sections/homesection.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/sections/adaptivegridlayout.h"
#include "ui/sections/cleanupcards.h"
#include "ui/sections/filesurface.h"
#include "ui/sections/foldercard.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/sectionwidgets.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

#include <array>

namespace {
constexpr std::array<FileKind, 4> kRecentKinds { FileKind::images, FileKind::videos, FileKind::music, FileKind::documents };
constexpr int kRecentCount = 10;
constexpr int kSourceChips = 12;
} // namespace

HomeSection::HomeSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    m_content = SectionWidgets::scrollingPage(this, 14);

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
    m_content->addLayout(header);
    m_content->addStretch(1);

    m_rebuildTimer.setSingleShot(true);
    m_rebuildTimer.setInterval(0);
    connect(&m_rebuildTimer, &QTimer::timeout, this, &HomeSection::rebuild);
    for (auto signal : { &LibraryStore::rootsChanged, &LibraryStore::filesChanged, &LibraryStore::minimalChanged,
             &LibraryStore::tileSizeChanged, &LibraryStore::duplicatesChanged, &LibraryStore::duplicatesCheckedChanged })
        connect(&store, signal, this, &HomeSection::scheduleRebuild);
    connect(&store, &LibraryStore::scanningChanged, this, &HomeSection::updateHeader);
    // The greeting follows the clock.
    m_clockTimer.setInterval(60'000);
    connect(&m_clockTimer, &QTimer::timeout, this, &HomeSection::updateHeader);
    m_clockTimer.start();
    rebuild();
}

void HomeSection::setClock(Clock clock)
{
    m_clock = std::move(clock);
    updateHeader();
}

void HomeSection::scheduleRebuild()
{
    m_rebuildTimer.start();
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

void HomeSection::rebuild()
{
    if (SectionWidgets::interactionInProgress()) {
        m_rebuildTimer.start(200);
        return;
    }
    updateHeader();
    const QByteArray key = bodyKey();
    if (m_body != nullptr && key == m_bodyKey)
        return;
    m_bodyKey = key;
    // Everything below the header is replaced as a whole.
    delete m_body;
    m_body = new QWidget;
    auto *column = new QVBoxLayout(m_body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    m_content->insertWidget(1, m_body);
    if (m_store.roots().isEmpty()) {
        column->addWidget(onboarding());
        return;
    }
    column->addWidget(SectionWidgets::heading(QStringLiteral("Your library"), QStringLiteral("Everything in its place")));
    column->addWidget(libraryCards());

    QPushButton *viewCleanUp = SectionWidgets::linkButton(QStringLiteral("View clean up  →"));
    connect(viewCleanUp, &QPushButton::clicked, this, [this] { m_store.navigate(QStringLiteral("Clean Up")); });
    column->addWidget(SectionWidgets::heading(
        QStringLiteral("Room for a fresh start"), QStringLiteral("Review before you remove"), viewCleanUp));
    column->addWidget(new CleanupCards(m_store));

    if (QWidget *sources = sourcesStrip()) {
        column->addWidget(SectionWidgets::heading(QStringLiteral("Downloaded from"), QStringLiteral("Find it by where you found it")));
        column->addWidget(sources);
    }

    // One pass gathers the first ten files of each recent kind, in library order.
    std::array<QList<FileRecord>, kRecentKinds.size()> recent;
    for (const FileRecord &file : m_store.files()) {
        for (size_t k = 0; k < kRecentKinds.size(); ++k)
            if (file.kind == kRecentKinds[k] && recent[k].size() < kRecentCount)
                recent[k].append(file);
    }
    for (size_t k = 0; k < kRecentKinds.size(); ++k)
        if (!recent[k].isEmpty())
            column->addWidget(recentStrip(kRecentKinds[k], recent[k]));
}

QByteArray HomeSection::bodyKey() const
{
    // Everything the body shows: the cards' counts and sizes, the sources with their counts,
    // and the files of the recent strips (with their dates, which pick the thumbnails).
    QByteArray key;
    const auto add = [&key](qint64 value) { key.append(reinterpret_cast<const char *>(&value), sizeof value); };
    add(m_store.roots().isEmpty());
    add(m_store.minimal());
    add(m_store.duplicatesChecked());
    for (const DuplicateGroup &group : m_store.duplicates())
        add(group.reclaimable());
    for (const CleanCategory &category : m_store.cleanCategories())
        add(category.files.size());
    std::array<qsizetype, kRecentKinds.size()> recent {};
    QHash<QString, qsizetype> sourceCounts;
    std::array<qsizetype, FileKind::allCases().size()> kinds {};
    for (const FileRecord &file : m_store.files()) {
        ++kinds[size_t(FileKind::Value(file.kind))];
        if (file.source)
            if (const std::optional<QString> name = file.sourceName())
                ++sourceCounts[*name];
        for (size_t k = 0; k < kRecentKinds.size(); ++k) {
            if (file.kind == kRecentKinds[k] && recent[k] < kRecentCount) {
                ++recent[k];
                key.append(file.path).append('\0');
                add(file.modified.unixSeconds());
                add(file.modified.nanoseconds());
            }
        }
    }
    for (const qsizetype count : kinds)
        add(count);
    for (const QString &name : m_store.sources().mid(0, kSourceChips)) {
        key.append(name.toUtf8()).append('\0');
        add(sourceCounts.value(name));
    }
    return key;
}

QWidget *HomeSection::onboarding()
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

QWidget *HomeSection::libraryCards()
{
    std::array<qsizetype, FileKind::allCases().size()> counts {};
    for (const FileRecord &file : m_store.files())
        ++counts[size_t(FileKind::Value(file.kind))];
    auto *cards = new QWidget;
    auto *grid = new AdaptiveGridLayout(190, 16, 18, cards);
    for (const FileKind kind : FileKind::allCases()) {
        auto *card = new FolderCard(kind, counts[size_t(FileKind::Value(kind))], m_store.minimal(), cards);
        connect(card, &QAbstractButton::clicked, this, [this, kind] { m_store.navigate(kind.rawValue()); });
        grid->addWidget(card);
    }
    return cards;
}

QWidget *HomeSection::sourcesStrip()
{
    const QStringList sources = m_store.sources();
    if (sources.isEmpty())
        return nullptr;
    QHash<QString, qsizetype> counts;
    for (const FileRecord &file : m_store.files())
        if (const std::optional<QString> name = file.sourceName())
            ++counts[*name];
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    for (const QString &name : sources.mid(0, kSourceChips)) {
        QPushButton *chip = SectionWidgets::button(name + QStringLiteral("   ") + SectionText::fileCount(counts.value(name)),
            u"arrow.down.circle");
        connect(chip, &QPushButton::clicked, this, [this, name] { m_store.navigate(QStringLiteral("source:") + name); });
        layout->addWidget(chip);
    }
    return SectionWidgets::horizontalStrip(row);
}

QWidget *HomeSection::recentStrip(FileKind kind, const QList<FileRecord> &files)
{
    auto *block = new QWidget;
    auto *column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    QPushButton *seeAll = SectionWidgets::linkButton(QStringLiteral("See all →"));
    connect(seeAll, &QPushButton::clicked, this, [this, kind] { m_store.navigate(kind.rawValue()); });
    column->addWidget(SectionWidgets::heading(
        QStringLiteral("Recent ") + kind.rawValue().toLower(), QStringLiteral("Pick up where you left off"), seeAll));
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    for (const FileRecord &file : files)
        layout->addWidget(new FileSurface(m_store, file, FileSurface::Shape::tile));
    column->addWidget(SectionWidgets::horizontalStrip(row));
    return block;
}
