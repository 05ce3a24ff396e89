#include "store/librarycounts.h"

#include <algorithm>

LibraryCounts::LibraryCounts(const QList<FileRecord> &files, const std::vector<CleanCategories::Facts> &facts)
{
    std::vector<qsizetype> downloads;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const FileRecord &file = files[i];
        const auto kind = size_t(FileKind::Value(file.kind));
        ++m_kinds[kind];
        m_totalSize += file.size;
        if (qsizetype(m_leading[kind].size()) < kLeadingPerKind)
            m_leading[kind].push_back(i);
        if (file.source)
            if (const std::optional<QString> name = file.sourceName())
                ++m_sourceCounts[*name];
        const CleanCategories::Facts &fileFacts = facts[size_t(i)];
        for (int c = 0; c < CleanCategories::kCount; ++c) {
            const CleanCategories::Membership member = CleanCategories::membership(c, file, fileFacts);
            if (!member.qualifies)
                continue;
            if (member.age)
                m_cleanAges[size_t(c)].push_back(*member.age);
            else
                ++m_cleanAlways[size_t(c)];
        }
        if (fileFacts.download)
            downloads.push_back(i);
    }
    m_sources = inCodePointOrder(m_sourceCounts.keys());
    for (std::vector<Timestamp> &ages : m_cleanAges)
        std::sort(ages.begin(), ages.end());

    const auto addedOrCreated = [&files](qsizetype i) { return files[i].added.value_or(files[i].created); };
    const auto shown = std::min<qsizetype>(kRecentDownloads, qsizetype(downloads.size()));
    // Positions break ties between equal dates, which keeps them in library order.
    std::partial_sort(downloads.begin(), downloads.begin() + shown, downloads.end(), [&](qsizetype a, qsizetype b) {
        const Timestamp dateA = addedOrCreated(a);
        const Timestamp dateB = addedOrCreated(b);
        return dateA != dateB ? dateA > dateB : a < b;
    });
    downloads.resize(size_t(shown));
    m_recentDownloads = std::move(downloads);
}

qsizetype LibraryCounts::cleanCount(int category, const Timestamp &cutoff) const
{
    const std::vector<Timestamp> &ages = m_cleanAges.at(size_t(category));
    return m_cleanAlways[size_t(category)] + (std::lower_bound(ages.cbegin(), ages.cend(), cutoff) - ages.cbegin());
}

QStringList LibraryCounts::inCodePointOrder(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.toUcs4() < b.toUcs4(); });
    return names;
}
