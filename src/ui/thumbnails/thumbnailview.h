#pragma once

#include "library/filerecord.h"

#include <QWidget>

#include <optional>

// Shows one file's thumbnail scaled to fit, from the shared ThumbnailCache; until it is there, a
// placeholder: the "icloud" symbol for a file whose contents are not on this computer, or the
// kind's symbol in the kind's tint. Main thread only.
class ThumbnailView : public QWidget
{
    Q_OBJECT

public:
    explicit ThumbnailView(QWidget *parent = nullptr);

    void setFile(const std::optional<FileRecord> &file);
    // Draw the kind's symbol in grey instead of the kind's tint.
    void setMinimal(bool minimal);

protected:
    void paintEvent(class QPaintEvent *event) override;

private:
    std::optional<FileRecord> m_file;
    bool m_minimal = false;
};
