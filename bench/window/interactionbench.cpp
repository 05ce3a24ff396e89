#include "interactionbench.h"

#include "paintclock.h"
#include "samplestats.h"

#include "common/syntheticlibrary.h"
#include "store/librarystore.h"
#include "ui/common/symbols.h"
#include "ui/frame/toolbar.h"
#include "ui/shell/contentview.h"
#include "ui/shell/mainwindow.h"
#include "common/eventwait.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <cstdio>

namespace InteractionBench {

namespace {

constexpr int kRecords = 50'000;
constexpr qint64 kTextBytes = 50'000'000;
constexpr int kRounds = 10; // of ten keystrokes each
constexpr int kSwitches = 10;
constexpr int kMaxPages = 5'000;
const QString kTyped = QStringLiteral("acme invoi");
const QString kAllFiles = QStringLiteral("Recents");

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

void waitUntil(const std::function<bool()> &done)
{
    while (!done())
        EventWait::atMost(50);
}

int verdict(const char *what, double value, double target)
{
    const bool met = value <= target;
    std::printf("    %-34s %8.2f ms  (target %.0f ms): %s\n", what, value, target, met ? "PASS" : "FAIL");
    return met ? 0 : 1;
}

// The grid (or list) of the section now shown: the visible item view with the most rows.
QAbstractItemView *shownItemView(MainWindow &window)
{
    QAbstractItemView *best = nullptr;
    for (QAbstractItemView *view : window.findChildren<QAbstractItemView *>()) {
        if (!view->isVisible() || !view->model())
            continue;
        if (!best || view->model()->rowCount() > best->model()->rowCount())
            best = view;
    }
    return best;
}

int typing(MainWindow &window, PaintClock &clock)
{
    QLineEdit *field = window.content().toolbar().searchField();
    window.content().focusSearch();
    std::vector<double> toPaint;
    std::vector<double> toSettled;
    std::vector<double> firstOfRound; // also switch the window from Home to the results
    int missing = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (const QChar c : kTyped) {
            const int seen = clock.paints();
            const qint64 start = clock.now();
            QTest::keyClick(field, c.toLatin1());
            if (!clock.waitForPaintAfter(seen)) {
                ++missing;
                continue;
            }
            toPaint.push_back(ms(clock.paintTime(seen) - start));
            if (c == kTyped.front())
                firstOfRound.push_back(toPaint.back());
            // Whatever else the keystroke set off (the result list, the chips) is painted by
            // the time the window stays unchanged for 50 ms.
            clock.waitUntilQuiet(50);
            toSettled.push_back(ms(clock.lastPaint() - start));
        }
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        clock.waitUntilQuiet(200);
    }
    const SampleStats paint = SampleStats::of(toPaint);
    const SampleStats settled = SampleStats::of(toSettled);
    std::printf("  Typing \"%s\" into the search field, %d rounds (%d keystrokes%s):\n", qPrintable(kTyped), kRounds,
        paint.count, missing ? qPrintable(QStringLiteral(", %1 without a paint").arg(missing)) : "");
    std::printf("    keystroke to next paint: median %.2f ms, 99th percentile %.2f ms, max %.2f ms\n", paint.median,
        paint.p99, paint.max);
    std::printf("    keystroke to last paint (window then quiet for 50 ms): median %.2f ms, 99th percentile %.2f ms\n",
        settled.median, settled.p99);
    const SampleStats first = SampleStats::of(firstOfRound);
    std::printf("    first keystroke of a round (Home to the results) to next paint: median %.2f ms, max %.2f ms\n",
        first.median, first.max);
    int failures = verdict("keystroke to paint, median", paint.median, 16);
    failures += verdict("keystroke to paint, 99th percentile", paint.p99, 33);
    return failures + (missing ? 1 : 0);
}

int switching(LibraryStore &store, PaintClock &clock)
{
    std::vector<double> firstPaint;
    double coldFirst = 0;
    for (int i = 0; i < kSwitches; ++i) {
        store.navigate(Destination::home());
        clock.waitUntilQuiet(200);
        const int seen = clock.paints();
        const qint64 start = clock.now();
        store.navigate(Destination::recents());
        if (!clock.waitForPaintAfter(seen)) {
            std::printf("  Home to %s: no paint\n", qPrintable(kAllFiles));
            return 1;
        }
        const double took = ms(clock.paintTime(seen) - start);
        if (i == 0)
            coldFirst = took; // the section is built on its first showing
        else
            firstPaint.push_back(took);
    }
    const SampleStats stats = SampleStats::of(firstPaint);
    std::printf("  Home to \"%s\" (%d files) to the first paint: first time %.2f ms (section built), then median "
                "%.2f ms, max %.2f ms over %d switches\n",
        qPrintable(kAllFiles), kRecords, coldFirst, stats.median, stats.max, stats.count);
    return verdict("switch to first paint, worst", std::max(coldFirst, stats.max), 50);
}

int scrolling(MainWindow &window, PaintClock &clock)
{
    clock.waitUntilQuiet(500);
    QAbstractItemView *view = shownItemView(window);
    if (!view) {
        std::printf("  Scrolling: no item view shown\n");
        return 1;
    }
    QScrollBar *bar = view->verticalScrollBar();
    bar->setValue(0);
    clock.waitUntilQuiet(200);
    std::vector<double> frames;
    int missing = 0;
    while (int(frames.size()) + missing < kMaxPages) {
        const int before = bar->value();
        const int seen = clock.paints();
        const qint64 start = clock.now();
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        if (bar->value() == before) {
            // The end, unless the layout is still growing the range in batches.
            clock.waitUntilQuiet(100);
            if (bar->value() >= bar->maximum())
                break;
            continue;
        }
        if (clock.waitForPaintAfter(seen, 2000))
            frames.push_back(ms(clock.paintTime(seen) - start));
        else
            ++missing;
    }
    const SampleStats stats = SampleStats::of(frames);
    std::printf("  Paging the %d-row view from top to bottom (%d pages of %d px%s): per frame median %.2f ms, 99th "
                "percentile %.2f ms, max %.2f ms\n",
        view->model()->rowCount(), stats.count, bar->pageStep(),
        missing ? qPrintable(QStringLiteral(", %1 without a paint").arg(missing)) : "", stats.median, stats.p99,
        stats.max);
    int failures = verdict("page frame, median", stats.median, 16);
    failures += verdict("page frame, 99th percentile", stats.p99, 33);
    return failures + (missing ? 1 : 0);
}

} // namespace

int run(const QString &workFolder)
{
    SeededRandom random(1);
    const Vocabulary vocabulary(random);
    SyntheticLibrary library = SyntheticLibrary::generate(vocabulary, random, kRecords, kTextBytes,
        { { QStringLiteral("invoice"), 0.05 }, { QStringLiteral("acme"), 0.25 } });
    TextIndex index;
    for (qsizetype i = 0; i < library.records.size(); ++i) {
        const FileRecord &r = library.records[i];
        index.insert(r.path, TextEntry { r.modified.secondsSinceReferenceDate(), r.size, library.content[i], false });
    }

    LibraryStore::Setup setup;
    setup.settingsFile = workFolder + QStringLiteral("/interaction-defaults.json");
    LibraryStore store(setup);
    store.setFiles(library.records);
    store.setTextIndex(index);
    waitUntil([&store] { return store.viewsPrepared(); });

    Symbols::installThemeFallback();
    MainWindow window(store);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::printf("  the window was not shown\n");
        return 1;
    }
    window.activateWindow();
    PaintClock clock(window);
    clock.waitUntilQuiet(300);

    std::printf("Main window over %d records with %.1f MB of indexed text:\n", kRecords,
        double(library.textBytes) / 1e6);
    int failures = typing(window, clock);
    failures += switching(store, clock);
    failures += scrolling(window, clock);
    std::printf("\n");
    return failures;
}

} // namespace InteractionBench
