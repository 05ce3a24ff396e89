#include "platform/threadlatency.h"

#include <QTest>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// The kernel's struct sched_attr, first version (its header clashes with <sched.h>).
struct SchedAttr
{
    quint32 size = sizeof(SchedAttr);
    quint32 policy = 0;
    quint64 flags = 0;
    qint32 nice = 0;
    quint32 priority = 0;
    quint64 runtime = 0;
    quint64 deadline = 0;
    quint64 period = 0;
};

struct Scheduling
{
    int policy = -1;
    int nice = 0;
    quint64 slice = 0; // the fair class's time slice, reported by kernels 6.12 and later
};

Scheduling ofThisThread()
{
    SchedAttr attributes;
    if (::syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0) != 0)
        return {};
    return { int(attributes.policy), attributes.nice, attributes.runtime };
}

} // namespace

class ThreadLatencyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The request runs on threads of their own: it changes the thread it is made on.
    void keepsNiceAndShortensTheSliceOfThisThreadOnly_data();
    void keepsNiceAndShortensTheSliceOfThisThreadOnly();
};

void ThreadLatencyTest::keepsNiceAndShortensTheSliceOfThisThreadOnly_data()
{
    QTest::addColumn<int>("nice");
    QTest::newRow("default priority") << 0;
    QTest::newRow("started with nice") << 7;
}

void ThreadLatencyTest::keepsNiceAndShortensTheSliceOfThisThreadOnly()
{
    QFETCH(int, nice);
    Scheduling before, after, started;
    bool granted = false;
    std::thread([&] {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), nice);
        before = ofThisThread();
        granted = ThreadLatency::preferPromptWakeUps();
        after = ofThisThread();
        std::thread([&] { started = ofThisThread(); }).join();
    }).join();

    QVERIFY(granted);
    QCOMPARE(after.policy, SCHED_OTHER);
    // Lowering the nice value would need privileges, and raising it would slow the thread down.
    QCOMPARE(after.nice, nice);
    QCOMPARE(started.nice, nice);
    if (before.slice == 0)
        QSKIP("this kernel does not report time slices");
    QVERIFY2(
        after.slice < before.slice, qPrintable(QStringLiteral("%1 ns, was %2").arg(after.slice).arg(before.slice)));
    // A thread started afterwards, such as a pool's worker, begins with the default slice.
    QCOMPARE(started.slice, before.slice);
}

QTEST_GUILESS_MAIN(ThreadLatencyTest)
#include "threadlatencytest.moc"
