#include "analysis/text/graphemes.h"

#include <QTextBoundaryFinder>

namespace {

// The code-unit position after `limit` clusters, or -1 when the text has no more than that.
qsizetype endOfClusters(QStringView text, qsizetype limit)
{
    // A cluster has at least one code unit, so shorter text cannot exceed the limit.
    if (text.size() <= limit)
        return -1;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype clusters = 0;
    while (finder.toNextBoundary() >= 0) {
        if (++clusters == limit)
            return finder.position() < text.size() ? finder.position() : -1;
    }
    return -1;
}

} // namespace

qsizetype Graphemes::count(QStringView text, qsizetype limit)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype clusters = 0;
    while (clusters <= limit && finder.toNextBoundary() >= 0)
        ++clusters;
    return clusters;
}

bool Graphemes::truncate(QString &text, qsizetype limit)
{
    const qsizetype end = endOfClusters(text, limit);
    if (end < 0)
        return false;
    text.truncate(end);
    return true;
}
