#pragma once

#include "store/destination.h"

#include <QString>
#include <QStringView>

// Texts the sections compute from store values. Pure functions; any thread.
namespace SectionText {
// "Good morning." before 12, "Good afternoon." from 12 to before 17, "Good evening." after.
QString greeting(int hour);
// The browser's title: "Search results" for a non-empty query, else the destination's title.
QString browserTitle(QStringView query, const Destination &destination);
// A byte count in the file manager's style ("1.2 MB").
QString bytes(qint64 count);
// `count` followed by " files".
QString fileCount(qsizetype count);
} // namespace SectionText
