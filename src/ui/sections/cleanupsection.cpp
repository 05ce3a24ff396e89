#include "ui/sections/cleanupsection.h"

#include "store/librarystore.h"
#include "ui/common/theme.h"
#include "ui/sections/cleanupcards.h"
#include "ui/sections/sectionwidgets.h"
#include "ui/sections/summarycard.h"

#include <QBoxLayout>
#include <QLabel>

CleanupSection::CleanupSection(LibraryStore &store, QWidget *parent)
    : QWidget(parent)
{
    QVBoxLayout *column = SectionWidgets::scrollingPage(this);
    column->addWidget(SectionWidgets::title(QStringLiteral("A little breathing room.")));
    column->addWidget(SectionWidgets::secondary(
        QStringLiteral("These are review suggestions. Age and size don’t mean a file is unnecessary.\nOpen a group, "
                       "inspect the files, then "
                       "choose Trash selected or Trash all. Unused apps require a recorded last-opened date.")));
    column->addWidget(new CleanupCards(store));
    auto *duplicates = new SummaryCard(QStringLiteral("square.on.square"), Theme::accent(), QStringLiteral("Find exact duplicates"),
        QStringLiteral("Compare file contents locally using SHA-256."));
    duplicates->setTrailingSymbol(QStringLiteral("arrow.right"));
    connect(duplicates, &QAbstractButton::clicked, &store, [&store] { store.navigate(Destination::duplicates()); });
    column->addWidget(duplicates);
    column->addStretch(1);
}
