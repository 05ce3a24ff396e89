#pragma once

#include "query/bytepairs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QStringView>

// One word of a query, folded (see TextFolding) and ready to be looked for in folded text.
//
// The search tests the two bytes of the word that are rarest in ordinary text against 32
// positions at a time (16 without AVX2) and compares the whole word only where both agree.
// A plain value; `isIn` is pure and thread-safe.
class SearchWord
{
public:
    SearchWord() = default;
    explicit SearchWord(QStringView word, const QLocale &locale = QLocale());
    // Already folded bytes.
    static SearchWord fromFolded(const QByteArray &folded);

    // Whether the word occurs in `foldedText`, also inside a longer word. The empty word occurs
    // everywhere.
    bool isIn(QByteArrayView foldedText) const;

    const QByteArray &bytes() const { return m_bytes; }
    const BytePairs &pairs() const { return m_pairs; }

private:
    void choosePivots();

    QByteArray m_bytes;
    BytePairs m_pairs;
    // Offsets of the two rarest bytes of the word, m_first < m_second.
    qsizetype m_first = 0;
    qsizetype m_second = 0;
};
