#pragma once

#include <QWidget>

class LibraryStore;
class QLabel;
class QLineEdit;
class QListView;
class QToolButton;
class QuickSearchModel;

// The content of the quick search panel: the search field, the parsed query's chips, up to 20
// results of the store's one-off search with the highlighted one, the empty line and the key
// hints. The field keeps the keys: Down and Up move the highlight, Return opens the highlighted
// file (Ctrl shows it in the main window, Alt in its folder), Escape dismisses the panel. The
// text stays between showings; the results follow the library while shown. Main thread only.
class QuickSearchView : public QWidget
{
    Q_OBJECT

public:
    explicit QuickSearchView(LibraryStore &store, QWidget *parent = nullptr);

    QString query() const;
    void setQuery(const QString &text);
    int highlight() const;
    const QuickSearchModel &results() const { return *m_model; }
    // Focuses the field, searches again (the library may have changed while the panel was
    // hidden) and highlights the first result.
    void prepareToShow();

Q_SIGNALS:
    // The panel should hide (a file was opened or revealed, or Escape).
    void dismissRequested();
    // The file was given to the main window's selection: bring the main window forward.
    void showMainRequested();

protected:
    bool eventFilter(class QObject *watched, class QEvent *event) override;

private:
    // After a search the first result is highlighted, or the file highlighted before when it is
    // still among the results.
    enum class Highlight { first, sameFile };
    void search(Highlight highlight);
    void moveHighlight(int step);
    void activate(Qt::KeyboardModifiers modifiers);
    void openRow(int row);

    LibraryStore &m_store;
    QuickSearchModel *m_model = nullptr;
    QLineEdit *m_field = nullptr;
    QToolButton *m_clear = nullptr;
    QLabel *m_chips = nullptr;
    QListView *m_list = nullptr;
    QLabel *m_empty = nullptr;
};
