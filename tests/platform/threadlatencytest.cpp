#include "platform/threadlatency.h"

#include <QTest>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// The kernel's struct sched_attr, first version (its header clashes with <sched.h>); `runtime`
// is the fair class's time slice on kernels 6.12 and later, 0 before.
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

SchedAttr ofThisThread()
{
    SchedAttr attributes;
    attributes.policy = quint32(-1);
    ::syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0);
    return attributes;
}

} // namespace

class ThreadLatencyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsNiceAndShortensTheSliceOfThisThreadOnly();
};

void ThreadLatencyTest::keepsNiceAndShortensTheSliceOfThisThreadOnly()
{
    // On a thread of its own, started with a nice value: the request changes the thread it is
    // made on, and lowering the nice value needs privileges while raising it slows the thread.
    constexpr int kNice = 7;
    SchedAttr before, after, started;
    bool granted = false;
    std::thread([&] {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kNice);
        before = ofThisThread();
        granted = ThreadLatency::preferPromptWakeUps();
        after = ofThisThread();
        std::thread([&] { started = ofThisThread(); }).join();
    }).join();

    QVERIFY(granted);
    QCOMPARE(after.policy, quint32(SCHED_OTHER));
    QCOMPARE(after.nice, kNice);
    QCOMPARE(started.nice, kNice);
    if (before.runtime == 0)
        QSKIP("this kernel does not report time slices");
    QVERIFY2(after.runtime < before.runtime,
        qPrintable(QStringLiteral("%1 ns, was %2").arg(after.runtime).arg(before.runtime)));
    // A thread started afterwards, such as a pool's worker, begins with the default slice.
    QCOMPARE(started.runtime, before.runtime);
}

QTEST_GUILESS_MAIN(ThreadLatencyTest)
#include "threadlatencytest.moc"
