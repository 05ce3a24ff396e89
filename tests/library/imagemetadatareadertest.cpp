#include "library/media/imagemetadatareader.h"

#include "samplefiles.h"
#include "support/testtree.h"

#include <QRandomGenerator>
#include <QTest>

class ImageMetadataReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void facts_data();
    void facts();
};

void ImageMetadataReaderTest::facts_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("camera"); // empty: none
    QTest::addColumn<QString>("dimensions"); // empty: none

    const QString landscape = QStringLiteral("40 \u00d7 30");
    const QString portrait = QStringLiteral("30 \u00d7 40");
    const QByteArray phone = SampleFiles::jpeg(40, 30, "Pixel 7", 6);
    QTest::newRow("JPEG turned by Exif orientation 6")
        << QByteArray("phone.jpg") << phone << QStringLiteral("Pixel 7") << portrait;
    QTest::newRow("JPEG mirrored by Exif orientation 2")
        << QByteArray("mirror.jpg") << SampleFiles::jpeg(40, 30, "Nikon Z6", 2) << QStringLiteral("Nikon Z6")
        << landscape;
    QTest::newRow("JPEG with an Exif orientation past 8")
        << QByteArray("odd.jpg") << SampleFiles::jpeg(40, 30, "Pixel 7", 9) << QStringLiteral("Pixel 7") << landscape;
    QTest::newRow("model padded with blanks")
        << QByteArray("camera.jpg") << SampleFiles::jpeg(40, 30, "EOS R5  ") << QStringLiteral("EOS R5") << landscape;
    QTest::newRow("JPEG without Exif") << QByteArray("plain.jpg") << SampleFiles::jpeg(40, 30) << QString()
                                       << landscape;
    QTest::newRow("PNG with a JPEG extension") << QByteArray("png-with-jpeg-extension.jpg") << SampleFiles::png(20, 10)
                                               << QString() << QStringLiteral("20 \u00d7 10");
    QTest::newRow("name that is not UTF-8")
        << QByteArray("\xff\xfe.jpg") << phone << QStringLiteral("Pixel 7") << portrait;
    QTest::newRow("JPEG cut inside its Exif block")
        << QByteArray("truncated.jpg") << phone.left(30) << QString() << QString();
    QByteArray noise(4096, Qt::Uninitialized);
    QRandomGenerator generator(20240601);
    generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    noise[0] = 'R'; // never a real signature by chance
    QTest::newRow("random bytes named .jpg") << QByteArray("noise.jpg") << noise << QString() << QString();
    QTest::newRow("empty file") << QByteArray("empty.png") << QByteArray() << QString() << QString();
}

void ImageMetadataReaderTest::facts()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, contents);
    QFETCH(QString, camera);
    QFETCH(QString, dimensions);

    TestTree tree;
    const MediaFacts facts = ImageMetadataReader::read(tree.file(name, contents));
    QCOMPARE(facts.camera.value_or(QString()), camera);
    QCOMPARE(facts.dimensions.value_or(QString()), dimensions);
    QVERIFY(!facts.duration.has_value());
}

QTEST_GUILESS_MAIN(ImageMetadataReaderTest)
#include "imagemetadatareadertest.moc"
