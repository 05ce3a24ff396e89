#include "scan/scanprobe.h"

#include "library/libraryscanner.h"
#include "library/media/avmetadatareader.h"
#include "library/media/imagemetadatareader.h"
#include "platform/regularfile.h"
#include "readers/contentreaders.h"
#include "readers/readerpool.h"

#include <QHash>

#include <chrono>
#include <sys/resource.h>

namespace {

qint64 peakKilobytes()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The media facts read with the helpers' readers in this process, the heads of the files
// asked for first as the reader pool asks for them: what the helpers cost, and nothing else.
QList<MediaFacts> readHere(const QList<std::pair<QByteArray, FileKind>> &files, std::stop_token)
{
    for (const auto &[path, kind] : files)
        RegularFile(path).askForHead(ReaderPool::kMediaHeadBytes);
    QList<MediaFacts> facts;
    facts.reserve(files.size());
    for (const auto &[path, kind] : files) {
        if (kind == FileKind::images)
            facts.append(ImageMetadataReader::read(path));
        else if (kind == FileKind::videos || kind == FileKind::music)
            facts.append(AvMetadataReader::read(path));
        else
            facts.append(MediaFacts());
    }
    return facts;
}

} // namespace

namespace ScanProbe {

Result measure(const QByteArrayList &roots, int limit, Contents contents)
{
    Result result;
    LibraryScanner::Options options;
    options.readContents = contents == Contents::readHere ? &readHere : &ContentReaders::mediaFacts;
    options.readContentMetadata = contents != Contents::skipped;
    options.limit = limit;

    auto start = std::chrono::steady_clock::now();
    const ScanResult cold = LibraryScanner::scan(roots, options);
    result.coldSeconds = secondsSince(start);
    result.coldPeakKilobytes = peakKilobytes();
    result.records = cold.files.size();
    result.truncated = cold.truncated;
    result.skipped = cold.skipped;
    result.errors = cold.errors;

    options.previous = cold.files;
    start = std::chrono::steady_clock::now();
    const ScanResult warm = LibraryScanner::scan(roots, options);
    result.warmSeconds = secondsSince(start);
    result.warmPeakKilobytes = peakKilobytes();
    result.warmSame = warm == cold;
    return result;
}

QByteArray toLine(const Result &r)
{
    return "records=" + QByteArray::number(r.records) + " truncated=" + QByteArray::number(int(r.truncated))
        + " skipped=" + QByteArray::number(r.skipped) + " errors=" + QByteArray::number(r.errors)
        + " cold=" + QByteArray::number(r.coldSeconds, 'g', 17) + " coldKB=" + QByteArray::number(r.coldPeakKilobytes)
        + " warm=" + QByteArray::number(r.warmSeconds, 'g', 17) + " warmKB=" + QByteArray::number(r.warmPeakKilobytes)
        + " same=" + QByteArray::number(int(r.warmSame)) + '\n';
}

std::optional<Result> fromLine(const QByteArray &line)
{
    QHash<QByteArray, QByteArray> values;
    for (const QByteArray &pair : line.trimmed().split(' ')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals > 0)
            values.insert(pair.left(equals), pair.mid(equals + 1));
    }
    const QByteArrayList keys { "records", "truncated", "skipped", "errors", "cold", "coldKB", "warm", "warmKB",
        "same" };
    for (const QByteArray &key : keys) {
        if (!values.contains(key))
            return std::nullopt;
    }
    Result r;
    r.records = values["records"].toLongLong();
    r.truncated = values["truncated"] == "1";
    r.skipped = values["skipped"].toInt();
    r.errors = values["errors"].toInt();
    r.coldSeconds = values["cold"].toDouble();
    r.coldPeakKilobytes = values["coldKB"].toLongLong();
    r.warmSeconds = values["warm"].toDouble();
    r.warmPeakKilobytes = values["warmKB"].toLongLong();
    r.warmSame = values["same"] == "1";
    return r;
}

} // namespace ScanProbe
