#pragma once

#include "library/filerecord.h"

#include <QLocale>
#include <QWidget>

class ElidedLabel;
class LibraryStore;
class QLabel;
class QPushButton;
class QStackedWidget;
class ThumbnailView;

// The details column on the right: for the selected file its thumbnail, name, the detail rows
// (kind, size, modification date, source, then dimensions, duration, camera and tags where known,
// then the location) and the buttons Quick Look, Show in Folder and, for images and documents,
// Copy text; with nothing selected a short hint. Follows the store's selection, files, look and
// text-copy state. Main thread only.
class Inspector : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 245;
    static constexpr int kThumbnailHeight = 160;

    struct Detail
    {
        QString label;
        QString value;
        bool operator==(const Detail &) const = default;
    };

    Inspector(LibraryStore &store, QWidget *parent = nullptr);

    // The label/value rows shown for `file`, in order; rows whose value is unknown are left out.
    static QList<Detail> details(const FileRecord &file, const QLocale &locale = QLocale());
    // A date in the locale's abbreviated date form with its short time ("Jan 5, 2024, 3:04 PM").
    static QString dateText(const QDateTime &when, const QLocale &locale = QLocale());

private:
    struct DetailRow
    {
        QString label;
        QWidget *widget = nullptr;
        QLabel *value = nullptr;
    };

    DetailRow makeRow(const QString &label);
    void showSelection();
    void showCopyingText();

    LibraryStore &m_store;
    QStackedWidget *m_pages = nullptr;
    ThumbnailView *m_thumbnail = nullptr;
    ElidedLabel *m_name = nullptr;
    QWidget *m_details = nullptr;
    QList<DetailRow> m_rows;
    QPushButton *m_copyText = nullptr;
    std::optional<FileRecord> m_shown;
};
