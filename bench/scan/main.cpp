#include "cli/arguments.h"
#include "library/libraryscanner.h"
#include "scan/processrun.h"
#include "scan/scanprobe.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

const char *const kUsage
    = "Usage: tessary-bench-scan [--runs N] [--expect N] [--tessary PATH] [--no-exiftool] DIR\n"
      "\n"
      "Measures scanning DIR and prints a table: (a) a first scan in a fresh process after the\n"
      "page cache is dropped, (b) a rescan in the same process given the first scan's records,\n"
      "(c) find -printf over DIR, (d) exiftool -fast2 reading camera model, picture size and\n"
      "duration, (e) `tessary scan --json DIR` as a whole process; wall time (median of N runs,\n"
      "one for exiftool) and peak resident memory (the largest of the runs). Then the ratios\n"
      "against the targets: rescan at most 1.5 x find, first scan at least 10 x faster than\n"
      "exiftool, peak memory of `tessary scan` at most 120 MB.\n"
      "\n"
      "  --runs N       runs of each quick measurement (default 3)\n"
      "  --expect N     the number of files DIR holds; the scan must list exactly that many\n"
      "  --tessary PATH the tessary program for (e) (default: tessary beside this program's folder)\n"
      "  --no-exiftool  leave out (d), which takes minutes on a large folder\n"
      "\n"
      "Exit status: 0 when every measurement ran (targets missed or not), 1 when one failed or\n"
      "the scan did not list the expected number of files, 2 on a usage error.\n";

struct Row
{
    const char *label;
    const char *cache;
    QList<double> seconds;
    qint64 peakKilobytes = 0;
    QByteArray note;

    double median() const
    {
        if (seconds.isEmpty())
            return 0;
        QList<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted.size() % 2 == 1 ? sorted.at(sorted.size() / 2)
                                      : (sorted.at(sorted.size() / 2 - 1) + sorted.at(sorted.size() / 2)) / 2;
    }
    void add(double s, qint64 kilobytes)
    {
        seconds.append(s);
        peakKilobytes = std::max(peakKilobytes, kilobytes);
    }
};

double megabytes(qint64 kilobytes)
{
    return static_cast<double>(kilobytes) * 1024.0 / 1e6;
}

void printRow(const Row &row)
{
    if (row.seconds.isEmpty()) {
        std::printf("  %-36s %-7s %s\n", row.label, "", row.note.constData());
        return;
    }
    std::printf("  %-36s %-7s %4lld %11.3f s %10.1f MB  %s\n", row.label, row.cache,
        static_cast<long long>(row.seconds.size()), row.median(), megabytes(row.peakKilobytes), row.note.constData());
}

void printTarget(const char *name, double value, const char *unit, const char *target, bool met)
{
    std::printf("  %-34s %10.2f%-4s %-22s %s\n", name, value, unit, target, met ? "met" : "MISSED");
}

int childScan(const Arguments &args)
{
    const int limit = args.value("--limit").value_or(QByteArray::number(ScanOptions::kDefaultLimit)).toInt();
    const ScanProbe::Result result = ScanProbe::measure(args.positional(), limit);
    std::fputs(ScanProbe::toLine(result).constData(), stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QString error;
    const auto args = Arguments::parse(arguments,
        { { "--help", "--no-exiftool", "--child" }, { "--runs", "--expect", "--tessary", "--limit" } }, &error);
    if (args && args->has("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args || args->positional().size() != 1) {
        std::fprintf(
            stderr, "tessary-bench-scan: %s\n%s", args ? "give exactly one folder" : qPrintable(error), kUsage);
        return 2;
    }
    if (args->has("--child"))
        return childScan(*args);

    const QByteArray root = args->positional().constFirst();
    bool ok = true;
    const int runs = args->value("--runs").value_or("3").toInt(&ok);
    std::optional<int> expected;
    if (const auto value = args->value("--expect")) {
        bool expectOk = false;
        expected = value->toInt(&expectOk);
        ok = ok && expectOk && *expected > 0;
    }
    if (!ok || runs < 1) {
        std::fprintf(stderr, "tessary-bench-scan: --runs and --expect need positive whole numbers\n");
        return 2;
    }
    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    const QByteArray tessary
        = args->value("--tessary").value_or(QFile::encodeName(QCoreApplication::applicationDirPath()) + "/../tessary");
    // One more than expected, so that a folder with too many files is noticed instead of cut.
    const int limit = expected ? *expected + 1 : ScanOptions::kDefaultLimit;
    bool failed = false;

    Row cold { "(a) cold scan, LibraryScanner::scan", "cold", {}, 0, {} };
    Row warm { "(b) warm rescan, previous records", "warm", {}, 0, {} };
    bool dropped = true;
    std::optional<ScanProbe::Result> first;
    bool allSame = true;
    for (int i = 0; i < runs; ++i) {
        dropped = ProcessRun::dropPageCache() && dropped;
        const ProcessRun::Measurement m = ProcessRun::run(
            { self, "--child", "--limit", QByteArray::number(limit), root }, ProcessRun::Output::capture);
        const auto result = ScanProbe::fromLine(m.output);
        if (m.exitStatus != 0 || !result) {
            std::fprintf(stderr, "tessary-bench-scan: the scan in a child process failed\n");
            return 1;
        }
        if (!first)
            first = result;
        allSame = allSame && result->warmSame;
        cold.add(result->coldSeconds, result->coldPeakKilobytes);
        warm.add(result->warmSeconds, result->warmPeakKilobytes);
    }
    if (!dropped)
        cold.cache = "warm*";
    warm.note = allSame ? "same records as the first scan" : "DIFFERENT records from the first scan";
    failed = failed || !allSame;

    Row find { "(c) find -printf '%s %T@ %i\\n'", "warm", {}, 0, {} };
    const QByteArrayList findCommand { "find", root, "-printf", "%s %T@ %i\n" };
    ProcessRun::run(findCommand); // warms the cache like (b)
    for (int i = 0; i < runs; ++i) {
        const ProcessRun::Measurement m = ProcessRun::run(findCommand);
        failed = failed || m.exitStatus != 0;
        find.add(m.seconds, m.peakKilobytes);
    }

    Row exiftool { "(d) exiftool -fast2 -r", "cold", {}, 0, {} };
    if (args->has("--no-exiftool")) {
        exiftool.note = "not run (--no-exiftool)";
    } else {
        if (!ProcessRun::dropPageCache())
            exiftool.cache = "warm*";
        const ProcessRun::Measurement m
            = ProcessRun::run({ "exiftool", "-fast2", "-r", "-Model", "-ImageSize", "-Duration", root });
        if (m.exitStatus == 127 || m.exitStatus < 0)
            exiftool.note = "not run (exiftool is not installed)";
        else
            exiftool.add(m.seconds, m.peakKilobytes);
    }

    Row command { "(e) tessary scan --json (process)", "warm", {}, 0, {} };
    for (int i = 0; i < runs; ++i) {
        const ProcessRun::Measurement m = ProcessRun::run({ tessary, "scan", "--json", root });
        if (m.exitStatus != 0) {
            command.note = "failed: exit status " + QByteArray::number(m.exitStatus) + " from " + tessary;
            failed = true;
            break;
        }
        command.add(m.seconds, m.peakKilobytes);
    }

    const QLocale c = QLocale::c();
    std::printf("Scan benchmark over %s\n", root.constData());
    std::printf("  records listed: %s (skipped %d, errors %d%s)", qPrintable(c.toString(first->records)),
        first->skipped, first->errors, first->truncated ? ", truncated" : "");
    if (expected) {
        const bool right = first->records == *expected && !first->truncated;
        std::printf(", expected %s: %s", qPrintable(c.toString(*expected)), right ? "right" : "WRONG");
        failed = failed || !right;
    }
    std::printf(
        "\n  page cache: %s\n\n", dropped ? "dropped before each cold run" : "page cache warm (cannot drop it here)");
    std::printf("  %-36s %-7s %4s %13s %13s\n", "measurement", "cache", "runs", "wall (median)", "peak RSS");
    for (const Row *row : { &cold, &warm, &find, &exiftool, &command })
        printRow(*row);

    std::printf("\nTargets\n");
    if (find.median() > 0)
        printTarget("warm rescan / find", warm.median() / find.median(), " x", "(target <= 1.5 x)",
            warm.median() <= 1.5 * find.median());
    if (!exiftool.seconds.isEmpty() && cold.median() > 0)
        printTarget("exiftool / cold scan", exiftool.median() / cold.median(), " x", "(target >= 10 x)",
            exiftool.median() >= 10 * cold.median());
    if (!command.seconds.isEmpty())
        printTarget("tessary scan peak memory", megabytes(command.peakKilobytes), " MB", "(target <= 120 MB)",
            megabytes(command.peakKilobytes) <= 120.0);
    return failed ? 1 : 0;
}
