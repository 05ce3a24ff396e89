#pragma once

#include "library/filerecord.h"

#include <QWidget>

#include <optional>

class ImagePreviewPage;
class MediaPreviewPage;
class PdfPreviewPage;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

// The body of the preview window: shows one file's contents (image, PDF pages, text, audio or
// video, office text), or a large icon with the details for other files. Main thread only.
//
// Contents are read only when LocalFileAccess says they are on this computer, and decoded by
// reader helpers, except plain text (checked and decoded as UTF-8 or UTF-16 here) and audio and
// video, which the player decodes once a helper found them playable. Reads run on worker
// threads and a result that arrives after the file changed is dropped. Audio and video start
// playing once found playable (else the details with "Open" are shown) and stop when the file
// changes or the preview is hidden.
class QuickPreview : public QWidget
{
    Q_OBJECT

public:
    enum class Page { none, image, pdf, text, office, audio, video, details };

    // The first bytes of a text file shown; the cut falls on a whole UTF-8 character.
    static constexpr qint64 kTextByteLimit = 1'000'000;

    explicit QuickPreview(QWidget *parent = nullptr);
    ~QuickPreview() override;

    // Shows `file`, replacing what was shown; nothing for an absent file.
    void setFile(const std::optional<FileRecord> &file);

    // The page a file is shown on, before anything is read (the details page for files whose
    // contents are elsewhere, packages and types without a viewer).
    static Page pageFor(const FileRecord &file);
    // The page on display now: a page whose contents turned out unreadable gives way to details.
    Page currentPage() const { return m_page; }
    // The text on the text page.
    QString text() const;

Q_SIGNALS:
    // The contents of the current file are on display (or it fell back to its details).
    void contentsShown();

private:
    void showPage(Page page);
    void showDetails();
    // Starts reading the shown file's contents for `page`.
    void load(Page page);
    void loadText(Page page);
    void playIfPlayable(Page page);

    std::optional<FileRecord> m_file;
    Page m_page = Page::none;
    quint64 m_generation = 0;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_empty = nullptr;
    ImagePreviewPage *m_image = nullptr;
    PdfPreviewPage *m_pdf = nullptr;
    QPlainTextEdit *m_text = nullptr;
    MediaPreviewPage *m_media = nullptr;
    QWidget *m_details = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_name = nullptr;
    QLabel *m_facts = nullptr;
    QPushButton *m_open = nullptr;
};
