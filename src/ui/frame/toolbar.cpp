#include "ui/frame/toolbar.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {

QFont sized(QFont font, qreal points)
{
    font.setPointSizeF(points);
    return font;
}

} // namespace

Toolbar::Toolbar(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("toolbar"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(6);

    auto *navigation = new QToolButton(this);
    navigation->setObjectName(QStringLiteral("navigationMenu"));
    navigation->setIcon(Symbols::icon(u"sidebar.left"));
    navigation->setAutoRaise(true);
    navigation->setPopupMode(QToolButton::InstantPopup);
    // A borderless button that shows only its symbol, without the menu arrow.
    navigation->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    navigation->setAccessibleName(QStringLiteral("Navigation"));
    auto *menu = new QMenu(navigation);
    QList<Destination> destinations { Destination::home(), Destination::recents() };
    for (const FileKind kind : FileKind::allCases())
        destinations.append(Destination::ofKind(kind));
    destinations << Destination::duplicates() << Destination::cleanUp() << Destination::downloadedFrom();
    for (const Destination &destination : std::as_const(destinations))
        menu->addAction(destination.title(), this, [this, destination] { m_store.navigate(destination); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Add Folder\u2026"), this, [this] { m_store.chooseFolder(); });
    menu->addAction(
        QStringLiteral("Show / Hide Sidebar"), this, [this] { m_store.setShowSidebar(!m_store.showSidebar()); });
    navigation->setMenu(menu);
    row->addWidget(navigation);

    auto *search = new QFrame(this);
    search->setObjectName(QStringLiteral("searchBox"));
    search->setFrameShape(QFrame::StyledPanel);
    search->setAutoFillBackground(true);
    search->setBackgroundRole(QPalette::Base);
    auto *searchRow = new QHBoxLayout(search);
    searchRow->setContentsMargins(8, 2, 6, 2);
    searchRow->setSpacing(4);
    auto *glass = new QLabel(search);
    glass->setPixmap(Symbols::icon(u"magnifyingglass").pixmap(14, 14, QIcon::Disabled));
    searchRow->addWidget(glass);
    m_field = new QLineEdit(search);
    m_field->setObjectName(QStringLiteral("searchField"));
    m_field->setFrame(false);
    m_field->setFont(sized(m_field->font(), 12));
    m_field->setPlaceholderText(QStringLiteral("Search, or try \u2018pdfs from last week\u2019"));
    m_field->setAccessibleName(QStringLiteral("Search"));
    searchRow->addWidget(m_field, 1);
    m_clear = new QToolButton(search);
    m_clear->setObjectName(QStringLiteral("clearSearch"));
    m_clear->setIcon(Symbols::icon(u"xmark.circle.fill"));
    m_clear->setAutoRaise(true);
    m_clear->setFocusPolicy(Qt::NoFocus);
    m_clear->setAccessibleName(QStringLiteral("Clear search"));
    searchRow->addWidget(m_clear);
    m_hint = new QLabel(QStringLiteral("Ctrl F"), search);
    m_hint->setObjectName(QStringLiteral("searchHint"));
    m_hint->setFont(sized(m_hint->font(), 10));
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    searchRow->addWidget(m_hint);
    row->addWidget(search, 1);

    // Only the user's own edits reach the store; changes from elsewhere are copied into the
    // field only when they differ, so neither side echoes the other and the cursor stays put.
    connect(m_field, &QLineEdit::textEdited, this, [this](const QString &text) { m_store.setQuery(text); });
    connect(m_clear, &QToolButton::clicked, this, [this] { m_store.setQuery(QString()); });
    connect(&m_store, &LibraryStore::queryChanged, this, &Toolbar::showQuery);

    QToolButton *quick = addIconButton(QStringLiteral("Quick Search"));
    quick->setIcon(Symbols::icon(u"bolt.circle"));
    connect(quick, &QToolButton::clicked, this, &Toolbar::quickSearchRequested);
    QToolButton *settings = addIconButton(QStringLiteral("Settings"));
    settings->setIcon(Symbols::icon(u"gearshape"));
    connect(settings, &QToolButton::clicked, this, &Toolbar::settingsRequested);
    m_look = addIconButton(QStringLiteral("Switch between Playful and Minimal"));
    connect(m_look, &QToolButton::clicked, this, [this] { m_store.setMinimal(!m_store.minimal()); });
    m_layoutMode = addIconButton(QStringLiteral("Switch grid / list"));
    connect(m_layoutMode, &QToolButton::clicked, this, [this] { m_store.setListMode(!m_store.listMode()); });
    QToolButton *inspector = addIconButton(QStringLiteral("Toggle inspector (Ctrl+I)"));
    inspector->setIcon(Symbols::icon(u"sidebar.right"));
    connect(inspector, &QToolButton::clicked, this, [this] { m_store.setShowInspector(!m_store.showInspector()); });
    for (QToolButton *button : { quick, settings, m_look, m_layoutMode, inspector })
        row->addWidget(button);

    connect(&m_store, &LibraryStore::minimalChanged, this, &Toolbar::showLook);
    connect(&m_store, &LibraryStore::listModeChanged, this, &Toolbar::showLayoutMode);
    showQuery();
    showLook();
    showLayoutMode();
}

void Toolbar::focusSearch()
{
    m_field->setFocus(Qt::ShortcutFocusReason);
}

QToolButton *Toolbar::addIconButton(const QString &help)
{
    auto *button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setToolTip(help);
    button->setAccessibleName(help);
    return button;
}

void Toolbar::showQuery()
{
    const QString &query = m_store.query();
    if (m_field->text() != query)
        m_field->setText(query);
    m_clear->setVisible(!query.isEmpty());
    m_hint->setVisible(query.isEmpty());
}

void Toolbar::showLook()
{
    const QString symbol
        = m_store.minimal() ? QStringLiteral("circle.lefthalf.filled") : QStringLiteral("paintpalette");
    m_look->setIcon(Symbols::icon(symbol));
    m_look->setProperty("symbol", symbol);
}

void Toolbar::showLayoutMode()
{
    // The icon names the mode a click switches to.
    const QString symbol = m_store.listMode() ? QStringLiteral("square.grid.2x2") : QStringLiteral("list.bullet");
    m_layoutMode->setIcon(Symbols::icon(symbol));
    m_layoutMode->setProperty("symbol", symbol);
}
