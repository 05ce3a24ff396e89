#include "support/testtree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

// The `query` command and `scan --query`, run as the user runs them.
class QueryCommandTest : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int status = -1;
        QByteArray out;
    };

    Run tessary(const QStringList &arguments, const QStringList &environment = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "LANG", "LC_ALL", "LC_TIME", "TZ" })
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), QFile::decodeName(m_home.root()));
        env.insert(QStringLiteral("XDG_DATA_HOME"), QFile::decodeName(m_home.path("data")));
        for (const QString &assignment : environment)
            env.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TESSARY_EXECUTABLE), arguments);
        if (!process.waitForFinished(60'000))
            return {};
        return { process.exitCode(), process.readAllStandardOutput() };
    }

    TestTree m_home;

private Q_SLOTS:
    void query_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QByteArray>("expected");
        const QString now = QStringLiteral("--now=2025-01-15T12:00:00+01:00");
        const QStringList berlin { QStringLiteral("TZ=Europe/Berlin") };

        QTest::newRow("json")
            << QStringList { QStringLiteral("--json"), now, QStringLiteral("PDFs over 5 MB from last week") } << berlin
            << QByteArray("{\"kinds\": [], \"extensions\": [\"pdf\"], \"minSize\": 5000000, \"maxSize\": null, "
                          "\"after\": \"2025-01-06T00:00:00+01:00\", \"before\": \"2025-01-13T00:00:00+01:00\", "
                          "\"screenshots\": false, \"source\": null, \"camera\": null, \"words\": [], "
                          "\"chips\": [\"PDF\", \"> 5 MB\", \"Last week\"], "
                          "\"tokens\": [\"pdfs\", \"over 5 mb\", \"last week\"]}\n");
        QTest::newRow("chips, words joined") << QStringList { now, QStringLiteral("photos"), QStringLiteral("in"),
            QStringLiteral("march"), QStringLiteral("zip") }
                                             << berlin << QByteArray("Images \xc2\xb7 ZIP \xc2\xb7 March 2024\n");
        QTest::newRow("weeks of the locale")
            << QStringList { now, QStringLiteral("--json"), QStringLiteral("this week") }
            << QStringList { QStringLiteral("TZ=America/New_York"), QStringLiteral("LANG=en_US.UTF-8") }
            << QByteArray("\"after\": \"2025-01-12T00:00:00-05:00\"");
        QTest::newRow("first weekday given")
            << QStringList { now, QStringLiteral("--first-weekday=1"), QStringLiteral("--json"),
                   QStringLiteral("this week") }
            << QStringList { QStringLiteral("TZ=America/New_York"), QStringLiteral("LANG=en_US.UTF-8") }
            << QByteArray("\"after\": \"2025-01-13T00:00:00-05:00\"");
        QTest::newRow("remove a chip") << QStringList { QStringLiteral("--remove-chip"), QStringLiteral("1"),
            QStringLiteral("report  rep") }
                                       << QStringList() << QByteArray("report\n");
    }
    void query()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QByteArray, expected);
        const Run run = tessary(QStringList { QStringLiteral("query") } + arguments, environment);
        QCOMPARE(run.status, 0);
        if (expected.startsWith('{') || expected.endsWith('\n'))
            QCOMPARE(run.out, expected);
        else
            QVERIFY2(run.out.contains(expected), run.out.constData());
    }

    void rejectsBadOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("time without zone")
            << QStringList { QStringLiteral("--now=2025-01-15T12:00:00"), QStringLiteral("x") };
        QTest::newRow("weekday 0") << QStringList { QStringLiteral("--first-weekday=0"), QStringLiteral("x") };
        QTest::newRow("chip not a number") << QStringList { QStringLiteral("--remove-chip=one"), QStringLiteral("x") };
        QTest::newRow("no text") << QStringList { QStringLiteral("--json") };
    }
    void rejectsBadOptions()
    {
        QFETCH(QStringList, arguments);
        QCOMPARE(tessary(QStringList { QStringLiteral("query") } + arguments).status, 2);
    }

    void scanKeepsMatches_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<QStringList>("expected");
        const QByteArray index = "{\"@/notes.txt\": {\"text\": \"Signed with ACME\"}, \"@/photo.png\": {\"text\": 3}}";
        QTest::newRow("word in the name")
            << QStringLiteral("invoice") << index << QStringList { QStringLiteral("invoice-2024.pdf") };
        QTest::newRow("word in the index")
            << QStringLiteral("acme") << index << QStringList { QStringLiteral("notes.txt") };
        QTest::newRow("text that is not a string") << QStringLiteral("3") << index << QStringList();
        QTest::newRow("malformed index") << QStringLiteral("acme") << QByteArray("{\"@/notes.txt\": ") << QStringList();
        QTest::newRow("kinds need no index")
            << QStringLiteral("images pdfs") << QByteArray()
            << QStringList { QStringLiteral("invoice-2024.pdf"), QStringLiteral("photo.png") };
    }
    void scanKeepsMatches()
    {
        QFETCH(QString, query);
        QFETCH(QByteArray, index);
        QFETCH(QStringList, expected);
        TestTree tree;
        tree.file("invoice-2024.pdf", "%PDF");
        tree.file("notes.txt", "notes");
        tree.file("photo.png", "png");
        m_home.file("data/Quillon/text-index.json", QByteArray(index).replace('@', tree.root()));
        const Run run = tessary({ QStringLiteral("scan"), QStringLiteral("--json"), QStringLiteral("--query"), query,
            QString::fromUtf8(tree.root()) });
        QCOMPARE(run.status, 0);
        QStringList names;
        for (const QJsonValue &file : QJsonDocument::fromJson(run.out).object().value(u"files").toArray())
            names << file.toObject().value(u"path").toString().section(u'/', -1);
        names.sort();
        QCOMPARE(names, expected);
    }
};

QTEST_GUILESS_MAIN(QueryCommandTest)
#include "querycommandtest.moc"
