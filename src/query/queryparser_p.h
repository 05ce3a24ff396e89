#pragma once

#include "query/filequery.h"

#include <QRegularExpression>
#include <QRegularExpressionMatch>

#include <optional>
#include <vector>

// Fills a FileQuery from one search line. Used once per parse, on one thread.
//
// The recognisers search a lower-case working copy of the line; each phrase they take is
// replaced there by one blank. Such a blank is a seam: a later phrase may not span it, since its
// text would then not occur in the line the user typed and its chip could not be removed.
class QueryParser
{
public:
    QueryParser(QStringView text, const Timestamp &now, const Calendar &calendar, FileQuery &query);

    void run();

private:
    // The first match of `pattern` that spans no seam, taken out of the working text.
    std::optional<QRegularExpressionMatch> take(const QRegularExpression &pattern);
    void addChip(const QString &label, const QString &token);

    void kindsAndExtensions();
    void screenshots();
    void sizes();
    void relativeDates();
    bool lastWeek();
    bool thisWeek();
    bool yesterday();
    bool today();
    bool lastMonth();
    void age();
    void namedMonth();
    void cameraAndSource();
    void freeWords();

    QString m_work;
    std::vector<bool> m_seams;
    Timestamp m_now;
    const Calendar &m_calendar;
    FileQuery &m_query;
};
