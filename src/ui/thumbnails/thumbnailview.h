#pragma once

#include "library/filerecord.h"

#include <QWidget>

#include <optional>

// Shows one file's thumbnail scaled to fit, from the shared ThumbnailCache; until it is there, a
// placeholder: the "icloud" symbol for a file whose contents are not on this computer, else the
// desktop's icon for the file's type, or the kind's symbol in the kind's tint where the icon
// theme has none. Main thread only.
//
// The thumbnail is asked for while the view is shown and withdrawn when it is hidden or shows
// another file, so only visible tiles keep the generator busy.
class ThumbnailView : public QWidget
{
    Q_OBJECT

public:
    explicit ThumbnailView(QWidget *parent = nullptr);
    ~ThumbnailView() override;

    void setFile(const std::optional<FileRecord> &file);
    // Draw the kind's symbol in grey instead of the kind's tint.
    void setMinimal(bool minimal);
    // Uses `cache` instead of the shared one (tests). Not owned; must outlive the view.
    void setCache(class ThumbnailCache *cache);

protected:
    void paintEvent(class QPaintEvent *event) override;
    void showEvent(class QShowEvent *event) override;
    void hideEvent(class QHideEvent *event) override;

private:
    void requestThumbnail();
    void withdrawRequest();
    void paintPlaceholder(class QPainter &painter);

    std::optional<FileRecord> m_file;
    QString m_key;
    bool m_minimal = false;
    class ThumbnailCache *m_cache = nullptr;
};
