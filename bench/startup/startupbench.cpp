// Start-up cost of the tessary program beside another build of it, in the same run: wall time
// and peak resident memory of `tessary --version` and of `tessary query`, the main window's time
// to its first map and its resident memory then (through the window bench's map watcher, when a
// display is open), and the shared objects each program links.
//
// Usage: tessary-bench-startup [--runs N] [--mapwatch PATH] PROGRAM [BASELINE]
// With a baseline, prints PROGRAM's figures over the baseline's (target: at most 0.5).

#include "cli/arguments.h"
#include "scan/processrun.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>

namespace {

struct Figures
{
    QList<double> milliseconds;
    QList<double> megabytes;

    static double median(QList<double> values)
    {
        if (values.isEmpty())
            return 0;
        std::sort(values.begin(), values.end());
        const qsizetype n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }
};

int sharedObjects(const QByteArray &program)
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), { QFile::decodeName(program) });
    if (!ldd.waitForFinished(10'000))
        return -1;
    return int(ldd.readAllStandardOutput().count('\n'));
}

// One run of `command`; false when it failed.
bool measureProcess(const QByteArrayList &command, Figures *figures)
{
    const ProcessRun::Measurement run = ProcessRun::run(command);
    if (run.exitStatus != 0)
        return false;
    figures->milliseconds.append(run.seconds * 1e3);
    figures->megabytes.append(double(run.peakKilobytes) / 1024);
    return true;
}

// One window start through the map watcher, which prints "ms main all rss_kb".
bool measureWindow(const QByteArray &mapwatch, const QByteArray &program, Figures *figures)
{
    const ProcessRun::Measurement run
        = ProcessRun::run({ mapwatch, "--", program }, ProcessRun::Output::capture);
    const QList<QByteArray> fields = run.output.trimmed().split(' ');
    if (run.exitStatus != 0 || fields.size() < 4)
        return false;
    figures->milliseconds.append(fields[0].toDouble());
    figures->megabytes.append(fields[3].toDouble() / 1024);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QString error;
    const auto args = Arguments::parse(arguments, { { "--help" }, { "--runs", "--mapwatch" } }, &error);
    if (!args || args->has("--help") || args->positional().isEmpty() || args->positional().size() > 2) {
        std::fprintf(stderr, "usage: tessary-bench-startup [--runs N] [--mapwatch PATH] PROGRAM [BASELINE]\n");
        return 2;
    }
    const int runs = std::max(1, args->value("--runs").value_or("10").toInt());
    const QByteArrayList programs = args->positional();
    const QByteArray mapwatch = args->value("--mapwatch").value_or(QByteArray());
    const bool window = !mapwatch.isEmpty() && !qgetenv("DISPLAY").isEmpty();

    const QList<QByteArray> cases = window ? QList<QByteArray> { "--version", "query", "window" }
                                           : QList<QByteArray> { "--version", "query" };
    QList<QList<Figures>> figures(programs.size(), QList<Figures>(cases.size()));
    bool failed = false;
    for (int run = 0; run < runs; ++run) {
        for (qsizetype k = 0; k < programs.size(); ++k) {
            // Alternate which program goes first, so neither always meets a warmer cache.
            const qsizetype p = (run % 2 == 0) ? k : programs.size() - 1 - k;
            const QByteArray &program = programs[p];
            failed |= !measureProcess({ program, "--version" }, &figures[p][0]);
            failed |= !measureProcess(
                { program, "query", "--now", "2025-01-15T12:00:00Z", "pdfs over 5 mb from last week" }, &figures[p][1]);
            if (window)
                failed |= !measureWindow(mapwatch, program, &figures[p][2]);
        }
    }

    std::printf("%d runs each, alternating; median wall time and peak resident memory\n", runs);
    for (qsizetype p = 0; p < programs.size(); ++p) {
        std::printf("%s (%d shared objects linked)\n", programs[p].constData(), sharedObjects(programs[p]));
        for (qsizetype c = 0; c < cases.size(); ++c) {
            std::printf("  %-10s %8.1f ms %8.1f MB\n", cases[c].constData(), Figures::median(figures[p][c].milliseconds),
                Figures::median(figures[p][c].megabytes));
        }
    }
    if (programs.size() == 2) {
        std::printf("%s over %s (target: at most 0.5 of each)\n", programs[0].constData(), programs[1].constData());
        for (qsizetype c = 0; c < cases.size(); ++c) {
            const double time = Figures::median(figures[0][c].milliseconds) / Figures::median(figures[1][c].milliseconds);
            const double memory = Figures::median(figures[0][c].megabytes) / Figures::median(figures[1][c].megabytes);
            std::printf("  %-10s time %.2f x %s   memory %.2f x %s\n", cases[c].constData(), time,
                time <= 0.5 ? "PASS" : "FAIL", memory, memory <= 0.5 ? "PASS" : "FAIL");
        }
    }
    if (failed)
        std::fprintf(stderr, "tessary-bench-startup: some runs failed and were left out\n");
    return failed ? 1 : 0;
}
