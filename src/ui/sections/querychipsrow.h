#pragma once

#include <QTimer>
#include <QWidget>

class LibraryStore;
class QHBoxLayout;

// "Understood as" followed by one chip per phrase the search line was understood as, each with
// a button that removes that phrase from `query`. Hidden while the query is empty; remade when
// the query changes. Main thread only.
class QueryChipsRow : public QWidget
{
    Q_OBJECT

public:
    explicit QueryChipsRow(LibraryStore &store, QWidget *parent = nullptr);

private:
    void rebuild();

    LibraryStore &m_store;
    QWidget *m_strip = nullptr;
    QHBoxLayout *m_layout = nullptr;
    QTimer m_rebuildTimer;
};
