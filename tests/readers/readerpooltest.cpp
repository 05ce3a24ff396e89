// The reader pool against the real helper: answers in order, faults confined to one file, the
// rest of a batch read by a replacement, refusals after two faults, cancellation, and the
// sandbox seen from inside a helper.

#include "readers/readerpool.h"

#include "readers/readercodec.h"
#include "support/testtree.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <future>
#include <linux/ioprio.h>
#include <sched.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Status = ReaderResponse::Status;

namespace {

ReaderRequest request(ReaderTask task, const QByteArray &path = {}, FileKind kind = FileKind::other)
{
    ReaderRequest made;
    made.task = task;
    made.path = path;
    made.kind = kind;
    made.edge = 64;
    return made;
}

ReaderRequest textOf(const QByteArray &path)
{
    ReaderRequest made = request(ReaderTask::text, path, FileKind::documents);
    made.size = QFileInfo(QFile::decodeName(path)).size();
    return made;
}

ReaderPool::Options testOptions(std::chrono::milliseconds hangBudget = 1500ms)
{
    ReaderPool::Options options;
    options.testing = true;
    options.helpers = 2;
    options.budget = [hangBudget](ReaderTask task) {
        return task == ReaderTask::testHang ? hangBudget : ReaderPool::defaultBudget(task);
    };
    return options;
}

// The reader helpers this process started and that are still running.
QList<pid_t> helperProcesses()
{
    QList<pid_t> found;
    const QString self = QString::number(::getpid());
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (line.contains("(tessary-reader)") && fields.size() > 1 && fields[1] == self.toLatin1() && fields[0] != "Z")
            found.append(pid_t(entry.toInt()));
    }
    return found;
}

// The one helper this process runs, once it is inside a testHang request (its main thread
// asleep), or 0 when none gets there within ten seconds.
pid_t hangingHelper()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        for (const pid_t pid : helperProcesses()) {
            QFile call(QStringLiteral("/proc/%1/syscall").arg(pid));
            if (call.open(QIODevice::ReadOnly)
                && call.readAll().split(' ').constFirst().toLong() == SYS_clock_nanosleep)
                return pid;
        }
        QTest::qWait(50);
    }
    return 0;
}

} // namespace

class ReaderPoolTest : public QObject
{
    Q_OBJECT

private:
    TestTree m_tree;
    QByteArray m_first;
    QByteArray m_second;
    QByteArray m_third;

    void checkGoodTexts(const QList<ReaderResponse> &responses, const QList<qsizetype> &at)
    {
        const QStringList expected { QStringLiteral("first words"), QStringLiteral("second words"),
            QStringLiteral("third words") };
        for (qsizetype i = 0; i < at.size(); ++i) {
            QCOMPARE(responses[at[i]].status, Status::done);
            QCOMPARE(responses[at[i]].text.trimmed(), expected[i]);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_first = m_tree.file("first.txt", "first words");
        m_second = m_tree.file("second.txt", "second words");
        m_third = m_tree.file("third.txt", "third words");
    }

    // A helper lost in the middle of a batch costs that one request; the others are read by
    // its replacement and every answer lands in its own place.
    void faultMidBatch_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("status");
        QTest::newRow("crash") << int(ReaderTask::testCrash) << int(Status::crashed);
        QTest::newRow("hang past the budget") << int(ReaderTask::testHang) << int(Status::timedOut);
    }
    void faultMidBatch()
    {
        QFETCH(int, fault);
        QFETCH(int, status);
        ReaderPool pool(testOptions());
        const QList<ReaderResponse> responses = pool.run(
            { textOf(m_first), request(ReaderTask(fault), m_tree.path("fault")), textOf(m_second), textOf(m_third) });
        QCOMPARE(responses.size(), 4);
        QCOMPARE(responses[1].status, Status(status));
        QVERIFY(responses[1].error.has_value());
        checkGoodTexts(responses, { 0, 2, 3 });
        QCOMPARE(pool.startedHelpers(), 2);
        // The replacement serves the next batch as well.
        QCOMPARE(pool.run(textOf(m_first)).text.trimmed(), QStringLiteral("first words"));
    }

    void helperKilledFromOutside()
    {
        ReaderPool pool(testOptions(60s));
        auto running = std::async(std::launch::async, [&] {
            return pool.run({ textOf(m_first), request(ReaderTask::testHang, m_tree.path("hang")), textOf(m_second) });
        });
        const pid_t helper = hangingHelper();
        QVERIFY(helper != 0);
        ::kill(helper, SIGKILL);
        const QList<ReaderResponse> responses = running.get();
        QCOMPARE(responses[1].status, Status::crashed);
        checkGoodTexts(responses, { 0, 2 });
    }

    // Twice at fault, a file is refused without a helper being risked, until it changes; the
    // memory of it outlives the pool when it has a store file.
    void refusesAfterTwoFaults()
    {
        TestTree cache;
        const QByteArray store = cache.path("faults/reader-faults");
        ReaderPool::Options options = testOptions();
        options.faults = std::make_shared<ReaderFaults>(store);
        const QByteArray path = m_tree.file("crashing", "x");
        const QList<ReaderRequest> crash { textOf(m_first), request(ReaderTask::testCrash, path) };
        {
            ReaderPool pool(options);
            QCOMPARE(pool.run(crash)[1].status, Status::crashed);
            QCOMPARE(pool.run(crash)[1].status, Status::crashed);
        }
        options.faults = std::make_shared<ReaderFaults>(store);
        ReaderPool later(options);
        QCOMPARE(later.run(crash)[1].status, Status::refused);
        QCOMPARE(QFileInfo(QFile::decodeName(store)).permissions() & (QFile::ReadOther | QFile::ReadGroup),
            QFile::Permissions());
        // Once the file changes it is tried again.
        m_tree.setModified("crashing", Timestamp::fromUnix(1'000'000));
        QCOMPARE(later.run(crash)[1].status, Status::crashed);
    }

    void cancelledBatchStopsQuickly()
    {
        ReaderPool pool(testOptions(60s));
        std::stop_source stop;
        auto running = std::async(std::launch::async, [&] {
            return pool.run({ request(ReaderTask::testHang, m_tree.path("hang")), textOf(m_first) }, stop.get_token());
        });
        QTest::qWait(300);
        const auto asked = std::chrono::steady_clock::now();
        stop.request_stop();
        const QList<ReaderResponse> responses = running.get();
        QVERIFY(std::chrono::steady_clock::now() - asked < 5s);
        QCOMPARE(responses[0].status, Status::cancelled);
        QCOMPARE(responses[1].status, Status::cancelled);
        // The pool keeps working after a cancellation.
        QCOMPARE(pool.run(textOf(m_second)).status, Status::done);
    }

    void manyThreadsShareTheHelpers()
    {
        ReaderPool pool(testOptions());
        std::vector<std::future<ReaderResponse>> runs;
        for (int i = 0; i < 12; ++i)
            runs.push_back(std::async(std::launch::async, [&] { return pool.run(textOf(m_third)); }));
        for (auto &run : runs)
            QCOMPARE(run.get().text.trimmed(), QStringLiteral("third words"));
        QVERIFY(pool.startedHelpers() <= 2);
    }

    // A batch ahead takes the helper before a batch that was waiting for it longer: with one
    // helper busy on a hang, the ordinary batch waits out the hang of the batch ahead as well.
    void batchesAheadTakeTheNextHelper()
    {
        ReaderPool::Options options = testOptions(1000ms);
        options.helpers = 1;
        ReaderPool pool(options);
        using Clock = std::chrono::steady_clock;
        const auto hang = [&](ReaderPool::Precedence precedence) {
            pool.run({ request(ReaderTask::testHang, m_tree.path("hang")) }, {}, precedence);
            return Clock::now();
        };
        auto first = std::async(std::launch::async, hang, ReaderPool::Precedence::inTurn);
        QVERIFY(hangingHelper() != 0);
        auto waiting = std::async(std::launch::async, [&] {
            const ReaderResponse response = pool.run(textOf(m_first));
            return std::pair(response, Clock::now());
        });
        QTest::qWait(100);
        auto ahead = std::async(std::launch::async, hang, ReaderPool::Precedence::ahead);
        const Clock::time_point firstEnded = first.get();
        const auto [response, waitingEnded] = waiting.get();
        ahead.get();
        QCOMPARE(response.status, Status::done);
        QVERIFY2(waitingEnded - firstEnded > 500ms, "the batch that waited longer went first");
    }

    // From inside a helper: the file it was lent can be read through the descriptor, and
    // nothing else: no path of the user's opens, nothing is written, the lent file is not
    // emptied by opening it again with O_TRUNC.
    void helperIsConfined()
    {
        TestTree outside;
        const QByteArray secret = outside.file("secret.txt", "private");
        const QByteArray lent = m_tree.file("lent.txt", "lent contents");
        ReaderPool pool(testOptions());
        ReaderRequest probe = request(ReaderTask::testProbe, lent);
        probe.capturedText = QString::fromUtf8(secret);
        const ReaderResponse response = pool.run(probe);
        QCOMPARE(response.status, Status::done);
        QCOMPARE(response.text,
            QStringLiteral("write:refused truncate:refused read-path:refused read-lent:ok read-other:refused"));
        QCOMPARE(readFile(lent), QByteArray("lent contents"));
    }

    // A reader that tries what no reader does is stopped by the system call filter, and the
    // file it was on takes the blame.
    void forbiddenCallsStopTheHelper_data()
    {
        QTest::addColumn<QString>("call");
        for (const char *call : { "execve", "socket", "ptrace", "fork" })
            QTest::newRow(call) << QString::fromLatin1(call);
    }
    void forbiddenCallsStopTheHelper()
    {
        QFETCH(QString, call);
        ReaderPool pool(testOptions());
        ReaderRequest forbidden = request(ReaderTask::testForbidden, m_tree.path("forbidden"));
        forbidden.capturedText = call;
        const QList<ReaderResponse> responses = pool.run({ textOf(m_first), forbidden, textOf(m_second) });
        QCOMPARE(responses[1].status, Status::crashed);
        checkGoodTexts({ responses[0], responses[2] }, { 0, 1 });
    }

    // An answer beyond what its request allows costs that file and its helper: a picture larger
    // than the edge asked (over the payload cap, so never read), text past 250,000 characters,
    // page sizes that are no sizes.
    void answersBeyondTheirBounds_data()
    {
        QTest::addColumn<int>("task");
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("status");
        const int oversized = int(ReaderTask::testOversized);
        const int pages = int(ReaderTask::testPageSizes);
        QTest::newRow("picture twice the edge") << oversized << QStringLiteral("image") << int(Status::crashed);
        QTest::newRow("text past its characters") << oversized << QStringLiteral("text") << int(Status::crashed);
        QTest::newRow("page sizes that are sizes")
            << pages << QStringLiteral("612x792 595.3x841.9") << int(Status::done);
        QTest::newRow("zero page size") << pages << QStringLiteral("612x792 0x0") << int(Status::crashed);
        QTest::newRow("not a number") << pages << QStringLiteral("nanx792") << int(Status::crashed);
        QTest::newRow("infinite height") << pages << QStringLiteral("612xinf") << int(Status::crashed);
        QTest::newRow("negative width") << pages << QStringLiteral("-612x792") << int(Status::crashed);
        QTest::newRow("larger than any page") << pages << QStringLiteral("1e300x792") << int(Status::crashed);
    }
    void answersBeyondTheirBounds()
    {
        QFETCH(int, task);
        QFETCH(QString, what);
        QFETCH(int, status);
        ReaderPool pool(testOptions());
        ReaderRequest beyond = request(ReaderTask(task), m_tree.path("beyond"));
        beyond.capturedText = what;
        const QList<ReaderResponse> responses = pool.run({ textOf(m_first), beyond, textOf(m_second) });
        QCOMPARE(responses[1].status, Status(status));
        checkGoodTexts({ responses[0], responses[2] }, { 0, 1 });
    }

    // Helpers that stop before their first answer (one that cannot start, or one its filter
    // stops on every file) stop the pool after three in a row, without blaming files; helpers
    // that crash on one hostile file after another do not.
    void stopsAfterHelpersLostBeforeAnswering_data()
    {
        QTest::addColumn<bool>("startsAtAll");
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("stops");
        const int forbidden = int(ReaderTask::testForbidden);
        QTest::newRow("program that never answers") << false << forbidden << true;
        QTest::newRow("refused call on every first request") << true << forbidden << true;
        QTest::newRow("crash on every first request") << true << int(ReaderTask::testCrash) << false;
    }
    void stopsAfterHelpersLostBeforeAnswering()
    {
        QFETCH(bool, startsAtAll);
        QFETCH(int, fault);
        QFETCH(bool, stops);
        ReaderPool::Options options = testOptions();
        if (!startsAtAll)
            options.program = "/bin/true";
        auto faults = std::make_shared<ReaderFaults>();
        options.faults = faults;
        ReaderPool pool(options);
        QList<ReaderRequest> batch;
        for (const char *name : { "one", "two", "three", "four" }) {
            ReaderRequest faulty = request(ReaderTask(fault), m_tree.file(name, "x"));
            faulty.capturedText = QStringLiteral("execve");
            batch.append(faulty);
        }
        batch.append(textOf(m_first));
        if (!stops) {
            const QList<ReaderResponse> responses = pool.run(batch);
            for (qsizetype i = 0; i < 4; ++i)
                QCOMPARE(responses[i].status, Status::crashed);
            QCOMPARE(responses[4].status, Status::done);
            QCOMPARE(pool.health(), ReaderPool::Health::ready);
            return;
        }
        for (int run = 0; run < 3 && pool.health() == ReaderPool::Health::ready; ++run) {
            for (const ReaderResponse &response : pool.run(batch))
                QCOMPARE(response.status, Status::unavailable);
        }
        QCOMPARE(pool.health(), ReaderPool::Health::failing);
        QCOMPARE(pool.startedHelpers(), 3);
        QCOMPARE(pool.run(textOf(m_second)).error,
            std::optional(QStringLiteral("File contents are not read: the file reader stops before it can answer")));
        // Nothing was held against the files: one more fault leaves each below refusal.
        for (const ReaderRequest &asked : std::as_const(batch)) {
            faults->record(asked.path);
            QVERIFY2(!faults->refuses(asked.path), asked.path.constData());
        }
    }

    // A helper that reports it runs without its system call filter is not used.
    void unconfinedHelperIsRefused()
    {
        TestTree fake;
        ReaderResponse hello = ReaderResponse::withStatus(Status::done);
        hello.confinement.landlockAbi = 3;
        hello.confinement.noNewPrivileges = true;
        const QByteArray message = ReaderCodec::encode(0, hello);
        fake.file("hello", ReaderCodec::frameHeader(quint32(message.size())) + message);
        const QByteArray program
            = fake.file("reader", "#!/bin/sh\ncat \"$(dirname \"$0\")/hello\" >&3\nexec sleep 30\n");
        fake.setMode("reader", 0700);
        ReaderPool::Options options = testOptions();
        options.program = program;
        ReaderPool pool(options);
        const ReaderResponse response = pool.run(textOf(m_first));
        QCOMPARE(response.status, Status::unavailable);
        QCOMPARE(response.error,
            std::optional(QStringLiteral("File contents are not read: this system cannot confine the readers")));
        QCOMPARE(pool.health(), ReaderPool::Health::unconfined);
    }

    // Background helpers yield to everything else; helpers someone waits on do not. Every helper
    // starts with /dev/null as its input and only the variables its libraries read.
    void helpersStartAsAsked_data()
    {
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("policy");
        QTest::newRow("background") << int(ReaderPool::Priority::background) << SCHED_IDLE;
        QTest::newRow("interactive") << int(ReaderPool::Priority::interactive) << SCHED_OTHER;
    }
    void helpersStartAsAsked()
    {
        QFETCH(int, priority);
        QFETCH(int, policy);
        qputenv("TESSARY_TEST_SECRET", "not for helpers");
        ReaderPool::Options options = testOptions(60s);
        options.priority = ReaderPool::Priority(priority);
        ReaderPool pool(options);
        auto running = std::async(std::launch::async, [&] {
            return pool.run({ textOf(m_first), request(ReaderTask::testHang, m_tree.path("hang")) });
        });
        const pid_t helper = hangingHelper();
        QVERIFY(helper != 0);
        QCOMPARE(::sched_getscheduler(helper), policy);
        const long io = ::syscall(SYS_ioprio_get, IOPRIO_WHO_PROCESS, helper);
        QCOMPARE(IOPRIO_PRIO_CLASS(io) == IOPRIO_CLASS_IDLE, policy == SCHED_IDLE);
        // Idle scheduling counts only within a session's group: a background helper leads a
        // session of its own, whose group has the weakest share.
        QCOMPARE(::getsid(helper) == helper, policy == SCHED_IDLE);
        QFile group(QStringLiteral("/proc/%1/autogroup").arg(helper));
        if (policy == SCHED_IDLE && group.open(QIODevice::ReadOnly))
            QVERIFY(group.readAll().trimmed().endsWith("nice 19"));
        QCOMPARE(QFile::symLinkTarget(QStringLiteral("/proc/%1/fd/0").arg(helper)), QStringLiteral("/dev/null"));
        const QByteArray variables = readFile("/proc/" + QByteArray::number(helper) + "/environ");
        QVERIFY(!variables.contains("TESSARY_TEST_SECRET"));
        QVERIFY(variables.contains("HOME="));
        ::kill(helper, SIGKILL);
        running.get();
    }

    // Helpers started for a thread that has ended since keep serving: they die with the
    // application, not with the thread that happened to start them.
    void helpersOutliveTheThreadThatStartedThem()
    {
        ReaderPool pool(testOptions());
        std::thread([&] { QCOMPARE(pool.run(textOf(m_first)).status, Status::done); }).join();
        QCOMPARE(pool.run(textOf(m_second)).text.trimmed(), QStringLiteral("second words"));
        QCOMPARE(pool.startedHelpers(), 1);
    }

    // Without a helper program nothing is read, and nothing is blamed on the files.
    void missingHelperProgram()
    {
        ReaderPool::Options options;
        options.program = m_tree.path("no-such-reader");
        ReaderPool pool(options);
        const QList<ReaderResponse> responses = pool.run({ textOf(m_first), textOf(m_second) });
        for (const ReaderResponse &response : responses) {
            QCOMPARE(response.status, Status::unavailable);
            QVERIFY(response.error.value_or(QString()).startsWith(QStringLiteral("No file reader")));
        }
        QCOMPARE(pool.run(textOf(m_first)).status, Status::unavailable);
    }

    // A helper started without the test switch ignores the test requests.
    void testRequestsNeedTheTestSwitch()
    {
        ReaderPool pool;
        QCOMPARE(pool.run(request(ReaderTask::testCrash, m_tree.path("x"))).status, Status::unsupported);
    }
};

QTEST_GUILESS_MAIN(ReaderPoolTest)
#include "readerpooltest.moc"
