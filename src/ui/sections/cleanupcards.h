#pragma once

#include <QWidget>

class LibraryStore;

// The clean-up suggestion cards of the home and clean-up sections: "Duplicates" (the space the
// last duplicate scan can free, or "Scan to find") followed by one card per clean-up category,
// in a grid of columns at least 170 wide. Built from the store when made; the owner makes a new
// one when the files or duplicates change.
class CleanupCards : public QWidget
{
    Q_OBJECT

public:
    explicit CleanupCards(LibraryStore &store, QWidget *parent = nullptr);
};
