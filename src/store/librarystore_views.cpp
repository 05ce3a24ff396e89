// The lists the interface shows, derived from the store's state on every read.

#include "query/querymatcher.h"
#include "store/backgroundjob.h"
#include "store/librarycatalog.h"
#include "store/librarystore.h"
#include "store/namesortkey.h"

#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

const QString kAllSources = QStringLiteral("All sources");
} // namespace

bool LibraryStore::catalogMatchesFiles() const
{
    return m_catalog && m_catalogFilesRevision == m_filesRevision;
}

bool LibraryStore::catalogMatchesIndex() const
{
    return catalogMatchesFiles() && m_catalogIndexRevision == m_textIndexRevision;
}

bool LibraryStore::viewsPrepared() const
{
    return catalogMatchesIndex();
}

void LibraryStore::filesOrIndexChanged()
{
    if (m_catalogQueued)
        return;
    // Several changes in one turn of the event loop (files, then the index) prepare once.
    m_catalogQueued = true;
    QTimer::singleShot(0, this, &LibraryStore::prepareViews);
}

void LibraryStore::prepareViews()
{
    m_catalogQueued = false;
    if (catalogMatchesIndex())
        return;
    cancelJob(m_catalogJob);
    const QList<FileRecord> files = m_files;
    const TextIndex index = m_textIndex;
    const std::shared_ptr<const LibraryCatalog> previous = m_catalog;
    const quint64 filesRevision = m_filesRevision;
    const quint64 indexRevision = m_textIndexRevision;
    m_catalogJob = startBackgroundJob<std::shared_ptr<const LibraryCatalog>>(
        this, JobPriority::userInitiated,
        [files, index, previous](
            std::stop_token stop) { return LibraryCatalog::build(files, index, previous.get(), stop); },
        [this, filesRevision, indexRevision](std::shared_ptr<const LibraryCatalog> &&catalog) {
            m_catalogJob.reset();
            if (catalog && filesRevision == m_filesRevision && indexRevision == m_textIndexRevision)
                installCatalog(std::move(catalog), filesRevision, indexRevision);
        });
}

void LibraryStore::installCatalog(
    std::shared_ptr<const LibraryCatalog> catalog, quint64 filesRevision, quint64 indexRevision)
{
    scheduleMemoryTrim();
    releaseInBackground(std::exchange(m_catalog, std::move(catalog)));
    m_catalogFilesRevision = filesRevision;
    m_catalogIndexRevision = indexRevision;
    Q_EMIT viewsReady();
}

QString LibraryStore::indexTextOf(const FileRecord &file) const
{
    const auto entry = m_textIndex.constFind(file.path);
    return entry == m_textIndex.cend() ? QString() : entry->text;
}

std::function<bool(qsizetype)> LibraryStore::shownTest() const
{
    std::function<bool(qsizetype)> chosen;
    if (!m_query.isEmpty()) {
        chosen = [this, matcher = std::make_shared<const QueryMatcher>(parsedQuery())](qsizetype i) {
            return matcher->matches(m_files[i], indexTextOf(m_files[i]));
        };
    } else {
        switch (m_destination.place()) {
        case Destination::Place::kind:
            chosen = [this, kind = m_destination.kind()](qsizetype i) { return m_files[i].kind == kind; };
            break;
        case Destination::Place::screenshots:
            chosen = [this](qsizetype i) { return m_files[i].isScreenshot(); };
            break;
        case Destination::Place::largeFiles:
            chosen = [this](qsizetype i) { return m_files[i].size > kLargeFileBytes; };
            break;
        case Destination::Place::cleanCategory:
            chosen = [this, category = m_destination.category(), cutoff = CleanCategories::cutoff(Timestamp::now()),
                         facts = catalogMatchesFiles() ? &m_catalog->cleanFacts() : nullptr](qsizetype i) {
                return CleanCategories::contains(category, m_files[i],
                    facts ? (*facts)[size_t(i)] : CleanCategories::factsOf(m_files[i]), cutoff);
            };
            break;
        case Destination::Place::source:
            chosen = [this, name = m_destination.sourceName()](
                         qsizetype i) { return m_files[i].source && m_files[i].sourceName() == name; };
            break;
        case Destination::Place::folder:
            chosen = [this, folder = m_destination.folderPath()](
                         qsizetype i) { return LibraryScanner::isInside(m_files[i].path, folder); };
            break;
        default:
            chosen = [](qsizetype) { return true; };
            break;
        }
    }
    if (m_sourceFilter == kAllSources)
        return chosen;
    return [this, chosen](qsizetype i) { return chosen(i) && m_files[i].sourceName() == m_sourceFilter; };
}

std::vector<char> LibraryStore::shownMask() const
{
    const qsizetype count = m_files.size();
    std::vector<char> keep(count, 0);
    if (!m_query.isEmpty() && catalogMatchesIndex()) {
        // The prepared search texts match the whole library in one go.
        for (const qsizetype i : QueryMatcher(parsedQuery()).matching(m_files, m_catalog->texts()))
            keep[i] = 1;
        if (m_sourceFilter != kAllSources)
            for (qsizetype i = 0; i < count; ++i)
                keep[i] = keep[i] && m_files[i].sourceName() == m_sourceFilter;
        return keep;
    }
    const std::function<bool(qsizetype)> shown = shownTest();
    for (qsizetype i = 0; i < count; ++i)
        keep[i] = shown(i);
    return keep;
}

QList<FileRecord> LibraryStore::visibleFiles() const
{
    QList<FileRecord> result;
    const QList<qsizetype> rows = visibleRows();
    result.reserve(rows.size());
    for (const qsizetype i : rows)
        result.append(m_files[i]);
    return result;
}

QList<qsizetype> LibraryStore::visibleRows() const
{
    // Steps 1-3 choose records (kept in library order), step 4 orders them.
    const qsizetype count = m_files.size();
    const std::vector<char> keep = shownMask();
    const LibraryCatalog::Order order = LibraryCatalog::orderFor(m_sort);
    QList<qsizetype> chosen;
    chosen.reserve(qsizetype(std::count(keep.cbegin(), keep.cend(), 1)));
    if (catalogMatchesFiles()) {
        for (const qsizetype i : m_catalog->order(order))
            if (keep[i])
                chosen.append(i);
        return chosen;
    }
    // Without prepared orders: sort the chosen records themselves.
    for (qsizetype i = 0; i < count; ++i)
        if (keep[i])
            chosen.append(i);
    QHash<qsizetype, QString> nameKeys;
    if (order == LibraryCatalog::Order::name)
        for (const qsizetype i : std::as_const(chosen))
            nameKeys.insert(i, NameSortKey::of(m_files[i].name()));
    std::stable_sort(chosen.begin(), chosen.end(), [&](qsizetype a, qsizetype b) {
        return LibraryCatalog::precedes(order, m_files[a], m_files[b], nameKeys.value(a), nameKeys.value(b));
    });
    return chosen;
}

QList<CleanCategory> LibraryStore::cleanCategories() const
{
    const Timestamp cutoff = CleanCategories::cutoff(Timestamp::now());
    QList<CleanCategory> categories;
    for (int c = 0; c < CleanCategories::kCount; ++c)
        categories.append({ CleanCategories::title(c), CleanCategories::symbol(c), {} });
    const std::vector<CleanCategories::Facts> *facts = catalogMatchesFiles() ? &m_catalog->cleanFacts() : nullptr;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        const FileRecord &file = m_files[i];
        const CleanCategories::Facts fileFacts = facts ? (*facts)[size_t(i)] : CleanCategories::factsOf(file);
        for (int c = 0; c < CleanCategories::kCount; ++c)
            if (CleanCategories::contains(c, file, fileFacts, cutoff))
                categories[c].files.append(file);
    }
    return categories;
}

QList<FileRecord> LibraryStore::recentDownloads() const
{
    QList<FileRecord> recent;
    for (const qsizetype i : counts().recentDownloads())
        recent.append(m_files[i]);
    return recent;
}

QStringList LibraryStore::sources() const
{
    return counts().sources();
}

QList<FileRecord> LibraryStore::chosenFiles() const
{
    QList<FileRecord> chosen;
    if (m_selectedIDs.isEmpty())
        return chosen;
    if (!catalogMatchesFiles()) {
        for (const FileRecord &file : m_files)
            if (m_selectedIDs.contains(file.path))
                chosen.append(file);
        return chosen;
    }
    // In library order, found through the index.
    std::vector<qsizetype> positions;
    positions.reserve(std::size_t(m_selectedIDs.size()));
    for (const QByteArray &id : m_selectedIDs)
        if (const qsizetype at = m_catalog->indexOf(id); at >= 0)
            positions.push_back(at);
    std::sort(positions.begin(), positions.end());
    chosen.reserve(qsizetype(positions.size()));
    for (const qsizetype at : positions)
        chosen.append(m_files[at]);
    return chosen;
}

QList<FileRecord> LibraryStore::searchFiles(const QString &text) const
{
    const QueryMatcher matcher { FileQuery(text) };
    QList<qsizetype> found;
    if (catalogMatchesIndex()) {
        found = matcher.matching(m_files, m_catalog->texts());
    } else {
        for (qsizetype i = 0; i < m_files.size(); ++i)
            if (matcher.matches(m_files[i], indexTextOf(m_files[i])))
                found.append(i);
    }
    // Positions are sorted, not records: a broad search matches tens of thousands of files.
    std::stable_sort(found.begin(), found.end(),
        [this](qsizetype a, qsizetype b) { return m_files[a].modified > m_files[b].modified; });
    QList<FileRecord> result;
    result.reserve(found.size());
    for (const qsizetype i : std::as_const(found))
        result.append(m_files[i]);
    return result;
}

std::optional<FileRecord> LibraryStore::selected() const
{
    if (!m_selection)
        return std::nullopt;
    return file(*m_selection);
}

FileQuery LibraryStore::parsedQuery() const
{
    return FileQuery(m_query);
}

const LibraryCounts &LibraryStore::counts() const
{
    if (catalogMatchesFiles())
        return m_catalog->counts();
    if (!m_counts || m_countsRevision != m_filesRevision) {
        std::vector<CleanCategories::Facts> facts;
        facts.reserve(size_t(m_files.size()));
        for (const FileRecord &file : m_files)
            facts.push_back(CleanCategories::factsOf(file));
        m_counts = std::make_shared<const LibraryCounts>(m_files, facts);
        m_countsRevision = m_filesRevision;
    }
    return *m_counts;
}

qint64 LibraryStore::totalSize() const
{
    return counts().totalSize();
}

std::array<qsizetype, CleanCategories::kCount> LibraryStore::cleanCounts() const
{
    const Timestamp cutoff = CleanCategories::cutoff(Timestamp::now());
    std::array<qsizetype, CleanCategories::kCount> result {};
    for (int c = 0; c < CleanCategories::kCount; ++c)
        result[size_t(c)] = counts().cleanCount(c, cutoff);
    return result;
}

QList<FileRecord> LibraryStore::leadingFiles(FileKind kind, qsizetype count) const
{
    QList<FileRecord> leading;
    for (const qsizetype i : counts().leading(kind))
        if (leading.size() < count)
            leading.append(m_files[i]);
    return leading;
}

void LibraryStore::navigate(const Destination &destination)
{
    // The selection goes first, so changing the destination has nothing left to filter.
    setSelection(std::nullopt);
    setSelectedIDs({});
    setDestination(destination);
    setQuery(QString());
    setSourceFilter(kAllSources);
}
