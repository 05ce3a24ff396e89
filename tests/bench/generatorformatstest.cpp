#include "generator/zipwriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Runs a tool the project installs for its benchmarks; the caller skips when it is missing.
struct Tool
{
    bool found = false;
    int exitCode = -1;
    QByteArray output;
};

Tool runTool(const QString &program, const QStringList &arguments)
{
    Tool tool;
    if (QStandardPaths::findExecutable(program).isEmpty())
        return tool;
    tool.found = true;
    QProcess process;
    process.start(program, arguments);
    if (process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit)
        tool.exitCode = process.exitCode();
    tool.output = process.readAllStandardOutput();
    return tool;
}

#define RUN_TOOL(result, program, ...)                                                                                 \
    const Tool result = runTool(QStringLiteral(program), __VA_ARGS__);                                                 \
    if (!result.found)                                                                                                 \
        QSKIP(program " is not installed");                                                                            \
    QCOMPARE(result.exitCode, 0)

QString save(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

} // namespace

class GeneratorFormatsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zipEntriesReadBack_data();
    void zipEntriesReadBack();

private:
    QTemporaryDir m_dir;
};

void GeneratorFormatsTest::zipEntriesReadBack_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("deflated");
    QTest::newRow("deflated text") << QByteArray("notes.txt") << QByteArray("minutes of the meeting\n").repeated(50)
                                   << true;
    QTest::newRow("stored binary") << QByteArray("data.bin") << QByteArray("\x00\xff\x10\x80", 4).repeated(300)
                                   << false;
    QTest::newRow("UTF-8 name") << QByteArray("r\xc3\xa9sum\xc3\xa9.txt") << QByteArray("curriculum") << true;
    QTest::newRow("empty file") << QByteArray("empty") << QByteArray() << true;
}

void GeneratorFormatsTest::zipEntriesReadBack()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, data);
    QFETCH(bool, deflated);
    ZipWriter zip;
    zip.add("first.txt", "before", Timestamp::fromUnix(1'600'000'000));
    zip.add(name, data, Timestamp::fromUnix(1'700'000'000),
        deflated ? ZipWriter::Method::deflated : ZipWriter::Method::stored);
    const QString archive = save(m_dir, QStringLiteral("archive.zip"), zip.finish());
    RUN_TOOL(test, "unzip", { QStringLiteral("-tq"), archive });
    RUN_TOOL(content, "unzip", { QStringLiteral("-p"), archive, QString::fromUtf8(name) });
    QCOMPARE(content.output, data);
    RUN_TOOL(names, "unzip", { QStringLiteral("-Z1"), archive });
    QCOMPARE(names.output, "first.txt\n" + name + '\n');
}

QTEST_MAIN(GeneratorFormatsTest)
#include "generatorformatstest.moc"
