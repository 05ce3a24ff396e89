#include "cli/similarcommand.h"

#include "analysis/similar/similarityfinder.h"
#include "cli/arguments.h"
#include "cli/foldercheck.h"
#include "cli/json.h"
#include "cli/output.h"
#include "library/libraryscanner.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace SimilarCommand {

const char *const kUsage =
    "Usage: tessary similar [--threshold T] [--limit N] [--json] DIR...\n"
    "\n"
    "Scans the folders as `tessary scan` does and prints the groups of images that look alike\n"
    "(re-encoded, resized, slightly cropped or edited copies, burst shots). The newest N images\n"
    "whose contents are on this computer are compared by a perceptual print of their content;\n"
    "each group starts with its newest image, followed by the images close to it, newest first.\n"
    "Images that cannot be decoded are counted as skipped.\n"
    "\n"
    "  --threshold T  largest print distance that counts as alike, 0 to 1 (default 0.35;\n"
    "                 0 groups only images with identical prints)\n"
    "  --limit N      compare at most the N most recently modified images (default 2000)\n"
    "  --json         print one JSON object: {\"groups\": [[paths], ...], \"scanned\": images\n"
    "                 printed, \"skipped\": images that could not be printed, \"limited\": true\n"
    "                 when older images were left out by the limit}\n"
    "\n"
    "Nothing is moved or removed. Exit status: 0 when every folder could be read, 1 when one\n"
    "could not, 2 on a usage error.\n";

namespace {

void printText(const SimilarityResult &result, int limit)
{
    Output out(stdout);
    for (const DuplicateGroup &group : result.groups) {
        out << QStringLiteral("%1 look-alike images\n").arg(group.files.size());
        for (const FileRecord &file : group.files)
            out << "  " << file.path << "\n";
        out << "\n";
    }
    QString summary = QStringLiteral("%1 groups · %2 images compared · %3 skipped")
                          .arg(result.groups.size())
                          .arg(result.scanned)
                          .arg(result.skipped);
    if (result.limited)
        summary += QStringLiteral(" · only the %1 newest images compared").arg(limit);
    out << summary << "\n";
}

void printJson(const SimilarityResult &result)
{
    Output out(stdout);
    out << "{\"groups\": [";
    for (qsizetype i = 0; i < result.groups.size(); ++i) {
        const DuplicateGroup &group = result.groups[i];
        out << (i == 0 ? "\n  [" : ",\n  [");
        for (qsizetype f = 0; f < group.files.size(); ++f)
            out << (f == 0 ? "" : ", ") << Json::string(group.files[f].displayPath());
        out << "]";
    }
    out << (result.groups.isEmpty() ? "]" : "\n]") << ", \"scanned\": " << Json::number(qint64(result.scanned))
        << ", \"skipped\": " << Json::number(qint64(result.skipped))
        << ", \"limited\": " << Json::boolean(result.limited) << "}\n";
}


int usageError(const char *message)
{
    std::fprintf(stderr, "tessary similar: %s\n%s", message, kUsage);
    return 2;
}

} // namespace

int run(const QByteArrayList &arguments)
{
    QString error;
    const auto args = Arguments::parse(arguments, {{"--json", "--help"}, {"--threshold", "--limit"}}, &error);
    if (!args)
        return usageError(qPrintable(error));
    if (args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args->positional().isEmpty())
        return usageError("no folder given");

    float threshold = SimilarityFinder::kDefaultThreshold;
    if (const auto value = args->value("--threshold")) {
        bool ok = false;
        threshold = value->toFloat(&ok);
        if (!ok || !std::isfinite(threshold) || threshold < 0 || threshold > 1)
            return usageError("--threshold needs a number from 0 to 1");
    }
    int limit = SimilarityFinder::kDefaultLimit;
    if (const auto value = args->value("--limit")) {
        bool ok = false;
        limit = value->toInt(&ok);
        if (!ok || limit <= 0)
            return usageError("--limit needs a positive whole number");
    }

    bool allReadable = true;
    for (const QByteArray &root : args->positional())
        allReadable = FolderCheck::readable("tessary similar", root) && allReadable;

    ScanOptions scanOptions;
    scanOptions.readContentMetadata = false;
    const ScanResult scan = LibraryScanner::scan(args->positional(), scanOptions);
    if (scan.truncated)
        std::fprintf(stderr, "tessary similar: only the first %d files were scanned\n", LibraryScanner::kDefaultLimit);
    const SimilarityResult result = SimilarityFinder::find(scan.files, threshold, limit);
    if (args->has("--json"))
        printJson(result);
    else
        printText(result, limit);
    return allReadable ? 0 : 1;
}

} // namespace SimilarCommand
