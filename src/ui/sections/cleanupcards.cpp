#include "ui/sections/cleanupcards.h"

#include "store/librarystore.h"
#include "ui/common/deferredupdate.h"
#include "ui/common/theme.h"
#include "ui/sections/adaptivegridlayout.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/summarycard.h"

CleanupCards::CleanupCards(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_update(new DeferredUpdate(this, [this] { updateCards(); }))
{
    auto *grid = new AdaptiveGridLayout(170, Theme::Metrics::kCardGap, Theme::Metrics::kCardGap, this);
    auto *duplicates
        = new SummaryCard(QStringLiteral("square.on.square"), QColor(), QStringLiteral("Duplicates"), {}, this);
    connect(duplicates, &QAbstractButton::clicked, this, [this] { m_store.navigate(Destination::duplicates()); });
    m_cards.append(duplicates);
    for (int category = 0; category < CleanCategories::kCount; ++category) {
        auto *card
            = new SummaryCard(CleanCategories::symbol(category), QColor(), CleanCategories::title(category), {}, this);
        connect(card, &QAbstractButton::clicked, this,
            [this, category] { m_store.navigate(Destination::cleanCategory(category)); });
        m_cards.append(card);
    }
    for (SummaryCard *card : std::as_const(m_cards))
        grid->addWidget(card);
    m_update->follow(&store, &LibraryStore::filesChanged, &LibraryStore::viewsReady, &LibraryStore::minimalChanged,
        &LibraryStore::duplicatesChanged, &LibraryStore::duplicatesCheckedChanged);
    updateCards();
}

void CleanupCards::updateCards()
{
    const QColor tint = m_store.minimal() ? Theme::systemGrey() : Theme::accent();
    QString duplicates = QStringLiteral("Scan to find");
    if (m_store.duplicatesChecked()) {
        qint64 reclaimable = 0;
        for (const DuplicateGroup &group : m_store.duplicates())
            reclaimable += group.reclaimable();
        duplicates = SectionText::bytes(reclaimable);
    }
    m_cards.first()->setValue(duplicates);
    m_cards.first()->setSymbol(m_cards.first()->symbol(), tint);
    const std::array<qsizetype, CleanCategories::kCount> counts = m_store.cleanCounts();
    for (int category = 0; category < CleanCategories::kCount; ++category) {
        SummaryCard *card = m_cards.at(category + 1);
        card->setValue(SectionText::fileCount(counts[size_t(category)]));
        card->setSymbol(card->symbol(), tint);
    }
}
