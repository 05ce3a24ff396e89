#pragma once

#include <QTimer>
#include <QWidget>

class LibraryStore;
class QVBoxLayout;

// The clean-up section: an explanation, the clean-up cards and a wide card that leads to the
// duplicates section. The cards are remade when the files, duplicates or look change.
// Main thread only.
class CleanupSection : public QWidget
{
    Q_OBJECT

public:
    explicit CleanupSection(LibraryStore &store, QWidget *parent = nullptr);

private:
    void rebuildCards();

    LibraryStore &m_store;
    QVBoxLayout *m_column = nullptr;
    QWidget *m_cards = nullptr;
    QTimer m_rebuildTimer;
};
