#pragma once

#include "library/filerecord.h"

#include <QWidget>

#include <optional>

// The body of the preview window: shows one file's contents (image, PDF pages, text, audio or
// video, office text), or a large icon with the details for other files. Main thread only.
class QuickPreview : public QWidget
{
    Q_OBJECT

public:
    explicit QuickPreview(QWidget *parent = nullptr);
    ~QuickPreview() override;

    // Shows `file`, replacing what was shown; nothing for an absent file.
    void setFile(const std::optional<FileRecord> &file);

private:
    class QLabel *m_label = nullptr;
};
