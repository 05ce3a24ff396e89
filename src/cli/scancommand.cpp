#include "cli/scancommand.h"

#include "cli/arguments.h"
#include "cli/foldercheck.h"
#include "cli/indexedcontent.h"
#include "cli/output.h"
#include "cli/recordformat.h"
#include "library/libraryscanner.h"
#include "platform/filestatus.h"
#include "query/filequery.h"
#include "query/querymatcher.h"
#include "readers/contentreaders.h"

#include <QLocale>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace ScanCommand {

const char *const kUsage =
    "Usage: tessary scan [--limit N] [--query TEXT] [--json] DIR...\n"
    "\n"
    "Scans the folders and prints every file found, in discovery order, then the counts.\n"
    "Hidden files are left out, symbolic links are counted as skipped and never followed.\n"
    "\n"
    "  --limit N  stop after N files (default 50000)\n"
    "  --query TEXT\n"
    "             keep only the files that match the search line TEXT, as the search field\n"
    "             does (see `tessary query`); words are also looked for in the text that the\n"
    "             text index ($XDG_DATA_HOME/Quillon/text-index.json) holds for a file\n"
    "  --json     print one JSON object: {\"files\": [...], \"skipped\": n, \"errors\": n,\n"
    "             \"truncated\": bool}; each file has path, url (lossless file URL), kind, size,\n"
    "             modified, created, isCloudOnly, isPackage, source, identity, added, lastUsed,\n"
    "             tags, camera, dimensions, duration and spotlightText; dates are ISO-8601 UTC,\n"
    "             absent values null\n"
    "\n"
    "Exit status: 0 when every folder could be read, 1 when one could not, 2 on a usage error.\n";

namespace {

// localtime_r, unlike QDateTime::toLocalTime, does not re-read the zone file for every call.
QString localTime(const Timestamp &time)
{
    const time_t seconds = static_cast<time_t>(time.unixSeconds());
    tm parts{};
    char text[32] = "";
    if (localtime_r(&seconds, &parts) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return QString::fromLatin1(text);
}

void printTable(const ScanResult &result, int limit)
{
    Output out(stdout);
    const QLocale locale;
    for (const FileRecord &record : result.files) {
        const QString line = QStringLiteral("%1  %2  %3  %4\n")
                                 .arg(record.kind.rawValue(), -9)
                                 .arg(record.formattedSize(), 10)
                                 .arg(localTime(record.modified))
                                 .arg(record.displayPath());
        out << line;
    }
    out << RecordFormat::summary(result, limit) << "\n";
}

void printJson(const ScanResult &result)
{
    Output out(stdout);
    out << "{\"files\": [";
    for (qsizetype i = 0; i < result.files.size(); ++i) {
        out << (i == 0 ? "\n  " : ",\n  ") << RecordFormat::json(result.files[i]);
    }
    out << (result.files.isEmpty() ? "]" : "\n]");
    out << ", \"skipped\": " << QByteArray::number(result.skipped) << ", \"errors\": "
        << QByteArray::number(result.errors) << ", \"truncated\": " << (result.truncated ? "true" : "false") << "}\n";
}


void keepMatches(ScanResult &result, const QString &text)
{
    const FileQuery query(text);
    const QueryMatcher matcher(query);
    if (matcher.matchesEverything())
        return;
    // Only free words are looked for in the indexed text.
    const QHash<QByteArray, QString> content =
        query.words.isEmpty() ? QHash<QByteArray, QString>() : IndexedContent::load(IndexedContent::defaultFile());
    result.files.removeIf(
        [&](const FileRecord &record) { return !matcher.matches(record, content.value(record.path)); });
}

} // namespace

int run(const QByteArrayList &arguments)
{
    QString error;
    const auto args = Arguments::parse(arguments, {{"--json", "--help"}, {"--limit", "--query"}}, &error);
    if (!args || (!args->has("--help") && args->positional().isEmpty())) {
        std::fprintf(stderr, "tessary scan: %s\n%s", args ? "no folder given" : qPrintable(error), kUsage);
        return 2;
    }
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    LibraryScanner::Options options;
    if (const auto limit = args->value("--limit")) {
        bool ok = false;
        options.limit = limit->toInt(&ok);
        if (!ok || options.limit <= 0) {
            std::fprintf(stderr, "tessary scan: --limit needs a positive whole number\n");
            return 2;
        }
    }

    bool allReadable = true;
    for (const QByteArray &root : args->positional())
        allReadable = FolderCheck::readable("tessary scan", root) && allReadable;

    options.readContents = &ContentReaders::mediaFacts;
    ScanResult result = LibraryScanner::scan(args->positional(), options);
    if (const auto query = args->value("--query"))
        keepMatches(result, QString::fromUtf8(*query));
    if (args->has("--json"))
        printJson(result);
    else
        printTable(result, options.limit);
    return allReadable ? 0 : 1;
}

} // namespace ScanCommand
