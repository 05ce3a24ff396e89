#include "ui/sections/duplicatessection.h"

#include "store/librarystore.h"
#include "ui/sections/duplicategroupcard.h"
#include "ui/sections/sectionwidgets.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolButton>

namespace {
const QString kExact = QStringLiteral("Exact");
const QString kSimilar = QStringLiteral("Similar photos");
constexpr int kLoadMargin = 300; // load the next batch this close to the end of the list
} // namespace

DuplicatesSection::DuplicatesSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(28, 24, 28, 12);
    column->setSpacing(10);

    auto *header = new QHBoxLayout;
    header->addWidget(SectionWidgets::title(QStringLiteral("One copy is plenty.")), 1);
    m_scan = SectionWidgets::button(QStringLiteral("Scan"));
    connect(m_scan, &QPushButton::clicked, this, [this] {
        if (similarMode())
            m_store.findSimilar();
        else
            m_store.findDuplicates();
    });
    header->addWidget(m_scan);
    column->addLayout(header);

    // A segmented choice: two exclusive buttons side by side.
    auto *picker = new QWidget;
    picker->setAccessibleName(QStringLiteral("Comparison"));
    auto *segments = new QHBoxLayout(picker);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    m_modes = new QButtonGroup(this);
    for (const QString &mode : { kExact, kSimilar }) {
        auto *segment = new QToolButton;
        segment->setText(mode);
        segment->setAccessibleName(mode);
        segment->setCheckable(true);
        segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
        m_modes->addButton(segment);
        segments->addWidget(segment);
    }
    segments->addStretch(1);
    connect(m_modes, &QButtonGroup::buttonClicked, this, [this](QAbstractButton *button) { m_store.setDuplicateMode(button->text()); });
    column->addWidget(picker);

    m_explanation = SectionWidgets::secondary(QString());
    column->addWidget(m_explanation);

    m_body = new QStackedWidget;
    m_progress = new QWidget;
    auto *progress = new QVBoxLayout(m_progress);
    auto *bar = new QProgressBar;
    bar->setRange(0, 0);
    bar->setMaximumWidth(240);
    bar->setAccessibleName(QStringLiteral("Comparing local files…"));
    progress->addStretch(1);
    progress->addWidget(bar, 0, Qt::AlignHCenter);
    auto *comparing = new QLabel(QStringLiteral("Comparing local files…"));
    comparing->setAlignment(Qt::AlignHCenter);
    progress->addWidget(comparing);
    progress->addStretch(1);
    m_body->addWidget(m_progress);

    m_scroll = new QScrollArea;
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    auto *list = new QWidget;
    m_cards = new QVBoxLayout(list);
    m_cards->setContentsMargins(0, 0, 0, 0);
    m_cards->setSpacing(12);
    m_cards->addStretch(1);
    m_scroll->setWidget(list);
    m_body->addWidget(m_scroll);
    column->addWidget(m_body, 1);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &DuplicatesSection::fillViewport);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::rangeChanged, this, &DuplicatesSection::fillViewport);

    m_rebuildTimer.setSingleShot(true);
    m_rebuildTimer.setInterval(0);
    connect(&m_rebuildTimer, &QTimer::timeout, this, &DuplicatesSection::rebuildGroups);
    for (auto signal : { &LibraryStore::duplicateModeChanged, &LibraryStore::duplicatesChanged, &LibraryStore::similarGroupsChanged })
        connect(&store, signal, &m_rebuildTimer, qOverload<>(&QTimer::start));
    for (auto signal : { &LibraryStore::scanningChanged, &LibraryStore::checkingDuplicatesChanged,
             &LibraryStore::similarScanningChanged, &LibraryStore::similarStatusChanged, &LibraryStore::duplicateModeChanged })
        connect(&store, signal, this, &DuplicatesSection::updateState);
    rebuildGroups();
}

bool DuplicatesSection::similarMode() const
{
    return m_store.duplicateMode() == kSimilar;
}

void DuplicatesSection::updateState()
{
    const bool similar = similarMode();
    m_scan->setEnabled(!m_store.scanning() && !m_store.checkingDuplicates() && !m_store.similarScanning());
    for (QAbstractButton *button : m_modes->buttons())
        button->setChecked(button->text() == m_store.duplicateMode());
    m_explanation->setText(similar
            ? m_store.similarStatus() + QStringLiteral(" · Look-alikes may be different photos; choose what to keep.")
            : QStringLiteral("SHA-256 content matches. Review the retained copy before removing extras."));
    const bool busy = similar ? m_store.similarScanning() : m_store.checkingDuplicates();
    if (busy)
        m_body->setCurrentWidget(m_progress);
    else
        m_body->setCurrentWidget(m_groups.isEmpty() ? m_empty : m_scroll);
}

void DuplicatesSection::rebuildGroups()
{
    if (SectionWidgets::interactionInProgress()) {
        m_rebuildTimer.start(200);
        return;
    }
    const bool similar = similarMode();
    const QList<DuplicateGroup> &groups = similar ? m_store.similarGroups() : m_store.duplicates();
    // A store change that left this mode's list as it was keeps the cards (and scroll place).
    if (m_empty && similar == m_groupsSimilar && groups == m_groups) {
        updateState();
        return;
    }
    m_groups = groups;
    m_groupsSimilar = similar;
    m_shown = 0;
    while (m_cards->count() > 1) {
        QLayoutItem *item = m_cards->takeAt(0);
        delete item->widget();
        delete item;
    }
    if (m_empty) {
        m_body->removeWidget(m_empty);
        delete m_empty;
    }
    m_empty = SectionWidgets::emptyState(similar ? u"camera.viewfinder" : u"square.on.square", QStringLiteral("No groups to review"),
        QStringLiteral("Run a scan to find matches in the folders you chose. Cloud-only files are skipped."));
    m_body->addWidget(m_empty);
    m_scroll->verticalScrollBar()->setValue(0);
    showMore();
    updateState();
}

void DuplicatesSection::showMore()
{
    const int end = std::min<int>(int(m_groups.size()), m_shown + kBatch);
    const auto mode = m_groupsSimilar ? DuplicateGroupCard::Mode::similar : DuplicateGroupCard::Mode::exact;
    for (; m_shown < end; ++m_shown)
        m_cards->insertWidget(m_cards->count() - 1, new DuplicateGroupCard(m_store, m_groups[m_shown], mode));
}

void DuplicatesSection::fillViewport()
{
    if (m_shown >= m_groups.size())
        return;
    const QScrollBar *bar = m_scroll->verticalScrollBar();
    if (bar->maximum() - bar->value() < kLoadMargin)
        showMore();
}
