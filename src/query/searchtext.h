#pragma once

#include "library/filerecord.h"
#include "query/bytepairs.h"

#include <QByteArray>
#include <QLocale>
#include <QStringView>

#include <optional>

// The searchable text of one record, folded once (see TextFolding) so that matching a query
// against many records never folds a record again. Build it when the record or its text-index
// entry is made, and build it anew when either changes.
//
// A plain value, cheap to copy (the bytes are shared) and read-only once made.
class SearchText
{
public:
    SearchText() = default;
    // `content` is the text the text index holds for the record's path, empty when none.
    SearchText(const FileRecord &record, QStringView content, const QLocale &locale = QLocale());

    // Name, tags joined by blanks, system text and content, joined by blanks.
    const QByteArray &words() const { return m_words; }
    // The byte pairs of words(), to rule out most records without reading their text.
    const BytePairs &wordPairs() const { return m_wordPairs; }
    // The camera model; nothing when the record has none.
    const std::optional<QByteArray> &camera() const { return m_camera; }
    // The source name and the source host joined by a blank (a lone blank without a source).
    const QByteArray &source() const { return m_source; }
    bool isScreenshot() const { return m_isScreenshot; }

private:
    QByteArray m_words;
    BytePairs m_wordPairs;
    std::optional<QByteArray> m_camera;
    QByteArray m_source;
    bool m_isScreenshot = false;
};
