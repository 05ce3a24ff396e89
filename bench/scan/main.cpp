#include "cli/arguments.h"
#include "common/pagecacheeviction.h"
#include "library/libraryscanner.h"
#include "readers/readerpool.h"
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
    = "Usage: tessary-bench-scan [--runs N] [--expect N] [--tessary PATH] [--no-exiftool]\n"
      "                          [--baseline PATH] DIR\n"
      "\n"
      "Measures scanning DIR and prints a table: (a) a first scan in a fresh process after the\n"
      "page cache is dropped, reading media facts through the reader helpers, (a'') the same with\n"
      "the same readers in the scanning process (no helpers), and (a') the same without media facts,\n"
      "(b) a rescan in the same process given the first scan's records,\n"
      "(c) find -printf over DIR, (d) exiftool -fast2 reading camera model, picture size and\n"
      "duration, (e) `tessary scan --json DIR` as a whole process; wall time (median of N runs,\n"
      "one for exiftool) and peak resident memory (the largest of the runs). Then the ratios\n"
      "against the targets: rescan at most 1.5 x find, first scan at least 10 x faster than\n"
      "exiftool and within 10 % of the scan without helpers (a''), peak memory of `tessary scan` at\n"
      "most 120 MB. Where the page cache cannot be dropped (not root), DIR's files, the reader\n"
      "helper, the programs and their shared libraries are evicted from it instead\n"
      "(POSIX_FADV_DONTNEED); pages other processes have mapped stay and are reported.\n"
      "\n"
      "  --runs N       runs of each quick measurement (default 3)\n"
      "  --expect N     the number of files DIR holds; the scan must list exactly that many\n"
      "  --tessary PATH the tessary program for (e) (default: tessary beside this program's folder)\n"
      "  --no-exiftool  leave out (d), which takes minutes on a large folder\n"
      "  --baseline PATH another tessary-bench-scan (an earlier build): its cold scan (a) is\n"
      "                 timed in the same rounds, as \"before\"\n"
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
    const ScanProbe::Contents contents = args.has("--no-contents") ? ScanProbe::Contents::skipped
        : args.has("--contents-here")                              ? ScanProbe::Contents::readHere
                                                                   : ScanProbe::Contents::read;
    const ScanProbe::Result result = ScanProbe::measure(args.positional(), limit, contents);
    std::fputs(ScanProbe::toLine(result).constData(), stdout);
    return 0;
}

// The files a cold scan reads besides DIR: the programs and every shared library they load.
QByteArrayList programFiles(const QByteArrayList &programs)
{
    QByteArrayList files;
    for (const QByteArray &program : programs) {
        files.append(program);
        const ProcessRun::Measurement m = ProcessRun::run({ "ldd", program }, ProcessRun::Output::capture);
        for (const QByteArray &line : m.output.split('\n')) {
            // "libz.so.1 => /lib/x86_64-linux-gnu/libz.so.1 (0x...)" or "/lib64/ld-linux-x86-64.so.2 (0x...)"
            const qsizetype slash = line.indexOf('/');
            const qsizetype end = line.indexOf(" (", slash);
            if (slash >= 0 && end > slash && !files.contains(line.mid(slash, end - slash)))
                files.append(line.mid(slash, end - slash));
        }
    }
    return files;
}

// Empties the page cache of what a cold scan reads: drops it where allowed, and evicts DIR and
// `programFiles`. Returns how, for the table; counts the pages that stayed in `stayed`.
const char *makeCold(const QByteArray &root, const QByteArrayList &files, qint64 *stayed)
{
    // A kernel may accept the write to drop_caches and ignore it: the files are evicted as well.
    const bool dropped = ProcessRun::dropPageCache();
    qint64 left = PageCacheEviction::evictTree(root).residentAfter;
    for (const QByteArray &file : files)
        left += PageCacheEviction::evictTree(file).residentAfter;
    *stayed = std::max(*stayed, left);
    return dropped ? "dropped" : "evicted";
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
        { { "--help", "--no-exiftool", "--child", "--no-contents", "--contents-here" },
            { "--runs", "--expect", "--tessary", "--limit", "--baseline" } },
        &error);
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
    Row here { "(a'') the same, no helpers", "cold", {}, 0, {} };
    Row bare { "(a') cold scan without media facts", "cold", {}, 0, {} };
    Row before { "(a) before: cold scan (--baseline)", "cold", {}, 0, {} };
    Row warm { "(b) warm rescan, previous records", "warm", {}, 0, {} };
    const std::optional<QByteArray> baseline = args->value("--baseline");
    const QByteArrayList coldFiles = programFiles({ self, ReaderPool::locateProgram() });
    const char *how = "dropped";
    qint64 stayed = 0;
    std::optional<ScanProbe::Result> first;
    bool allSame = true;
    const auto child = [&](const QByteArray &program, const QByteArrayList &extra) -> std::optional<ScanProbe::Result> {
        how = makeCold(root, coldFiles, &stayed);
        const ProcessRun::Measurement m
            = ProcessRun::run(QByteArrayList { program, "--child", "--limit", QByteArray::number(limit) } + extra
                    + QByteArrayList { root },
                ProcessRun::Output::capture);
        const auto result = ScanProbe::fromLine(m.output);
        if (m.exitStatus != 0 || !result)
            std::fprintf(stderr, "tessary-bench-scan: the scan in a child process failed (%s)\n", program.constData());
        return m.exitStatus == 0 ? result : std::nullopt;
    };
    for (int i = 0; i < runs; ++i) {
        const auto result = child(self, {});
        const auto inProcess = child(self, { "--contents-here" });
        const auto without = child(self, { "--no-contents" });
        const auto earlier = baseline ? child(*baseline, {}) : std::nullopt;
        if (!result || !inProcess || !without || (baseline && !earlier))
            return 1;
        if (!first)
            first = result;
        allSame = allSame && result->warmSame;
        cold.add(result->coldSeconds, result->coldPeakKilobytes);
        here.add(inProcess->coldSeconds, inProcess->coldPeakKilobytes);
        bare.add(without->coldSeconds, without->coldPeakKilobytes);
        if (earlier)
            before.add(earlier->coldSeconds, earlier->coldPeakKilobytes);
        warm.add(result->warmSeconds, result->warmPeakKilobytes);
    }
    if (qstrcmp(how, "evicted") == 0) {
        for (Row *row : { &cold, &here, &bare, &before })
            row->cache = "evicted";
    }
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
        const QByteArrayList exiftoolFiles = programFiles({ "/usr/bin/perl" });
        if (qstrcmp(
                makeCold(root,
                    exiftoolFiles + QByteArrayList { "/usr/bin/exiftool", "/usr/share/perl5/Image/ExifTool" }, &stayed),
                "evicted")
            == 0)
            exiftool.cache = "evicted";
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
    std::printf("\n  page cache: %s before each cold run",
        qstrcmp(how, "dropped") == 0 ? "dropped" : "evicted for the folder, programs and libraries");
    if (stayed > 0)
        std::printf(" (at most %lld pages stayed: mapped by running processes)", static_cast<long long>(stayed));
    std::printf("\n\n");
    std::printf("  %-36s %-7s %4s %13s %13s\n", "measurement", "cache", "runs", "wall (median)", "peak RSS");
    for (const Row *row : { &cold, &here, &bare, &warm, &find, &exiftool, &command }) {
        printRow(*row);
        if (row == &bare && baseline)
            printRow(before);
    }

    std::printf("\nTargets\n");
    if (find.median() > 0)
        printTarget("warm rescan / find", warm.median() / find.median(), " x", "(target <= 1.5 x)",
            warm.median() <= 1.5 * find.median());
    if (here.median() > 0)
        printTarget("cold scan / without helpers", cold.median() / here.median(), " x", "(target <= 1.10 x)",
            cold.median() <= 1.10 * here.median());
    if (baseline && before.median() > 0)
        printTarget("cold scan / before", cold.median() / before.median(), " x", "", cold.median() <= before.median());
    if (!exiftool.seconds.isEmpty() && cold.median() > 0)
        printTarget("exiftool / cold scan", exiftool.median() / cold.median(), " x", "(target >= 10 x)",
            exiftool.median() >= 10 * cold.median());
    if (!command.seconds.isEmpty())
        printTarget("tessary scan peak memory", megabytes(command.peakKilobytes), " MB", "(target <= 120 MB)",
            megabytes(command.peakKilobytes) <= 120.0);
    return failed ? 1 : 0;
}
