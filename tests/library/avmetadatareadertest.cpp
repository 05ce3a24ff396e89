#include "library/media/avmetadatareader.h"

#include "samplefiles.h"
#include "support/testtree.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class AvMetadataReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void handWrittenFiles_data();
    void handWrittenFiles();
    void encodedFiles_data();
    void encodedFiles();
};

void AvMetadataReaderTest::handWrittenFiles_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<double>("duration"); // 0: none

    QTest::newRow("two-second WAV") << QByteArray("tone.wav") << SampleFiles::wav(2000) << 2.0;
    QTest::newRow("WAV with a name that is not UTF-8") << QByteArray("\xff.wav") << SampleFiles::wav(1000) << 1.0;
    QTest::newRow("zero-byte MP4") << QByteArray("empty.mp4") << QByteArray() << 0.0;
    QTest::newRow("WAV header without data") << QByteArray("cut.wav") << SampleFiles::wav(2000).left(20) << 0.0;
}

void AvMetadataReaderTest::handWrittenFiles()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, contents);
    QFETCH(double, duration);

    TestTree tree;
    const MediaFacts facts = AvMetadataReader::read(tree.file(name, contents));
    QCOMPARE(facts.duration.has_value(), duration > 0);
    if (duration > 0)
        QVERIFY2(qAbs(*facts.duration - duration) < 0.01, qPrintable(QString::number(*facts.duration)));
    QVERIFY(!facts.dimensions.has_value());
    QVERIFY(!facts.camera.has_value());
}

void AvMetadataReaderTest::encodedFiles_data()
{
    QTest::addColumn<QStringList>("arguments"); // ffmpeg input and output options
    QTest::addColumn<QStringList>("remux"); // options of a second, stream-copying pass, if any
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("dimensions"); // empty: none
    QTest::addColumn<QString>("camera"); // empty: none

    const auto args = [](const char *text) { return QString::fromLatin1(text).split(u' '); };
    const QStringList video = args("-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v mpeg4");
    const QStringList mp3 = args("-f lavfi -i sine=frequency=440:duration=1 -c:a libmp3lame");
    const QString landscape = QStringLiteral("64 \u00d7 48");

    QTest::newRow("MP4") << video << QStringList() << QByteArray("clip.mp4") << landscape << QString();
    // The encoder drops a rotation given with new pictures; a stream copy keeps it.
    QTest::newRow("MP4 recorded in portrait")
        << video << args("-metadata:s:v:0 rotate=90") << QByteArray("portrait.mp4") << QStringLiteral("48 \u00d7 64")
        << QString();
    QTest::newRow("MP4 with a device model")
        << video + args("-movflags use_metadata_tags -metadata")
            + QStringList { QStringLiteral("com.apple.quicktime.model=iPhone 15") }
        << QStringList() << QByteArray("phone.mov") << landscape << QStringLiteral("iPhone 15");
    QTest::newRow("Matroska") << video << QStringList() << QByteArray("clip.mkv") << landscape << QString();
    QTest::newRow("MP3") << mp3 << QStringList() << QByteArray("tone.mp3") << QString() << QString();
    QTest::newRow("MP3 with cover art") << args(
        "-f lavfi -i sine=frequency=440:duration=1 -f lavfi -i color=c=red:size=32x32:duration=1 "
        "-frames:v 1 -map 0 -map 1 -c:a libmp3lame -c:v mjpeg -disposition:v attached_pic")
                                        << QStringList() << QByteArray("covered.mp3") << QString() << QString();
}

void AvMetadataReaderTest::encodedFiles()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, remux);
    QFETCH(QByteArray, name);
    QFETCH(QString, dimensions);
    QFETCH(QString, camera);

    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        QSKIP("the ffmpeg command is not installed, so no encoded samples can be made");

    TestTree tree;
    const QByteArray path = tree.path(name);
    const QByteArray first = remux.isEmpty() ? path : tree.path("first-" + name);
    const QStringList common = { QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
        QStringLiteral("-nostdin"), QStringLiteral("-y") };
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(ffmpeg, common + arguments + QStringList { QFile::decodeName(first) });
    if (process.waitForFinished(60000) && process.exitCode() == 0 && !remux.isEmpty()) {
        process.start(ffmpeg,
            common
                + QStringList { QStringLiteral("-i"), QFile::decodeName(first), QStringLiteral("-c"),
                    QStringLiteral("copy") }
                + remux + QStringList { QFile::decodeName(path) });
        process.waitForFinished(60000);
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        QSKIP(
            qPrintable(QStringLiteral("this ffmpeg cannot make the sample: ") + QString::fromUtf8(process.readAll())));

    const MediaFacts facts = AvMetadataReader::read(path);
    QVERIFY(facts.duration.has_value());
    QVERIFY2(qAbs(*facts.duration - 1.0) < 0.1, qPrintable(QString::number(*facts.duration)));
    QCOMPARE(facts.dimensions.value_or(QString()), dimensions);
    QCOMPARE(facts.camera.value_or(QString()), camera);
}

QTEST_GUILESS_MAIN(AvMetadataReaderTest)
#include "avmetadatareadertest.moc"
