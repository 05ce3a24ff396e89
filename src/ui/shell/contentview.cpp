#include "ui/shell/contentview.h"

#include "store/librarystore.h"
#include "ui/frame/erroralert.h"
#include "ui/frame/footerbar.h"
#include "ui/frame/inspector.h"
#include "ui/frame/previewwindow.h"
#include "ui/frame/sidebar.h"
#include "ui/frame/toolbar.h"
#include "ui/frame/trashconfirmation.h"
#include "ui/sections/browsersection.h"
#include "ui/sections/cleanupsection.h"
#include "ui/sections/duplicatessection.h"
#include "ui/sections/homesection.h"
#include "ui/sections/sourcessection.h"

#include <QAction>
#include <QBoxLayout>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QStackedWidget>

ContentView::ContentView(LibraryStore &store, QWidget *parent)
    : QWidget(parent),
      m_store(store),
      m_toolbar(new Toolbar(store, this)),
      m_sidebar(new Sidebar(store, this)),
      m_sections(new QStackedWidget(this)),
      m_footer(new FooterBar(store, this))
{
    setObjectName(QStringLiteral("content"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolbar);
    m_row = new QHBoxLayout;
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(0);
    m_row->addWidget(m_sidebar);
    m_row->addWidget(m_sections, 1);
    layout->addLayout(m_row, 1);
    layout->addWidget(m_footer);

    m_trashConfirmation = new TrashConfirmation(store, this);
    m_errorAlert = new ErrorAlert(store, this);
    m_previewWindow = new PreviewWindow(store, this);

    // Ctrl+F gives the search field the focus from anywhere in the window.
    auto *find = new QAction(this);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, &ContentView::focusSearch);
    addAction(find);

    connect(m_toolbar, &Toolbar::quickSearchRequested, this, &ContentView::quickSearchRequested);
    connect(m_toolbar, &Toolbar::settingsRequested, this, &ContentView::settingsRequested);
    connect(&store, &LibraryStore::queryChanged, this, &ContentView::updateRoute);
    connect(&store, &LibraryStore::destinationChanged, this, &ContentView::updateRoute);
    connect(&store, &LibraryStore::showSidebarChanged, this, &ContentView::updatePanels);
    connect(&store, &LibraryStore::showInspectorChanged, this, &ContentView::updatePanels);
    m_route = routeFor(store.query(), store.destination());
    m_sections->setCurrentWidget(section(m_route));
    updatePanels();
}

ContentView::~ContentView() = default;

QWidget *ContentView::currentSection() const
{
    return m_sections->currentWidget();
}

void ContentView::focusSearch()
{
    m_toolbar->focusSearch();
}

void ContentView::keyPressEvent(QKeyEvent *event)
{
    // Space reaches here only when the focused control has no use for it (buttons, text fields
    // and the file views take it themselves): it shows the selected file.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (const std::optional<FileRecord> selected = m_store.selected()) {
            m_store.setPreview(*selected);
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const bool compact = isCompactWidth(event->size().width());
    if (compact != m_compact) {
        m_compact = compact;
        updatePanels();
    }
}

void ContentView::updateRoute()
{
    const SectionRoute route = routeFor(m_store.query(), m_store.destination());
    if (route == m_route && m_sections->currentWidget() != nullptr)
        return;
    m_route = route;
    // Keep the focus in the search field while typing switches the section.
    m_sections->setCurrentWidget(section(route));
}

Inspector &ContentView::inspector()
{
    // Made the first time it is shown: most sessions open without it.
    if (m_inspector == nullptr) {
        m_inspector = new Inspector(m_store, this);
        m_inspector->hide();
        m_row->addWidget(m_inspector);
    }
    return *m_inspector;
}

void ContentView::updatePanels()
{
    m_sidebar->setVisible(m_store.showSidebar() && !m_compact);
    const bool inspectorShown = m_store.showInspector() && !m_compact;
    if (inspectorShown || m_inspector != nullptr)
        inspector().setVisible(inspectorShown);
}

QWidget *ContentView::section(SectionRoute route)
{
    QWidget *&widget = m_sectionWidgets.at(size_t(route));
    if (widget != nullptr)
        return widget;
    switch (route) {
    case SectionRoute::home:
        widget = new HomeSection(m_store, m_sections);
        break;
    case SectionRoute::duplicates:
        widget = new DuplicatesSection(m_store, m_sections);
        break;
    case SectionRoute::cleanUp:
        widget = new CleanupSection(m_store, m_sections);
        break;
    case SectionRoute::sources:
        widget = new SourcesSection(m_store, m_sections);
        break;
    case SectionRoute::browser:
        widget = new BrowserSection(m_store, m_sections);
        break;
    }
    m_sections->addWidget(widget);
    return widget;
}
