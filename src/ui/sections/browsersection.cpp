#include "ui/sections/browsersection.h"

#include "store/librarystore.h"
#include "ui/common/deferredupdate.h"
#include "ui/common/symbols.h"
#include "ui/common/theme.h"
#include "ui/sections/filelistmodel.h"
#include "ui/sections/fileview.h"
#include "ui/sections/querychipsrow.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/sectionwidgets.h"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>

namespace {
const QString kAllSources = QStringLiteral("All sources");
} // namespace

BrowserSection::BrowserSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    m_model = new FileListModel(store, this);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(Theme::Metrics::page(Theme::Metrics::PageEnd::flush));
    column->setSpacing(Theme::Metrics::kRowGap);
    column->addWidget(headerRow());
    column->addWidget(new QueryChipsRow(store, this));
    column->addWidget(actionBar());

    m_body = new QStackedWidget;
    m_empty = new QWidget;
    auto *empty = new QVBoxLayout(m_empty);
    empty->addStretch(1);
    auto *icon = new QLabel;
    icon->setPixmap(Symbols::icon(u"doc.text.magnifyingglass").pixmap(48, 48));
    icon->setAlignment(Qt::AlignHCenter);
    empty->addWidget(icon);
    m_emptyTitle = SectionWidgets::title(QString(), 4);
    m_emptyTitle->setAlignment(Qt::AlignHCenter);
    empty->addWidget(m_emptyTitle);
    m_emptyText = SectionWidgets::secondary(QString());
    m_emptyText->setAlignment(Qt::AlignHCenter);
    empty->addWidget(m_emptyText);
    empty->addStretch(1);
    m_body->addWidget(m_empty);
    m_view = new FileView(store, *m_model);
    m_body->addWidget(m_view);
    column->addWidget(m_body, 1);

    connect(m_model, &QAbstractItemModel::modelReset, this, &BrowserSection::updateHeader);
    connect(m_model, &QAbstractItemModel::modelReset, this, &BrowserSection::updateBody);
    for (auto signal : { &LibraryStore::queryChanged, &LibraryStore::destinationChanged, &LibraryStore::sortChanged })
        connect(&store, signal, this, &BrowserSection::updateHeader);
    for (auto signal : { &LibraryStore::queryChanged, &LibraryStore::scanningChanged })
        connect(&store, signal, this, &BrowserSection::updateBody);
    // The source names come from the store's catalogue, ready a moment after the files.
    auto *sources = new DeferredUpdate(this, [this] { updateSources(); });
    sources->follow(&store, &LibraryStore::filesChanged, &LibraryStore::viewsReady, &LibraryStore::sourceFilterChanged);
    for (auto signal : { &LibraryStore::selectedIDsChanged, &LibraryStore::copyingTextChanged,
             &LibraryStore::destinationChanged, &LibraryStore::queryChanged })
        connect(&store, signal, this, &BrowserSection::updateActions);
    updateHeader();
    updateSources();
    updateActions();
    updateBody();
}

void BrowserSection::showEvent(QShowEvent *event)
{
    m_model->flush();
    QWidget::showEvent(event);
}

QWidget *BrowserSection::headerRow()
{
    auto *header = new QWidget;
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    m_title = SectionWidgets::title(QString(), 6);
    row->addWidget(m_title);
    m_count = SectionWidgets::secondary(QString());
    m_count->setWordWrap(false);
    row->addWidget(m_count, 0, Qt::AlignBaseline);
    row->addStretch(1);
    m_sort = new QComboBox;
    m_sort->setAccessibleName(QStringLiteral("Sort"));
    m_sort->view()->setAccessibleName(QStringLiteral("Sort"));
    m_sort->setToolTip(QStringLiteral("Sort"));
    m_sort->addItems({ QStringLiteral("Newest"), QStringLiteral("Name"), QStringLiteral("Largest"), QStringLiteral("Kind") });
    connect(m_sort, &QComboBox::activated, this, [this](int index) { m_store.setSort(m_sort->itemText(index)); });
    row->addWidget(m_sort);
    m_saveSearch = SectionWidgets::button(QStringLiteral("Save search"), u"bookmark");
    connect(m_saveSearch, &QPushButton::clicked, &m_store, &LibraryStore::saveSearch);
    row->addWidget(m_saveSearch);
    return header;
}

QWidget *BrowserSection::actionBar()
{
    auto *bar = new QWidget;
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_fromLabel = new QLabel(QStringLiteral("From"));
    row->addWidget(m_fromLabel);
    m_from = new QComboBox;
    m_from->setAccessibleName(QStringLiteral("From"));
    m_from->view()->setAccessibleName(QStringLiteral("From"));
    m_fromLabel->setBuddy(m_from);
    connect(m_from, &QComboBox::activated, this, [this](int index) { m_store.setSourceFilter(m_from->itemText(index)); });
    row->addWidget(m_from);
    m_selected = new QLabel;
    row->addWidget(m_selected);
    QPushButton *selectAll = SectionWidgets::button(QStringLiteral("Select all"));
    connect(selectAll, &QPushButton::clicked, &m_store, &LibraryStore::selectAllShown);
    row->addWidget(selectAll);
    m_copyText = SectionWidgets::button(QStringLiteral("Copy text"));
    connect(m_copyText, &QPushButton::clicked, this, [this] { m_store.copyText(m_store.chosenFiles(), false); });
    row->addWidget(m_copyText);
    m_trashSelected = SectionWidgets::button(QStringLiteral("Trash selected…"));
    connect(m_trashSelected, &QPushButton::clicked, this, [this] { m_store.requestTrash(m_store.chosenFiles()); });
    row->addWidget(m_trashSelected);
    m_trashAll = SectionWidgets::button(QStringLiteral("Trash all…"));
    connect(m_trashAll, &QPushButton::clicked, &m_store, &LibraryStore::requestTrashAll);
    row->addWidget(m_trashAll);
    row->addStretch(1);
    return bar;
}

void BrowserSection::updateHeader()
{
    const QString title = SectionText::browserTitle(m_store.query(), m_store.destination());
    m_title->setText(title);
    m_title->setAccessibleName(title);
    const QString count = SectionText::fileCount(m_model->rowCount());
    m_count->setText(count);
    m_count->setAccessibleName(count);
    m_sort->setCurrentIndex(m_sort->findText(m_store.sort()));
    m_saveSearch->setVisible(!m_store.query().isEmpty());
}

void BrowserSection::updateSources()
{
    const QStringList sources = m_store.sources();
    m_fromLabel->setVisible(!sources.isEmpty());
    m_from->setVisible(!sources.isEmpty());
    const QSignalBlocker blocker(m_from);
    m_from->clear();
    m_from->addItem(kAllSources);
    m_from->addItems(sources);
    const int current = m_from->findText(m_store.sourceFilter());
    m_from->setCurrentIndex(std::max(0, current));
}

void BrowserSection::updateActions()
{
    const qsizetype selected = m_store.selectedIDs().size();
    m_selected->setText(QString::number(selected) + QStringLiteral(" selected"));
    m_selected->setAccessibleName(m_selected->text());
    m_copyText->setVisible(selected > 0);
    m_copyText->setEnabled(!m_store.copyingText());
    m_trashSelected->setVisible(selected > 0);
    m_trashAll->setVisible(m_store.canTrashAll());
}

void BrowserSection::updateBody()
{
    if (m_model->rowCount() > 0) {
        m_body->setCurrentWidget(m_view);
        return;
    }
    m_emptyTitle->setText(m_store.scanning() ? QStringLiteral("Reading your folders…") : QStringLiteral("Nothing here yet"));
    m_emptyText->setText(m_store.query().isEmpty()
            ? QStringLiteral("Add a folder, or choose another category.")
            : QStringLiteral("Try a filename, ‘images’, ‘pdfs over 5 mb’, or ‘screenshots from last week’. Dates use last "
                             "modified time."));
    m_emptyTitle->setAccessibleName(m_emptyTitle->text());
    m_emptyText->setAccessibleName(m_emptyText->text());
    m_body->setCurrentWidget(m_empty);
}
