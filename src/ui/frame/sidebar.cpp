#include "ui/frame/sidebar.h"

#include "store/librarystore.h"
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

    m_topEntries.append(addEntry(column, QStringLiteral("Home"), QStringLiteral("house"), QStringLiteral("Home")));
    m_topEntries.append(
        addEntry(column, QStringLiteral("Recents"), QStringLiteral("clock"), QStringLiteral("Recents")));
    addSectionLabel(column, QStringLiteral("LIBRARY"));
    for (const FileKind kind : FileKind::allCases()) {
        SidebarEntry *entry = addEntry(column, kind.rawValue(), kind.symbol(), kind.rawValue());
        m_kindEntries[kind] = entry;
        m_topEntries.append(entry);
    }
    const std::pair<const char16_t *, const char16_t *> fixed[] = {
        { u"Large Files", u"externaldrive" },
        { u"Screenshots", u"camera.viewfinder" },
        { u"Duplicates", u"square.on.square" },
        { u"Clean Up", u"sparkles" },
        { u"Downloaded From", u"arrow.down.circle" },
    };
    for (const auto &[title, symbol] : fixed) {
        const QString text = QString::fromUtf16(title);
        m_topEntries.append(addEntry(column, text, QString::fromUtf16(symbol), text));
    }

    m_pinnedLabel = addSectionLabel(column, QStringLiteral("PINNED"));
    m_pinnedLayout = plainColumn(nullptr);
    column->addLayout(m_pinnedLayout);

    addSectionLabel(column, QStringLiteral("LOCATIONS"));
    m_rootsLayout = plainColumn(nullptr);
    column->addLayout(m_rootsLayout);
    m_addFolder = addEntry(column, QStringLiteral("Add folder"), QStringLiteral("plus"), QString());
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
        connect(entry, &SidebarEntry::clicked, this, [this, key = entry->key()] { m_store.navigate(key); });

    connect(&m_store, &LibraryStore::filesChanged, this, &Sidebar::updateCounts);
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

std::array<qsizetype, 7> Sidebar::kindCounts(const QList<FileRecord> &files)
{
    std::array<qsizetype, 7> counts {};
    for (const FileRecord &file : files)
        ++counts[file.kind];
    return counts;
}

QString Sidebar::folderTitle(const QString &path)
{
    QStringView trimmed(path);
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0 || trimmed.size() == 1)
        return trimmed.toString();
    return trimmed.mid(slash + 1).toString();
}

SidebarEntry *Sidebar::addEntry(QVBoxLayout *layout, const QString &title, const QString &symbol, const QString &key)
{
    auto *entry = new SidebarEntry(title, symbol, key, this);
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

void Sidebar::clearEntries(QList<SidebarEntry *> &entries)
{
    for (SidebarEntry *entry : std::as_const(entries)) {
        entry->hide();
        entry->deleteLater();
    }
    entries.clear();
}

void Sidebar::rebuildPinned()
{
    clearEntries(m_pinnedEntries);
    const QStringList &paths = m_store.pinnedPaths();
    m_pinnedLabel->setVisible(!paths.isEmpty());
    for (const QString &path : paths) {
        SidebarEntry *entry = addEntry(m_pinnedLayout, folderTitle(path), QStringLiteral("folder"), u"folder:" + path);
        connect(entry, &SidebarEntry::clicked, this, [this, key = entry->key()] { m_store.navigate(key); });
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
    clearEntries(m_rootEntries);
    for (const QByteArray &root : m_store.roots()) {
        const QString path = QString::fromUtf8(root);
        SidebarEntry *entry = addEntry(m_rootsLayout, folderTitle(path), QStringLiteral("folder"), u"folder:" + path);
        connect(entry, &SidebarEntry::clicked, this, [this, key = entry->key()] { m_store.navigate(key); });
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
    clearEntries(m_searchEntries);
    const QStringList &searches = m_store.savedSearches();
    m_searchesLabel->setVisible(!searches.isEmpty());
    for (const QString &text : searches) {
        // A saved search is no destination: it only fills the query, so it is never highlighted.
        SidebarEntry *entry = addEntry(m_searchesLayout, text, QStringLiteral("magnifyingglass"), QString());
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
    const std::array<qsizetype, 7> counts = kindCounts(m_store.files());
    for (const FileKind kind : FileKind::allCases())
        m_kindEntries[kind]->setCount(counts[kind]);
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
    const QString &destination = m_store.destination();
    for (SidebarEntry *entry : entries())
        entry->setHighlighted(browsing && !entry->key().isEmpty() && entry->key() == destination);
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
