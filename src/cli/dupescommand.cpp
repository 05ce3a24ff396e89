#include "cli/dupescommand.h"

#include "analysis/duplicatefinder.h"
#include "cli/arguments.h"
#include "cli/foldercheck.h"
#include "cli/json.h"
#include "cli/output.h"
#include "cli/recordformat.h"
#include "library/bytecountformatter.h"
#include "library/libraryscanner.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace DupesCommand {

const char *const kUsage
    = "Usage: tessary dupes [--json] DIR...\n"
      "\n"
      "Scans the folders as `tessary scan` does and prints the groups of files whose contents are\n"
      "identical (equal SHA-256 digests). Empty files, packages and files whose contents are not on\n"
      "this computer never take part. Within a group the files are ordered by path, the first being\n"
      "the copy to keep; the groups come largest reclaimable size first.\n"
      "\n"
      "  --json  print one JSON list: [{\"id\": first path, \"reclaimable\": bytes freed by removing\n"
      "          all but the first file, \"files\": [paths], \"urls\": [lossless file URLs]}, ...]\n"
      "\n"
      "Nothing is moved or removed. Exit status: 0 when every folder could be read, 1 when one\n"
      "could not, 2 on a usage error.\n";

namespace {

void printText(const QList<DuplicateGroup> &groups)
{
    Output out(stdout);
    qint64 total = 0;
    for (const DuplicateGroup &group : groups) {
        total += group.reclaimable();
        out << QStringLiteral("%1 files of %2 · %3 reclaimable\n")
                   .arg(group.files.size())
                   .arg(group.files.first().formattedSize(), ByteCountFormatter::fileStyle(group.reclaimable()));
        for (const FileRecord &file : group.files)
            out << "  " << file.path << "\n";
        out << "\n";
    }
    out << QStringLiteral("%1 %2 · %3 reclaimable\n")
               .arg(groups.size())
               .arg(groups.size() == 1 ? QStringLiteral("group") : QStringLiteral("groups"),
                   ByteCountFormatter::fileStyle(total));
}

void printJson(const QList<DuplicateGroup> &groups)
{
    Output out(stdout);
    out << "[";
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const DuplicateGroup &group = groups[i];
        QByteArray files;
        QByteArray urls;
        for (qsizetype f = 0; f < group.files.size(); ++f) {
            files += (f == 0 ? "" : ", ") + Json::string(group.files[f].displayPath());
            urls
                += (f == 0 ? "" : ", ") + Json::string(QString::fromLatin1(RecordFormat::fileUrl(group.files[f].path)));
        }
        out << (i == 0 ? "\n  " : ",\n  ") << "{\"id\": " << Json::string(QString::fromUtf8(group.id()))
            << ", \"reclaimable\": " << Json::number(group.reclaimable()) << ", \"files\": [" << files
            << "], \"urls\": [" << urls << "]}";
    }
    out << (groups.isEmpty() ? "]\n" : "\n]\n");
}


} // namespace

int run(const QByteArrayList &arguments)
{
    QString error;
    const auto args = Arguments::parse(arguments, { { "--json", "--help" }, {} }, &error);
    if (!args || (!args->has("--help") && args->positional().isEmpty())) {
        std::fprintf(stderr, "tessary dupes: %s\n%s", args ? "no folder given" : qPrintable(error), kUsage);
        return 2;
    }
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    bool allReadable = true;
    for (const QByteArray &root : args->positional())
        allReadable = FolderCheck::readable("tessary dupes", root) && allReadable;

    ScanOptions scanOptions;
    scanOptions.readContentMetadata = false;
    const ScanResult scan = LibraryScanner::scan(args->positional(), scanOptions);
    if (scan.truncated)
        std::fprintf(stderr,
            "tessary dupes: the scan stopped at its limit of %d files; files beyond it were not compared\n",
            LibraryScanner::kDefaultLimit);
    const QList<DuplicateGroup> groups = DuplicateFinder::find(scan.files);
    if (args->has("--json"))
        printJson(groups);
    else
        printText(groups);
    return allReadable ? 0 : 1;
}

} // namespace DupesCommand
