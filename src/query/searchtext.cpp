#include "query/searchtext.h"

#include "query/textfolding.h"

SearchText::SearchText(const FileRecord &record, QStringView content, const QLocale &locale)
    : m_isScreenshot(record.isScreenshot())
{
    m_words.reserve(record.path.size() + record.spotlightText.size() + content.size() + 8);
    TextFolding::appendFolded(m_words, record.name(), locale);
    m_words.append(' ');
    for (qsizetype i = 0; i < record.tags.size(); ++i) {
        if (i > 0)
            m_words.append(' ');
        TextFolding::appendFolded(m_words, record.tags[i], locale);
    }
    m_words.append(' ');
    TextFolding::appendFolded(m_words, record.spotlightText, locale);
    m_words.append(' ');
    TextFolding::appendFolded(m_words, content, locale);
    m_wordPairs = BytePairs::of(m_words);

    if (record.camera)
        m_camera = TextFolding::fold(*record.camera, locale);
    TextFolding::appendFolded(m_source, record.sourceName().value_or(QString()), locale);
    m_source.append(' ');
    TextFolding::appendFolded(m_source, record.source.value_or(QString()), locale);
}
