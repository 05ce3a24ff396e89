#pragma once

#include "library/filerecord.h"

#include <QWidget>

class DesktopServices;
class LibraryStore;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// The tray's list of the latest downloads, 360 wide: a header with a refresh button, up to ten
// rows (open the file, show it in the main window, show it in its folder) or the empty line,
// then Quick Search, Open Tessary and Settings…. Rows are made anew when the newest downloads
// change. Main thread only.
class DownloadsPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 360;

    DownloadsPanel(LibraryStore &store, DesktopServices &services, QWidget *parent = nullptr);

    // The label of the quick search button: "Quick Search  " and the shortcut's label.
    static QString quickSearchText(const QString &shortcutLabel);
    // The number of download rows shown.
    int rowCount() const { return int(m_shown.size()); }

Q_SIGNALS:
    // An action was taken: a popup should close.
    void actionTaken();

protected:
    void showEvent(class QShowEvent *event) override;

private:
    void rebuildRows();
    void updateQuickSearchText();
    QWidget *makeRow(const FileRecord &file);

    LibraryStore &m_store;
    DesktopServices &m_services;
    QToolButton *m_refresh = nullptr;
    QLabel *m_empty = nullptr;
    QWidget *m_rows = nullptr;
    QVBoxLayout *m_rowLayout = nullptr;
    QPushButton *m_quickSearch = nullptr;
    // The downloads the rows show.
    QList<FileRecord> m_shown;
};
