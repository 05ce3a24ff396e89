#include "ui/sections/cleanupsection.h"

#include "store/librarystore.h"
#include "ui/common/theme.h"
#include "ui/sections/cleanupcards.h"
#include "ui/sections/sectionwidgets.h"
#include "ui/sections/summarycard.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScrollArea>

CleanupSection::CleanupSection(LibraryStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    m_column = SectionWidgets::scrollingPage(this, 14);

    m_column->addWidget(SectionWidgets::title(QStringLiteral("A little breathing room.")));
    m_column->addWidget(SectionWidgets::secondary(QStringLiteral(
        "These are review suggestions. Age and size don’t mean a file is unnecessary.\nOpen a group, inspect the files, then "
        "choose Trash selected or Trash all. Unused apps require a recorded last-opened date.")));
    auto *duplicates = new SummaryCard(QStringLiteral("square.on.square"), Theme::accent(), QStringLiteral("Find exact duplicates"),
        QStringLiteral("Compare file contents locally using SHA-256."));
    duplicates->setTrailingSymbol(QStringLiteral("arrow.right"));
    connect(duplicates, &QAbstractButton::clicked, this, [this] { m_store.navigate(QStringLiteral("Duplicates")); });
    m_column->addWidget(duplicates);
    m_column->addStretch(1);

    m_rebuildTimer.setSingleShot(true);
    m_rebuildTimer.setInterval(0);
    connect(&m_rebuildTimer, &QTimer::timeout, this, &CleanupSection::rebuildCards);
    for (auto signal : { &LibraryStore::filesChanged, &LibraryStore::minimalChanged, &LibraryStore::duplicatesChanged,
             &LibraryStore::duplicatesCheckedChanged })
        connect(&store, signal, &m_rebuildTimer, qOverload<>(&QTimer::start));
    rebuildCards();
}

void CleanupSection::rebuildCards()
{
    if (SectionWidgets::interactionInProgress()) {
        m_rebuildTimer.start(200);
        return;
    }
    delete m_cards;
    m_cards = new CleanupCards(m_store);
    m_column->insertWidget(2, m_cards);
}
