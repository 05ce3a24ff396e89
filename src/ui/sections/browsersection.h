#pragma once

#include <QWidget>

class FileListModel;
class FileView;
class LibraryStore;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;

// The browser: the title and count of `visibleFiles`, the Sort picker, "Save search", the chips
// the query was understood as, the action bar (source filter, selection count, Select all, Copy
// text, Trash selected…, and Trash all… for clean-up categories), then the files as a grid or a
// list, or an empty state. Main thread only.
class BrowserSection : public QWidget
{
    Q_OBJECT

public:
    explicit BrowserSection(LibraryStore &store, QWidget *parent = nullptr);

    FileListModel &model() { return *m_model; }
    FileView &view() { return *m_view; }

protected:
    // Brings the list up to date before the first paint, so a switch never shows the old list.
    void showEvent(QShowEvent *event) override;

private:
    QWidget *headerRow();
    QWidget *actionBar();
    void updateHeader();
    void updateSources();
    void updateActions();
    void updateBody();

    LibraryStore &m_store;
    FileListModel *m_model = nullptr;
    FileView *m_view = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_count = nullptr;
    QComboBox *m_sort = nullptr;
    QPushButton *m_saveSearch = nullptr;
    QLabel *m_fromLabel = nullptr;
    QComboBox *m_from = nullptr;
    QLabel *m_selected = nullptr;
    QPushButton *m_copyText = nullptr;
    QPushButton *m_trashSelected = nullptr;
    QPushButton *m_trashAll = nullptr;
    QStackedWidget *m_body = nullptr;
    QWidget *m_empty = nullptr;
    QLabel *m_emptyTitle = nullptr;
    QLabel *m_emptyText = nullptr;
};
