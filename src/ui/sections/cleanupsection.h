#pragma once

#include <QWidget>

class LibraryStore;

// The clean-up section: an explanation, the clean-up cards (which follow the store themselves)
// and a wide card that leads to the duplicates section. Main thread only.
class CleanupSection : public QWidget
{
    Q_OBJECT

public:
    explicit CleanupSection(LibraryStore &store, QWidget *parent = nullptr);
};
