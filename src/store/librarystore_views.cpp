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
constexpr qsizetype kPrefixLength = 7; // "source:" and "folder:"
constexpr qsizetype kRecentDownloads = 10;

Timestamp addedOrCreated(const FileRecord &file)
{
    return file.added.value_or(file.created);
}

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

QList<FileRecord> LibraryStore::visibleFiles() const
{
    // Steps 1-3 choose records (kept in library order), step 4 orders them.
    const qsizetype count = m_files.size();
    std::vector<char> keep(count, 0);
    if (!m_query.isEmpty()) {
        const QueryMatcher matcher(parsedQuery());
        if (catalogMatchesIndex()) {
            for (const qsizetype i : matcher.matching(m_files, m_catalog->texts()))
                keep[i] = 1;
        } else {
            for (qsizetype i = 0; i < count; ++i)
                keep[i] = matcher.matches(m_files[i], indexTextOf(m_files[i]));
        }
    } else {
        std::function<bool(const FileRecord &)> kept;
        const int category = CleanCategories::indexOf(m_destination);
        if (const std::optional<FileKind> kind = FileKind::fromRawValue(m_destination)) {
            kept = [kind = *kind](const FileRecord &file) { return file.kind == kind; };
        } else if (m_destination == u"Screenshots") {
            kept = [](const FileRecord &file) { return file.isScreenshot(); };
        } else if (m_destination == u"Large Files") {
            kept = [](const FileRecord &file) { return file.size > kLargeFileBytes; };
        } else if (category >= 0) {
            const Timestamp cutoff = CleanCategories::cutoff(Timestamp::now());
            const std::vector<CleanCategories::Facts> *facts =
                catalogMatchesFiles() ? &m_catalog->cleanFacts() : nullptr;
            for (qsizetype i = 0; i < count; ++i)
                keep[i] = CleanCategories::contains(category, m_files[i],
                    facts ? (*facts)[size_t(i)] : CleanCategories::factsOf(m_files[i]), cutoff);
        } else if (m_destination.startsWith(u"source:")) {
            kept = [name = m_destination.mid(kPrefixLength)](
                       const FileRecord &file) { return file.source && file.sourceName() == name; };
        } else if (m_destination.startsWith(u"folder:")) {
            kept = [folder = m_destination.mid(kPrefixLength).toUtf8()](
                       const FileRecord &file) { return LibraryScanner::isInside(file.path, folder); };
        } else {
            kept = [](const FileRecord &) { return true; };
        }
        if (kept)
            for (qsizetype i = 0; i < count; ++i)
                keep[i] = kept(m_files[i]);
    }
    if (m_sourceFilter != kAllSources) {
        for (qsizetype i = 0; i < count; ++i)
            if (keep[i] && m_files[i].sourceName() != m_sourceFilter)
                keep[i] = 0;
    }

    const LibraryCatalog::Order order = LibraryCatalog::orderFor(m_sort);
    QList<FileRecord> result;
    result.reserve(qsizetype(std::count(keep.cbegin(), keep.cend(), 1)));
    if (catalogMatchesFiles()) {
        for (const qsizetype i : m_catalog->order(order))
            if (keep[i])
                result.append(m_files[i]);
        return result;
    }
    // Without prepared orders: sort the chosen records themselves.
    std::vector<qsizetype> chosen;
    for (qsizetype i = 0; i < count; ++i)
        if (keep[i])
            chosen.push_back(i);
    QHash<qsizetype, QString> nameKeys;
    if (order == LibraryCatalog::Order::name)
        for (const qsizetype i : chosen)
            nameKeys.insert(i, NameSortKey::of(m_files[i].name()));
    std::stable_sort(chosen.begin(), chosen.end(), [&](qsizetype a, qsizetype b) {
        return LibraryCatalog::precedes(order, m_files[a], m_files[b], nameKeys.value(a), nameKeys.value(b));
    });
    for (const qsizetype i : chosen)
        result.append(m_files[i]);
    return result;
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
    QList<FileRecord> downloads;
    for (const FileRecord &file : m_files)
        if (file.isDownload())
            downloads.append(file);
    std::stable_sort(downloads.begin(), downloads.end(),
        [](const FileRecord &a, const FileRecord &b) { return addedOrCreated(a) > addedOrCreated(b); });
    if (downloads.size() > kRecentDownloads)
        downloads.resize(kRecentDownloads);
    return downloads;
}

QStringList LibraryStore::sources() const
{
    return catalogMatchesFiles() ? m_catalog->sources() : LibraryCatalog::sourcesOf(m_files);
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

qint64 LibraryStore::totalSize() const
{
    qint64 total = 0;
    for (const FileRecord &file : m_files)
        total += file.size;
    return total;
}

void LibraryStore::navigate(const QString &destination)
{
    setDestination(destination);
    setQuery(QString());
    setSelection(std::nullopt);
    setSelectedIDs({});
    setSourceFilter(kAllSources);
}
