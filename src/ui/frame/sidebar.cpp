#include "ui/frame/sidebar.h"

#include "store/librarystore.h"
#include "ui/common/deferredupdate.h"
#include "ui/common/layouts.h"
#include "ui/common/symbols.h"
#include "ui/common/theme.h"
#include "ui/frame/sidebarentry.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QVBoxLayout *plainColumn(QWidget *owner)
{
    auto *layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    return layout;
}

QWidget *symbolLabel(const QString &symbol, int size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(Symbols::icon(symbol).pixmap(size, size));
    label->setFixedWidth(SidebarEntry::kSymbolColumn + 4);
    return label;
}

} // namespace

Sidebar::Sidebar(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_countsUpdate(new DeferredUpdate(this, [this] { updateCounts(); }))
{
    setObjectName(QStringLiteral("sidebar"));
    setFixedWidth(kWidth);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setBackgroundRole(QPalette::Base);
    outer->addWidget(m_scroll);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedWidth(1);
    divider->setForegroundRole(QPalette::Mid);
    outer->addWidget(divider);

    auto *content = new QWidget(m_scroll);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(8, 12, 8, 12);
    column->setSpacing(1);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(SidebarEntry::kHorizontalPadding - 2, 0, 0, 8);
    header->addWidget(symbolLabel(QStringLiteral("square.stack.3d.up.fill"), 20, content));
    auto *name = new QLabel(QStringLiteral("Tessary"), content);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.25);
    name->setFont(nameFont);
    header->addWidget(name, 1);
    column->addLayout(header);

    const auto addPlace = [&](const Destination &destination, const char16_t *symbol) {
        SidebarEntry *entry = addEntry(column, destination.title(), QString::fromUtf16(symbol), destination);
        m_topEntries.append(entry);
        return entry;
    };
    addPlace(Destination::home(), u"house");
    addPlace(Destination::recents(), u"clock");
    addSectionLabel(column, QStringLiteral("LIBRARY"));
    for (const FileKind kind : FileKind::allCases()) {
        SidebarEntry *entry = addEntry(column, kind.rawValue(), kind.symbol(), Destination::ofKind(kind));
        m_kindEntries[kind] = entry;
        m_topEntries.append(entry);
    }
    addPlace(Destination::largeFiles(), u"externaldrive");
    addPlace(Destination::screenshots(), u"camera.viewfinder");
    addPlace(Destination::duplicates(), u"square.on.square");
    addPlace(Destination::cleanUp(), u"sparkles");
    addPlace(Destination::downloadedFrom(), u"arrow.down.circle");

    m_pinnedLabel = addSectionLabel(column, QStringLiteral("PINNED"));
    m_pinnedLayout = plainColumn(nullptr);
    column->addLayout(m_pinnedLayout);

    addSectionLabel(column, QStringLiteral("LOCATIONS"));
    m_rootsLayout = plainColumn(nullptr);
    column->addLayout(m_rootsLayout);
    m_addFolder = addEntry(column, QStringLiteral("Add folder"), QStringLiteral("plus"), std::nullopt);
    connect(m_addFolder, &SidebarEntry::clicked, this, [this] { m_store.chooseFolder(); });

    m_searchesLabel = addSectionLabel(column, QStringLiteral("SAVED SEARCHES"));
    m_searchesLayout = plainColumn(nullptr);
    column->addLayout(m_searchesLayout);

    column->addStretch(1);
    auto *footer = new QHBoxLayout;
    footer->setContentsMargins(SidebarEntry::kHorizontalPadding - 2, 12, 0, 0);
    footer->addWidget(symbolLabel(QStringLiteral("lock.shield"), 14, content));
    auto *privacy = new QLabel(QStringLiteral("Your files. On your computer."), content);
    privacy->setForegroundRole(QPalette::PlaceholderText);
    QFont small = privacy->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    privacy->setFont(small);
    privacy->setWordWrap(true);
    footer->addWidget(privacy, 1);
    column->addLayout(footer);
    m_scroll->setWidget(content);

    for (SidebarEntry *entry : std::as_const(m_topEntries))
        connect(entry, &SidebarEntry::clicked, this, [this, entry] { m_store.navigate(*entry->destination()); });

    // The counts come from the store's catalogue, ready a moment after the files.
    m_countsUpdate->follow(&m_store, &LibraryStore::filesChanged, &LibraryStore::viewsReady);
    connect(&m_store, &LibraryStore::minimalChanged, this, &Sidebar::updateTints);
    connect(&m_store, &LibraryStore::destinationChanged, this, &Sidebar::updateHighlight);
    connect(&m_store, &LibraryStore::queryChanged, this, &Sidebar::updateHighlight);
    connect(&m_store, &LibraryStore::pinnedPathsChanged, this, &Sidebar::rebuildPinned);
    connect(&m_store, &LibraryStore::rootsChanged, this, &Sidebar::rebuildLocations);
    connect(&m_store, &LibraryStore::savedSearchesChanged, this, &Sidebar::rebuildSearches);

    rebuildPinned();
    rebuildLocations();
    rebuildSearches();
    updateCounts();
    updateTints();
}

QList<SidebarEntry *> Sidebar::entries() const
{
    return m_topEntries + m_pinnedEntries + m_rootEntries + QList<SidebarEntry *> { m_addFolder } + m_searchEntries;
}

SidebarEntry *Sidebar::addEntry(
    QVBoxLayout *layout, const QString &title, const QString &symbol, const std::optional<Destination> &destination)
{
    auto *entry = new SidebarEntry(title, symbol, destination, this);
    connect(entry, &SidebarEntry::focusStepRequested, this, [this, entry](int step) { stepFocus(entry, step); });
    layout->addWidget(entry);
    return entry;
}

QLabel *Sidebar::addSectionLabel(QVBoxLayout *layout, const QString &title)
{
    auto *label = new QLabel(title, this);
    label->setObjectName(QStringLiteral("sectionLabel"));
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setContentsMargins(SidebarEntry::kHorizontalPadding, 14, 0, 4);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.8);
    font.setBold(true);
    font.setLetterSpacing(QFont::PercentageSpacing, 106);
    label->setFont(font);
    layout->addWidget(label);
    return label;
}

void Sidebar::rebuildPinned()
{
    // One of the old entries may have sent the change (its "Unpin"): the layout lets them go later.
    Layouts::clear(m_pinnedLayout);
    m_pinnedEntries.clear();
    const QStringList &paths = m_store.pinnedPaths();
    m_pinnedLabel->setVisible(!paths.isEmpty());
    for (const QString &path : paths) {
        const Destination folder = Destination::folder(path.toUtf8());
        SidebarEntry *entry = addEntry(m_pinnedLayout, folder.title(), QStringLiteral("folder"), folder);
        connect(entry, &SidebarEntry::clicked, this, [this, folder] { m_store.navigate(folder); });
        auto *unpin = new QAction(QStringLiteral("Unpin"), entry);
        connect(unpin, &QAction::triggered, this, [this, path] {
            QStringList kept = m_store.pinnedPaths();
            kept.removeAll(path);
            m_store.setPinnedPaths(kept);
        });
        entry->addAction(unpin);
        entry->setContextMenuPolicy(Qt::ActionsContextMenu);
        m_pinnedEntries.append(entry);
    }
    updateHighlight();
}

void Sidebar::rebuildLocations()
{
    Layouts::clear(m_rootsLayout);
    m_rootEntries.clear();
    for (const QByteArray &root : m_store.roots()) {
        const Destination folder = Destination::folder(root);
        SidebarEntry *entry = addEntry(m_rootsLayout, folder.title(), QStringLiteral("folder"), folder);
        connect(entry, &SidebarEntry::clicked, this, [this, folder] { m_store.navigate(folder); });
        auto *remove = new QAction(QStringLiteral("Remove from library"), entry);
        connect(remove, &QAction::triggered, this, [this, root] { m_store.removeRoot(root); });
        entry->addAction(remove);
        entry->setContextMenuPolicy(Qt::ActionsContextMenu);
        m_rootEntries.append(entry);
    }
    updateHighlight();
}

void Sidebar::rebuildSearches()
{
    Layouts::clear(m_searchesLayout);
    m_searchEntries.clear();
    const QStringList &searches = m_store.savedSearches();
    m_searchesLabel->setVisible(!searches.isEmpty());
    for (const QString &text : searches) {
        // A saved search is no destination: it only fills the query, so it is never highlighted.
        SidebarEntry *entry = addEntry(m_searchesLayout, text, QStringLiteral("magnifyingglass"), std::nullopt);
        connect(entry, &SidebarEntry::clicked, this, [this, text] { m_store.setQuery(text); });
        auto *remove = new QAction(QStringLiteral("Remove saved search"), entry);
        connect(remove, &QAction::triggered, this, [this, text] { m_store.deleteSearch(text); });
        entry->addAction(remove);
        entry->setContextMenuPolicy(Qt::ActionsContextMenu);
        m_searchEntries.append(entry);
    }
}

void Sidebar::updateCounts()
{
    const LibraryCounts::KindCounts &counts = m_store.counts().kinds();
    for (const FileKind kind : FileKind::allCases())
        m_kindEntries[kind]->setCount(counts[size_t(kind)]);
}

void Sidebar::updateTints()
{
    const bool minimal = m_store.minimal();
    for (const FileKind kind : FileKind::allCases())
        m_kindEntries[kind]->setTint(minimal ? QColor() : Theme::kindTint(kind));
}

void Sidebar::updateHighlight()
{
    const bool browsing = m_store.query().isEmpty();
    for (SidebarEntry *entry : entries())
        entry->setHighlighted(browsing && entry->destination() == m_store.destination());
}

void Sidebar::stepFocus(SidebarEntry *from, int step)
{
    const QList<SidebarEntry *> all = entries();
    const qsizetype index = all.indexOf(from);
    if (index < 0)
        return;
    const qsizetype target = index + step;
    if (target < 0 || target >= all.size())
        return;
    all[target]->setFocus(Qt::TabFocusReason);
    m_scroll->ensureWidgetVisible(all[target]);
}
