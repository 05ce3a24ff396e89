#pragma once

#include "generator/seededrandom.h"
#include "library/filerecord.h"

#include <QList>
#include <QStringList>

#include <utility>
#include <vector>

// Made-up words of English-like syllables, used with the Zipf frequencies of real text; one
// in twenty carries an accent.
class Vocabulary
{
public:
    explicit Vocabulary(SeededRandom &random);
    const QString &pick(SeededRandom &random) const;

private:
    QStringList m_words;
    std::vector<double> m_cumulative;
};

// Records of an imagined library with the indexed text of each, made in memory for benchmarks
// that need a large library but no files.
struct SyntheticLibrary
{
    QList<FileRecord> records;
    QStringList content;
    qint64 textBytes = 0;

    // `count` records under /home/user/Documents whose texts add up to `textBytes`; each word of
    // `planted` appears in about the given share of the texts, in upper or lower case.
    static SyntheticLibrary generate(const Vocabulary &vocabulary, SeededRandom &random, int count,
        qint64 textBytes, const std::vector<std::pair<QString, double>> &planted);
};
