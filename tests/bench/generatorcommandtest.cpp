#include "support/testtree.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <unistd.h>

namespace {

struct Result
{
    int exitCode = -1;
};

Result generate(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TESSARY_GENERATOR), arguments);
    Result result;
    if (process.waitForFinished(240'000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

} // namespace

// The command's promises about what it refuses to do: it never writes into a folder that holds
// anything, and a usage error writes nothing at all.
class GeneratorCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usageErrorsWriteNothing_data();
    void usageErrorsWriteNothing();
    void refusesAFolderThatHoldsFiles();
};

void GeneratorCommandTest::usageErrorsWriteNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("withFolder");
    QTest::newRow("fewer files than the fixed set")
        << QStringList { QStringLiteral("--files"), QStringLiteral("43") } << true;
    QTest::newRow("files not a number") << QStringList { QStringLiteral("--files"), QStringLiteral("many") } << true;
    QTest::newRow("seed not a number") << QStringList { QStringLiteral("--seed"), QStringLiteral("-1x") } << true;
    QTest::newRow("no jobs") << QStringList { QStringLiteral("--jobs"), QStringLiteral("0") } << true;
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--colour") } << true;
    QTest::newRow("no folder") << QStringList { QStringLiteral("--files"), QStringLiteral("60") } << false;
}

void GeneratorCommandTest::usageErrorsWriteNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, withFolder);
    TestTree tree;
    const QByteArray target = tree.path("library");
    if (withFolder)
        arguments.append(QFile::decodeName(target));
    QCOMPARE(generate(arguments).exitCode, 2);
    QCOMPARE(::access(target.constData(), F_OK), -1);
}

void GeneratorCommandTest::refusesAFolderThatHoldsFiles()
{
    TestTree tree;
    tree.file("library/keep.txt", "precious");
    QCOMPARE(
        generate({ QStringLiteral("--files"), QStringLiteral("44"), QFile::decodeName(tree.path("library")) }).exitCode,
        1);
    const QStringList entries = QDir(QFile::decodeName(tree.path("library")))
                                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(entries, QStringList { QStringLiteral("keep.txt") });
    QFile kept(QFile::decodeName(tree.path("library/keep.txt")));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("precious"));
}

QTEST_GUILESS_MAIN(GeneratorCommandTest)
#include "generatorcommandtest.moc"
