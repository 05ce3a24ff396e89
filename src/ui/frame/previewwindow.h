#pragma once

#include "library/filerecord.h"

#include <QDialog>

class LibraryStore;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QuickPreview;

// The 800 x 600 window that previews the store's `preview` record, shown while it is set.
// Its header steps to the previous or next visible file (also Left and Right), names the file,
// switches between the preview and the file's extracted text ("Select Text" / "Preview"), opens
// the file, and closes ("Done", also Escape). The body is the extracted text while the store has
// one, an empty state for a file whose contents are not on this computer, or the file's preview.
// Closing it in any way clears `preview` and `textPreview`. Main thread only.
class PreviewWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    PreviewWindow(LibraryStore &store, QWidget *parent = nullptr);

    void reject() override;

private:
    void showPreview();
    void showText();
    void showBody();
    void toggleText();

    LibraryStore &m_store;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QLabel *m_name = nullptr;
    QPushButton *m_textToggle = nullptr;
    QStackedWidget *m_body = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QWidget *m_cloud = nullptr;
    QuickPreview *m_quickPreview = nullptr;
    // The record the window shows, the one the preview body was given, and the one whose text
    // this window asked for.
    std::optional<FileRecord> m_shown;
    std::optional<FileRecord> m_previewed;
    std::optional<QByteArray> m_textRequestedFor;
};
