#pragma once

#include <QWidget>

class LibraryStore;

// One section of the main window's content area, drawn from the store's state.
class DuplicatesSection : public QWidget
{
    Q_OBJECT

public:
    explicit DuplicatesSection(LibraryStore &store, QWidget *parent = nullptr);

private:
    LibraryStore &m_store;
};
