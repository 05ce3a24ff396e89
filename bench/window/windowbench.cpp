// The main window's benchmarks that run inside one process:
//
//   tessary-bench-window interaction WORK_DIR
//       typing, switching and paging over 50,000 synthetic records (see InteractionBench);
//   tessary-bench-window library
//       the window restores the library named by $XDG_CONFIG_HOME/tessary/defaults.json and the
//       text index under $XDG_DATA_HOME, as at start-up: the event loop's longest stall while
//       the library is scanned and applied (and then rescanned), the window's first paints
//       reported apart, and the resident memory with the library and its index in;
//   tessary-bench-window prepare LIBRARY_DIR CONFIG_HOME DATA_HOME TEXT_BYTES
//       writes those two files for a library (see BenchHome).
//
// Exit status: the number of targets missed (0 when all are met), 2 for a usage error.

#include "benchhome.h"
#include "interactionbench.h"
#include "paintclock.h"
#include "store/backgroundjob.h"
#include "store/eventloopwatch.h"

#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/shell/mainwindow.h"
#include "common/eventwait.h"

#include <QApplication>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <cstdio>
#include <malloc.h>
#include <cstring>

namespace {

void waitUntil(const std::function<bool()> &done)
{
    while (!done())
        EventWait::atMost(50);
}

// A "Vm..." line of /proc/self/status in megabytes (10^6 bytes).
double statusMegabytes(const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(key + ':')))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toDouble() * 1024 / 1e6;
    }
    return 0;
}

int stallVerdict(const char *what, const EventLoopWatch &watch, double seconds, qsizetype files)
{
    const bool met = watch.longestStallMs() <= 16;
    std::printf("  %s of %lld files: %.2f s; longest event-loop stall %.1f ms, of which %.1f ms main-thread work "
                "and %.1f ms waiting for a processor (target 16 ms): %s\n",
        what, qlonglong(files), seconds, watch.longestStallMs(), watch.longestStallCpuMs(), watch.longestStallWaitMs(),
        met ? "PASS" : "FAIL");
    return met ? 0 : 1;
}

int benchLibrary()
{
    LibraryStore::Setup setup;
    setup.restoresFolders = true;
    setup.settingsFile = BenchHome::settingsFile(qEnvironmentVariable("XDG_CONFIG_HOME"));
    QElapsedTimer clock;
    clock.start();
    LibraryStore store(setup);
    if (store.roots().isEmpty()) {
        std::printf("  no library folder restored from %s\n", qPrintable(setup.settingsFile));
        return 1;
    }
    Symbols::installThemeFallback();
    MainWindow window(store);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::printf("  the window was not shown\n");
        return 1;
    }
    std::printf("Main window restoring the library %s with its text index (window shown %.0f ms after the store was made):\n",
        store.roots().value(0).constData(), double(clock.elapsed()));

    // The display server is still taking the window's first frame when the window counts as
    // exposed, and the next paint waits for it. That wait is part of start-up, whatever the
    // library holds: it is measured over the next two paints and reported apart.
    EventLoopWatch watch;
    {
        PaintClock paints(window);
        watch.start();
        paints.waitForPaintAfter(1, 2000);
        watch.stop();
    }
    std::printf("  the window's first paints: longest event-loop stall %.1f ms, of which %.1f ms main-thread work\n",
        watch.longestStallMs(), watch.longestStallCpuMs());

    // A first scan shows the files as soon as they are listed, before their media are read.
    double shownSeconds = 0;
    QObject::connect(&store, &LibraryStore::filesChanged, &store, [&] {
        if (shownSeconds == 0 && !store.files().isEmpty())
            shownSeconds = double(clock.elapsed()) / 1e3;
    });
    const auto settled = [&store] {
        return !store.scanning() && !store.indexing() && !store.textIndex().isEmpty() && store.viewsPrepared();
    };
    watch.start();
    waitUntil(settled);
    watch.stop();
    std::printf("  the files shown %.2f s after the store was made\n", shownSeconds);
    int failures = stallVerdict("First scan and index load", watch, double(clock.elapsed()) / 1e3, store.files().size());

    QElapsedTimer rescan;
    rescan.start();
    watch.start();
    store.refresh();
    waitUntil(settled);
    watch.stop();
    failures += stallVerdict("Rescan", watch, double(rescan.elapsed()) / 1e3, store.files().size());
    std::printf("  status: %s; %s\n", qPrintable(store.status()), qPrintable(store.indexStatus()));

    PaintClock paints(window);
    paints.waitUntilQuiet(500);
    // The resident size of a window left alone: the store hands freed memory back to the
    // system once it has been quiet for a few seconds.
    {
        QEventLoop idle;
        QTimer::singleShot(4000, &idle, &QEventLoop::quit);
        idle.exec();
        WorkerPools::pool(JobPriority::utility)->waitForDone();
    }
    const double resident = statusMegabytes("VmRSS");
    // What the allocator holds freed but has not given back: the part a trim would return.
    malloc_trim(0);
    const double trimmed = statusMegabytes("VmRSS");
    const bool met = resident <= 500;
    failures += met ? 0 : 1;
    qint64 indexText = 0;
    for (const TextEntry &entry : store.textIndex())
        indexText += entry.text.size() * qint64(sizeof(QChar));
    std::printf("  resident memory with %lld files and %lld index entries, idle for 4 s: %.0f MB (peak %.0f MB; %.0f MB after "
                "returning freed memory; the index's text alone takes %.0f MB) (target 500 MB): %s\n\n",
        qlonglong(store.files().size()), qlonglong(store.textIndex().size()), resident, statusMegabytes("VmHWM"),
        trimmed, double(indexText) / 1e6, met ? "PASS" : "FAIL");
    return failures;
}

int prepare(const QStringList &arguments)
{
    bool numeric = false;
    const qint64 bytes = arguments.value(5).toLongLong(&numeric);
    if (!numeric || bytes < 0)
        return 2;
    const BenchHome::Outcome outcome
        = BenchHome::write(QFile::encodeName(arguments.at(2)), arguments.at(3), arguments.at(4), bytes);
    if (!outcome.written) {
        std::fprintf(stderr, "tessary-bench-window: %s\n", qPrintable(outcome.error));
        return 1;
    }
    std::fprintf(stderr, "Wrote a text index of %.1f MB for %lld files\n", double(outcome.textBytes) / 1e6,
        qlonglong(outcome.files));
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: tessary-bench-window interaction WORK_DIR\n"
                         "       tessary-bench-window library\n"
                         "       tessary-bench-window prepare LIBRARY_DIR CONFIG_HOME DATA_HOME TEXT_BYTES\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication::setApplicationName(QStringLiteral("tessary"));
    if (argc == 6 && std::strcmp(argv[1], "prepare") == 0) {
        // Writing files needs no display.
        QCoreApplication application(argc, argv);
        const int status = prepare(QCoreApplication::arguments());
        return status == 2 ? usage() : status;
    }
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString mode = arguments.value(1);
    if (mode == u"interaction" && arguments.size() == 3)
        return InteractionBench::run(arguments.at(2));
    if (mode == u"library" && arguments.size() == 2)
        return benchLibrary();
    return usage();
}
