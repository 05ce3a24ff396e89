#include "query/querymatcher.h"

#include "library/asciibytes.h"

#include <algorithm>

namespace {

// The last extension of the file name, empty for "name", "name." and ".name".
QByteArrayView extensionOf(QByteArrayView path)
{
    const QByteArrayView name = path.sliced(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot <= 0 ? QByteArrayView() : name.sliced(dot + 1);
}

} // namespace

QueryMatcher::QueryMatcher(const FileQuery &query, const QLocale &locale)
    : m_kinds(query.kinds)
    , m_screenshots(query.screenshots)
    , m_minSize(query.minSize)
    , m_maxSize(query.maxSize)
    , m_after(query.after)
    , m_before(query.before)
    , m_locale(locale)
{
    for (const QString &extension : query.extensions)
        m_extensions.append(extension.toLower().toUtf8());
    if (query.camera)
        m_camera = SearchWord(*query.camera, locale);
    if (query.source)
        m_source = SearchWord(*query.source, locale);
    for (const QString &word : query.words)
        m_words.append(SearchWord(word, locale));
    // A record lacking any word fails, so the word most likely missing is looked for first:
    // usually the longest.
    std::stable_sort(m_words.begin(), m_words.end(),
        [](const SearchWord &a, const SearchWord &b) { return a.bytes().size() > b.bytes().size(); });
}

bool QueryMatcher::matchesEverything() const
{
    return m_kinds.isEmpty() && m_extensions.isEmpty() && !m_screenshots && !m_minSize && !m_maxSize && !m_after
        && !m_before && !needsText();
}

bool QueryMatcher::extensionListed(QByteArrayView extension) const
{
    if (AsciiBytes::isAscii(extension)) {
        return std::any_of(m_extensions.cbegin(), m_extensions.cend(),
            [extension](const QByteArray &listed) { return extension.compare(listed, Qt::CaseInsensitive) == 0; });
    }
    return m_extensions.contains(QString::fromUtf8(extension).toLower().toUtf8());
}

bool QueryMatcher::passesCheapTests(const FileRecord &record, const SearchText *text) const
{
    if ((!m_kinds.isEmpty() || !m_extensions.isEmpty()) && !m_kinds.contains(record.kind)) {
        if (m_extensions.isEmpty())
            return false;
        if (!extensionListed(extensionOf(record.path)))
            return false;
    }
    if (m_screenshots && !(text ? text->isScreenshot() : record.isScreenshot()))
        return false;
    if (m_minSize && !(record.size > *m_minSize))
        return false;
    if (m_maxSize && !(record.size < *m_maxSize))
        return false;
    if (m_after && record.modified < *m_after)
        return false;
    if (m_before && !(record.modified < *m_before))
        return false;
    return true;
}

bool QueryMatcher::passesTextTests(const SearchText &text) const
{
    if (m_camera && !(text.camera() && m_camera->isIn(*text.camera())))
        return false;
    if (m_source && !m_source->isIn(text.source()))
        return false;
    return std::all_of(m_words.cbegin(), m_words.cend(), [&text](const SearchWord &word) {
        return text.wordPairs().mayContain(word.pairs()) && word.isIn(text.words());
    });
}

bool QueryMatcher::matches(const FileRecord &record, const SearchText &text) const
{
    return passesCheapTests(record, &text) && passesTextTests(text);
}

bool QueryMatcher::matches(const FileRecord &record, QStringView content) const
{
    if (!passesCheapTests(record, nullptr))
        return false;
    return !needsText() || passesTextTests(SearchText(record, content, m_locale));
}

QList<qsizetype> QueryMatcher::matching(const QList<FileRecord> &records, const QList<SearchText> &texts) const
{
    constexpr qsizetype kAhead = 8;
    QList<qsizetype> indexes;
    const qsizetype count = std::min(records.size(), texts.size());
    for (qsizetype i = 0; i < count; ++i) {
        if (i + kAhead < count)
            __builtin_prefetch(texts[i + kAhead].words().constData());
        if (matches(records[i], texts[i]))
            indexes.append(i);
    }
    return indexes;
}
