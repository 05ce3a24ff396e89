#include "ui/sections/cleanupcards.h"

#include "store/librarystore.h"
#include "ui/common/theme.h"
#include "ui/sections/adaptivegridlayout.h"
#include "ui/sections/sectiontext.h"
#include "ui/sections/summarycard.h"

CleanupCards::CleanupCards(LibraryStore &store, QWidget *parent) : QWidget(parent)
{
    auto *grid = new AdaptiveGridLayout(170, 14, 14, this);
    const QColor tint = store.minimal() ? Theme::systemGrey() : Theme::accent();
    LibraryStore *target = &store;

    QString duplicates = QStringLiteral("Scan to find");
    if (store.duplicatesChecked()) {
        qint64 reclaimable = 0;
        for (const DuplicateGroup &group : store.duplicates())
            reclaimable += group.reclaimable();
        duplicates = SectionText::bytes(reclaimable);
    }
    auto *first = new SummaryCard(QStringLiteral("square.on.square"), tint, QStringLiteral("Duplicates"), duplicates, this);
    connect(first, &QAbstractButton::clicked, this, [target] { target->navigate(QStringLiteral("Duplicates")); });
    grid->addWidget(first);

    for (const CleanCategory &category : store.cleanCategories()) {
        auto *card = new SummaryCard(category.symbol, tint, category.title, SectionText::fileCount(category.files.size()), this);
        connect(card, &QAbstractButton::clicked, this, [target, title = category.title] { target->navigate(title); });
        grid->addWidget(card);
    }
}
