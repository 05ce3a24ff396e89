// The reader pool against the real helper: answers in order, faults confined to one file, the
// rest of a batch read by a replacement, refusals after two faults, cancellation, and the
// sandbox seen from inside a helper.

#include "readers/readerpool.h"
#include "support/testtree.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <future>
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
        QList<pid_t> helpers;
        QTRY_VERIFY_WITH_TIMEOUT(!(helpers = helperProcesses()).isEmpty(), 10'000);
        // Let the helper reach the hanging request before it is killed.
        QTest::qWait(300);
        for (const pid_t pid : helpers)
            ::kill(pid, SIGKILL);
        const QList<ReaderResponse> responses = running.get();
        QCOMPARE(responses[1].status, Status::crashed);
        checkGoodTexts(responses, { 0, 2 });
    }

    // Twice at fault, a file is refused without a helper being risked, until it changes.
    void refusesAfterTwoFaults()
    {
        ReaderPool pool(testOptions());
        const QByteArray path = m_tree.file("crashing", "x");
        const ReaderRequest crash = request(ReaderTask::testCrash, path);
        QCOMPARE(pool.run(crash).status, Status::crashed);
        QCOMPARE(pool.run(crash).status, Status::crashed);
        const int started = pool.startedHelpers();
        QCOMPARE(pool.run(crash).status, Status::refused);
        QCOMPARE(pool.startedHelpers(), started);
        // Once the file changes it is tried again.
        m_tree.setModified("crashing", Timestamp::fromUnix(1'000'000));
        QCOMPARE(pool.run(crash).status, Status::crashed);
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

    // From inside a helper: nothing can be written, no socket opened, nothing read outside the
    // folders it was given.
    void helperIsConfined_data()
    {
        QTest::addColumn<QByteArray>("write");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside the allowed folder")
            << m_tree.path("new-file") << m_first << QStringLiteral("write:refused socket:refused read:ok");
        QTest::newRow("outside it") << QByteArray("/tmp/tessary-reader-probe") << QByteArray("/etc/shadow-not-there")
                                    << QStringLiteral("write:refused socket:refused read:refused");
    }
    void helperIsConfined()
    {
        QFETCH(QByteArray, write);
        QFETCH(QByteArray, read);
        QFETCH(QString, expected);
        TestTree outside;
        const QByteArray secret = outside.file("secret.txt", "private");
        ReaderPool pool(testOptions());
        pool.allow({ m_tree.root() });
        ReaderRequest probe = request(ReaderTask::testProbe, write);
        probe.capturedText = QString::fromUtf8(read == "/etc/shadow-not-there" ? secret : read);
        const ReaderResponse response = pool.run(probe);
        QCOMPARE(response.status, Status::done);
        QCOMPARE(response.text, expected);
        QVERIFY(!QFile::exists(QString::fromUtf8(write)));
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
