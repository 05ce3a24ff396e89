#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

// Times LibraryScanner::scan inside this process: a first scan with no earlier records, then a
// rescan given the first scan's records, as the application does on every refresh.
namespace ScanProbe {

struct Result
{
    qsizetype records = 0;
    bool truncated = false;
    int skipped = 0;
    int errors = 0;
    double coldSeconds = 0;
    qint64 coldPeakKilobytes = 0; // this process's peak resident memory after the first scan
    double warmSeconds = 0;
    qint64 warmPeakKilobytes = 0;
    bool warmSame = false; // the rescan gave exactly the first scan's records
};

// Contents: whether the scans read the media facts of pictures, recordings and music through the
// reader helpers (started as the walk begins), with the same readers in this process (the cost
// of the facts without the helpers, for comparison only: the product never parses a file
// outside a helper), or only what the walk and the file's attributes tell.
enum class Contents { read, readHere, skipped };
Result measure(const QByteArrayList &roots, int limit, Contents contents = Contents::read);

// One line of "key=value" pairs, so that a parent process can read a child's result.
QByteArray toLine(const Result &result);
std::optional<Result> fromLine(const QByteArray &line);

} // namespace ScanProbe
