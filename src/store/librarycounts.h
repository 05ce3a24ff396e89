#pragma once

#include "library/filerecord.h"
#include "store/cleancategory.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// Counts and sums over a whole library, made in one pass, so the interface never walks the
// records itself: records per kind and per download source, the total size, the first records
// of each kind, the members of each clean-up category and the newest downloads. Records are
// named by their position in the list counted. Immutable once made; safe to share across threads.
class LibraryCounts
{
public:
    using KindCounts = std::array<qsizetype, FileKind::allCases().size()>;
    static constexpr qsizetype kLeadingPerKind = 10;
    static constexpr qsizetype kRecentDownloads = 10;

    LibraryCounts() = default;
    // `facts` holds CleanCategories::factsOf() of each record, in order.
    LibraryCounts(const QList<FileRecord> &files, const std::vector<CleanCategories::Facts> &facts);

    // Records of each kind, indexed by FileKind::Value.
    const KindCounts &kinds() const { return m_kinds; }
    qint64 totalSize() const { return m_totalSize; }
    // The distinct download sources, in code-point order, and the records from each.
    const QStringList &sources() const { return m_sources; }
    qsizetype sourceCount(const QString &name) const { return m_sourceCounts.value(name); }
    // The positions of the first kLeadingPerKind records of `kind`, in library order.
    const std::vector<qsizetype> &leading(FileKind kind) const { return m_leading[size_t(FileKind::Value(kind))]; }
    // The records `category` holds when files dated before `cutoff` count as old.
    qsizetype cleanCount(int category, const Timestamp &cutoff) const;
    // The positions of the newest kRecentDownloads downloads by their added (or else created)
    // date, equal dates in library order.
    const std::vector<qsizetype> &recentDownloads() const { return m_recentDownloads; }

    // Names in code-point order (QString's own comparison orders UTF-16 code units, which puts
    // characters beyond U+FFFF before U+E000-U+FFFF).
    static QStringList inCodePointOrder(QStringList names);

private:
    KindCounts m_kinds {};
    qint64 m_totalSize = 0;
    QStringList m_sources;
    QHash<QString, qsizetype> m_sourceCounts;
    std::array<std::vector<qsizetype>, FileKind::allCases().size()> m_leading;
    // Per category: the members whatever their age, and the sorted dates of those whose age decides.
    std::array<qsizetype, CleanCategories::kCount> m_cleanAlways {};
    std::array<std::vector<Timestamp>, CleanCategories::kCount> m_cleanAges;
    std::vector<qsizetype> m_recentDownloads;
};
