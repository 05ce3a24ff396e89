#include "ui/sections/duplicatessection.h"

#include "store/librarystore.h"
#include "ui/common/deferredupdate.h"
#include "ui/common/layouts.h"
#include "ui/common/theme.h"
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
constexpr int kLoadMargin = 300; // load the next batch this close to the end of the list

QString modeLabel(DuplicateMode mode)
{
    return mode == DuplicateMode::similar ? QStringLiteral("Similar photos") : QStringLiteral("Exact");
}
} // namespace

DuplicatesSection::DuplicatesSection(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_update(new DeferredUpdate(this, [this] { rebuildGroups(); }))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(Theme::Metrics::page(Theme::Metrics::PageEnd::flush));
    column->setSpacing(Theme::Metrics::kRowGap);

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
    for (const DuplicateMode mode : { DuplicateMode::exact, DuplicateMode::similar }) {
        auto *segment = new QToolButton;
        segment->setText(modeLabel(mode));
        segment->setAccessibleName(segment->text());
        segment->setCheckable(true);
        segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
        m_modes->addButton(segment, int(mode));
        segments->addWidget(segment);
    }
    segments->addStretch(1);
    connect(
        m_modes, &QButtonGroup::idClicked, this, [this](int mode) { m_store.setDuplicateMode(DuplicateMode(mode)); });
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
    auto *listColumn = new QVBoxLayout(list);
    listColumn->setContentsMargins(0, 0, 0, Theme::Metrics::page().bottom());
    m_cards = new QVBoxLayout;
    m_cards->setSpacing(Theme::Metrics::kCardGap);
    listColumn->addLayout(m_cards);
    listColumn->addStretch(1);
    m_scroll->setWidget(list);
    m_body->addWidget(m_scroll);
    for (const DuplicateMode mode : { DuplicateMode::exact, DuplicateMode::similar }) {
        QWidget *empty
            = SectionWidgets::emptyState(mode == DuplicateMode::similar ? u"camera.viewfinder" : u"square.on.square",
                QStringLiteral("No groups to review"),
                QStringLiteral("Run a scan to find matches in the folders you chose. Cloud-only files are skipped."));
        m_empty[size_t(mode)] = empty;
        m_body->addWidget(empty);
    }
    column->addWidget(m_body, 1);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &DuplicatesSection::fillViewport);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::rangeChanged, this, &DuplicatesSection::fillViewport);

    m_update->follow(&store, &LibraryStore::duplicateModeChanged, &LibraryStore::duplicatesChanged,
        &LibraryStore::similarGroupsChanged);
    for (auto signal : { &LibraryStore::scanningChanged, &LibraryStore::checkingDuplicatesChanged,
             &LibraryStore::similarScanningChanged, &LibraryStore::similarStatusChanged, &LibraryStore::duplicateModeChanged })
        connect(&store, signal, this, &DuplicatesSection::updateState);
    rebuildGroups();
}

bool DuplicatesSection::similarMode() const
{
    return m_store.duplicateMode() == DuplicateMode::similar;
}

void DuplicatesSection::updateState()
{
    const bool similar = similarMode();
    m_scan->setEnabled(!m_store.scanning() && !m_store.checkingDuplicates() && !m_store.similarScanning());
    m_modes->button(int(m_store.duplicateMode()))->setChecked(true);
    m_explanation->setText(similar
            ? m_store.similarStatus() + QStringLiteral(" · Look-alikes may be different photos; choose what to keep.")
            : QStringLiteral("SHA-256 content matches. Review the retained copy before removing extras."));
    const bool busy = similar ? m_store.similarScanning() : m_store.checkingDuplicates();
    if (busy)
        m_body->setCurrentWidget(m_progress);
    else
        m_body->setCurrentWidget(m_groups.isEmpty() ? m_empty[size_t(m_store.duplicateMode())] : m_scroll);
}

void DuplicatesSection::rebuildGroups()
{
    const bool similar = similarMode();
    const QList<DuplicateGroup> &groups = similar ? m_store.similarGroups() : m_store.duplicates();
    // A store change that left this mode's list as it was keeps the cards (and scroll place).
    if (m_built && similar == m_groupsSimilar && groups == m_groups) {
        updateState();
        return;
    }
    m_groups = groups;
    m_groupsSimilar = similar;
    m_shown = 0;
    m_built = true;
    Layouts::clear(m_cards);
    m_scroll->verticalScrollBar()->setValue(0);
    showMore();
    updateState();
}

void DuplicatesSection::showMore()
{
    const int end = std::min<int>(int(m_groups.size()), m_shown + kBatch);
    const auto mode = m_groupsSimilar ? DuplicateGroupCard::Mode::similar : DuplicateGroupCard::Mode::exact;
    for (; m_shown < end; ++m_shown)
        m_cards->addWidget(new DuplicateGroupCard(m_store, m_groups[m_shown], mode));
}

void DuplicatesSection::fillViewport()
{
    if (m_shown >= m_groups.size())
        return;
    const QScrollBar *bar = m_scroll->verticalScrollBar();
    if (bar->maximum() - bar->value() < kLoadMargin)
        showMore();
}
