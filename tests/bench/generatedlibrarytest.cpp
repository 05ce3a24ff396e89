#include "generator/libraryplan.h"
#include "library/libraryscanner.h"
#include "readers/contentreaders.h"
#include "support/testtree.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr quint64 kSeed = 7;
constexpr int kFiles = 60;

QString dimensions(int width, int height)
{
    return QString::number(width) + u" × " + QString::number(height);
}

} // namespace

class GeneratedLibraryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void listsExactlyThePlannedFiles();
    void everyKindIsPresent_data();
    void everyKindIsPresent();
    void imagesCarryCameraAndSize_data();
    void imagesCarryCameraAndSize();
    void mediaLastAsLongAsRecorded_data();
    void mediaLastAsLongAsRecorded();

private:
    void generate(const QByteArray &folder);
    const FileRecord *record(const QByteArray &relative) const;

    TestTree m_home;
    QTemporaryDir m_first;
    QByteArray m_root;
    LibraryPlan m_plan;
    ScanResult m_scan;
};

void GeneratedLibraryTest::generate(const QByteArray &folder)
{
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    generator.start(QStringLiteral(TESSARY_GENERATOR),
        { QStringLiteral("--files"), QString::number(kFiles), QStringLiteral("--seed"), QString::number(kSeed),
            QFile::decodeName(folder) });
    QVERIFY(generator.waitForFinished(240'000));
    QCOMPARE(generator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(generator.exitCode(), 0);
}

const FileRecord *GeneratedLibraryTest::record(const QByteArray &relative) const
{
    for (const FileRecord &r : m_scan.files) {
        if (r.path == m_root + '/' + relative)
            return &r;
    }
    return nullptr;
}

void GeneratedLibraryTest::initTestCase()
{
    m_home.becomeHome();
    m_root = QFile::encodeName(m_first.path()) + "/library";
    generate(m_root);
    m_plan = LibraryPlan::make(kSeed, kFiles);
    // Camera, pixel size and duration are read by the reader helpers, as in the application.
    ScanOptions options;
    options.readContents = &ContentReaders::mediaFacts;
    m_scan = LibraryScanner::scan({ m_root }, options);
}

void GeneratedLibraryTest::listsExactlyThePlannedFiles()
{
    QCOMPARE(m_scan.files.size(), kFiles);
    QCOMPARE(m_scan.skipped, 1); // the one symbolic link
    QCOMPARE(m_scan.errors, 0);
    QVERIFY(!m_scan.truncated);
    QSet<QByteArray> planned;
    for (const PlannedFile &file : std::as_const(m_plan.files)) {
        if (file.listed)
            planned.insert(m_root + '/' + file.path);
    }
    QSet<QByteArray> scanned;
    for (const FileRecord &r : std::as_const(m_scan.files))
        scanned.insert(r.path);
    QCOMPARE(scanned, planned);
}

void GeneratedLibraryTest::everyKindIsPresent_data()
{
    QTest::addColumn<int>("kind");
    for (FileKind kind : FileKind::allCases())
        QTest::newRow(qPrintable(kind.rawValue())) << int(FileKind::Value(kind));
}

void GeneratedLibraryTest::everyKindIsPresent()
{
    QFETCH(int, kind);
    const auto found = std::count_if(m_scan.files.cbegin(), m_scan.files.cend(),
        [kind](const FileRecord &r) { return int(FileKind::Value(r.kind)) == kind; });
    QVERIFY(found > 0);
}

void GeneratedLibraryTest::imagesCarryCameraAndSize_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("camera");
    QTest::addColumn<QString>("dimensions");
    bool turned = false;
    for (const PlannedFile &file : std::as_const(m_plan.files)) {
        if (!file.listed || file.width == 0 || file.duration > 0 || file.content == Content::bundle)
            continue;
        const bool quarterTurn = file.orientation >= 5 && file.orientation <= 8;
        turned = turned || quarterTurn;
        QTest::newRow(file.path.constData())
            << file.path << file.camera
            << (quarterTurn ? dimensions(file.height, file.width) : dimensions(file.width, file.height));
    }
    QVERIFY2(turned, "the library holds no photo taken with the camera turned");
}

void GeneratedLibraryTest::imagesCarryCameraAndSize()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, camera);
    QFETCH(QString, dimensions);
    const FileRecord *r = record(path);
    QVERIFY(r != nullptr);
    QCOMPARE(r->kind, FileKind::images);
    QCOMPARE(r->camera.value_or(QString()), camera);
    QCOMPARE(r->dimensions.value_or(QString()), dimensions);
}

void GeneratedLibraryTest::mediaLastAsLongAsRecorded_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("dimensions");
    QTest::addColumn<QString>("camera");
    for (const PlannedFile &file : std::as_const(m_plan.files)) {
        if (file.listed && file.duration > 0) {
            QTest::newRow(file.path.constData())
                << file.path << file.duration << (file.width > 0 ? dimensions(file.width, file.height) : QString())
                << file.camera;
        }
    }
}

void GeneratedLibraryTest::mediaLastAsLongAsRecorded()
{
    QFETCH(QByteArray, path);
    QFETCH(double, duration);
    QFETCH(QString, dimensions);
    QFETCH(QString, camera);
    const FileRecord *r = record(path);
    QVERIFY(r != nullptr);
    QVERIFY(r->duration.has_value());
    QVERIFY2(qAbs(*r->duration - duration) <= 0.05 * duration,
        qPrintable(QStringLiteral("%1 s, expected %2 s").arg(*r->duration).arg(duration)));
    QCOMPARE(r->dimensions.value_or(QString()), dimensions);
    QCOMPARE(r->camera.value_or(QString()), camera);
}

QTEST_GUILESS_MAIN(GeneratedLibraryTest)
#include "generatedlibrarytest.moc"
