#pragma once

#include "library/filerecord.h"

#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The library as it was last applied, kept between runs so that the window shows it at once on
// start while a scan checks it against the disk.
//
// The file begins with a magic line and the format version, holds the roots it was made for,
// the scan's error count and limit flag and every record with its media facts, source and tags,
// and ends with the SHA-256 of everything before it. A file that is missing, short, corrupt, of
// another version or made for other roots is refused whole. It is a cache: nothing read from it
// is ever the reason to remove a file.
//
// Stateless; safe on any thread.
class SavedCatalog
{
public:
    static constexpr quint32 kVersion = 1;

    struct Contents
    {
        QByteArrayList roots;
        QList<FileRecord> files;
        int errors = 0;
        bool truncated = false;

        bool operator==(const Contents &) const = default;
    };

    // $XDG_CACHE_HOME/tessary/library-catalog
    static QString defaultFile();

    static QByteArray encode(const Contents &contents);
    // Absent unless `data` is a whole catalogue of this version made for exactly `roots`.
    static std::optional<Contents> decode(QByteArrayView data, const QByteArrayList &roots);

    // Replaces `file` atomically (mode 0600; its folder is made with mode 0700). The reason on
    // failure.
    static std::optional<QString> save(const QString &file, const Contents &contents);
    static std::optional<Contents> load(const QString &file, const QByteArrayList &roots);
};
