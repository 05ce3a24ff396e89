#pragma once

#include "library/filekind.h"
#include "platform/timestamp.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// One scanned file. A plain value, copied freely between threads.
//
// `path` holds the file's exact bytes as the directory walk produced them; a name that is not
// valid UTF-8 keeps its bytes here and only its display text shows replacement characters.
// The path is also the record's identity across rescans (`id`).
struct FileRecord
{
    QByteArray path;
    FileKind kind = FileKind::other;
    qint64 size = 0;
    Timestamp modified;
    Timestamp created;
    bool isCloudOnly = false;
    bool isPackage = false;
    std::optional<QString> source;
    std::optional<QString> identity;
    std::optional<Timestamp> added;
    std::optional<Timestamp> lastUsed;
    QStringList tags;
    std::optional<QString> camera;
    std::optional<QString> dimensions;
    std::optional<double> duration;
    QString spotlightText;

    const QByteArray &id() const { return path; }
    // The path for display; invalid UTF-8 sequences become U+FFFD.
    QString displayPath() const { return QString::fromUtf8(path); }
    // Last path component, with its extension.
    QString name() const;
    // Has a download source, or lies below a folder named "downloads" in any letter case.
    bool isDownload() const;
    std::optional<QString> sourceName() const;
    // An image whose name contains "screenshot" or "screen shot", ignoring case.
    bool isScreenshot() const;
    // The size as a file manager shows it ("1.2 MB", decimal units).
    QString formattedSize() const;

    bool operator==(const FileRecord &) const = default;
};
