// A CPU-bound probe that stands for the desktop's own work: one busy thread per core at the
// nice value it was started with, counting rounds of a small integer computation for a fixed
// time. Prints the rounds per second over all threads, so that runs beside and without a
// background job can be compared.
// Usage: tessary-priority-probe SECONDS [THREADS]

#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Rounds of a multiply-xorshift mix until `end`; the result is kept so that the loop stays.
quint64 spin(Clock::time_point end, std::atomic<quint64> *sink)
{
    quint64 rounds = 0;
    quint64 state = 0x9e3779b97f4a7c15ULL;
    while (Clock::now() < end) {
        for (int i = 0; i < 100'000; ++i) {
            state ^= state >> 29;
            state *= 0xbf58476d1ce4e5b9ULL;
        }
        ++rounds;
    }
    *sink += state;
    return rounds;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs("usage: tessary-priority-probe SECONDS [THREADS]\n", stderr);
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const int threads = argc > 2 ? std::atoi(argv[2]) : QThread::idealThreadCount();
    const Clock::time_point start = Clock::now();
    const Clock::time_point end
        = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::atomic<quint64> sink = 0;
    std::vector<quint64> rounds(std::size_t(std::max(1, threads)));
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < rounds.size(); ++i)
        workers.emplace_back([&, i] { rounds[i] = spin(end, &sink); });
    for (std::thread &worker : workers)
        worker.join();
    quint64 total = 0;
    for (const quint64 count : rounds)
        total += count;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.1f\n", double(total) / elapsed);
    return sink == 0 ? 1 : 0;
}
