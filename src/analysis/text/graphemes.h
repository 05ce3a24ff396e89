#pragma once

#include <QString>
#include <QStringView>

// Counting and cutting text in user-perceived characters (extended grapheme clusters), so a cut
// never splits an accented letter, a flag or an emoji sequence.
class Graphemes
{
public:
    // The most characters of text kept per file.
    static constexpr qsizetype kTextLimit = 250'000;

    // The number of grapheme clusters in `text`, counting no further than `limit` + 1.
    static qsizetype count(QStringView text, qsizetype limit = kTextLimit);

    // Keeps the first `limit` clusters of `text`; returns true when something was cut.
    static bool truncate(QString &text, qsizetype limit = kTextLimit);
};
