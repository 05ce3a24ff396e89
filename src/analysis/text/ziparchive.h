#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QStringList>

#include <optional>

// Reads members of a zip file (the container of OOXML, ODF and EPUB documents) held in memory.
//
// Only what those formats use: the central directory, stored and deflated members, no
// encryption, no zip64. Inflation is capped: a member whose data would exceed `maxBytes` is
// refused, so a zip bomb costs at most that much memory and the time to inflate it.
// Not thread-safe; the viewed bytes must outlive the archive.
class ZipArchive
{
public:
    static constexpr qint64 kDefaultMemberLimit = 32 * 1024 * 1024;

    // False when no central directory can be found.
    bool open(QByteArrayView data);

    QStringList names() const { return m_order; }
    bool contains(const QString &name) const { return m_entries.contains(name); }

    // The member's inflated bytes; absent when it is missing, damaged, encrypted, in an unknown
    // method or larger than `maxBytes`.
    std::optional<QByteArray> read(const QString &name, qint64 maxBytes = kDefaultMemberLimit) const;

private:
    struct Entry
    {
        quint16 method = 0;
        quint16 flags = 0;
        quint32 compressedSize = 0;
        quint32 size = 0;
        quint32 localHeader = 0;
    };

    QByteArrayView m_data;
    QHash<QString, Entry> m_entries;
    QStringList m_order;
};
