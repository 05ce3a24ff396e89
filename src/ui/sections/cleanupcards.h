#pragma once

#include <QList>
#include <QWidget>

class DeferredUpdate;
class LibraryStore;
class SummaryCard;

// The clean-up suggestion cards of the home and clean-up sections: "Duplicates" (the space the
// last duplicate scan can free, or "Scan to find") followed by one card per clean-up category,
// in a grid of columns at least 170 wide. The cards stay and follow the store's files, look and
// duplicates. Main thread only.
class CleanupCards : public QWidget
{
    Q_OBJECT

public:
    explicit CleanupCards(LibraryStore &store, QWidget *parent = nullptr);

private:
    void updateCards();

    LibraryStore &m_store;
    // "Duplicates" first, then the categories in order.
    QList<SummaryCard *> m_cards;
    DeferredUpdate *m_update = nullptr;
};
