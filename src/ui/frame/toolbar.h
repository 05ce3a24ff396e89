#pragma once

#include <QWidget>

class LibraryStore;
class QLabel;
class QLineEdit;
class QToolButton;

// The row above the library: the navigation menu, the search field bound both ways to the
// store's query, and the buttons for quick search, settings, the look, grid or list, and the
// inspector. The field shows a clear button while the query is non-empty and the "Ctrl F" hint
// while it is empty. Main thread only.
class Toolbar : public QWidget
{
    Q_OBJECT

public:
    Toolbar(LibraryStore &store, QWidget *parent = nullptr);

    QLineEdit *searchField() const { return m_field; }
    // Gives the search field keyboard focus (the window binds Ctrl+F to this).
    void focusSearch();

Q_SIGNALS:
    void quickSearchRequested();
    void settingsRequested();

private:
    QToolButton *addIconButton(const QString &help);
    void showQuery();
    void showLook();
    void showLayoutMode();

    LibraryStore &m_store;
    QLineEdit *m_field = nullptr;
    QToolButton *m_clear = nullptr;
    QLabel *m_hint = nullptr;
    QToolButton *m_look = nullptr;
    QToolButton *m_layoutMode = nullptr;
};
