#pragma once

#include <QWidget>

class LibraryStore;

// One section of the main window's content area, drawn from the store's state.
class BrowserSection : public QWidget
{
    Q_OBJECT

public:
    explicit BrowserSection(LibraryStore &store, QWidget *parent = nullptr);

private:
    LibraryStore &m_store;
};
