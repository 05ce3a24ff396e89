#include "analysis/similar/featureprint.h"

#include "analysis/similar/similarityfinder.h"
#include "analysis/similar/thumbnailloader.h"
#include "support/hostilefiles.h"
#include "support/testtree.h"
#include "syntheticphoto.h"

#include <QBuffer>
#include <QImageWriter>
#include <QTest>

#include <unistd.h>

using namespace SyntheticPhoto;

Q_DECLARE_METATYPE(QImage)

class FeaturePrintTest : public QObject
{
    Q_OBJECT

private:
    // The print of an image as the finder makes it: written to a file, decoded as a thumbnail.
    static FeaturePrint printOfFile(const QByteArray &bytes)
    {
        TestTree tree;
        const auto thumbnail = ThumbnailLoader::loadReduced(
            tree.file("image", bytes), SimilarityFinder::kThumbnailSide, FeaturePrint::kSourceSide);
        if (!thumbnail)
            qFatal("the test image could not be decoded");
        return *FeaturePrint::make(*thumbnail);
    }

private Q_SLOTS:
    void lookAlikes_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("alike");

        const QImage photo = make(7);
        const QByteArray original = encode(photo, "jpg", 92);
        const int w = photo.width();
        const int h = photo.height();
        const auto alike = [&](const char *name, const QByteArray &variant) {
            QTest::newRow(name) << original << variant << true;
        };
        alike("identical", original);
        alike("resized to 50%", encode(photo.scaled(w / 2, h / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "jpg"));
        alike("resized to 25%", encode(photo.scaled(w / 4, h / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "jpg"));
        alike("JPEG quality 50", encode(photo, "jpg", 50));
        alike("brightness +10%", encode(scaledBrightness(photo, 1.1), "jpg"));
        alike("brightness -10%", encode(scaledBrightness(photo, 0.9), "jpg"));
        alike("cropped by 5%", encode(photo.copy(w / 40, h / 40, w - w / 20, h - h / 20), "jpg"));
        alike("converted to PNG", encode(photo, "png"));
        alike("16-bit PNG", encode(photo.convertToFormat(QImage::Format_RGBA64), "png"));
        QTest::newRow("grey flats 5% apart") << encode(flat(qRgb(128, 128, 128)), "png")
                                             << encode(flat(qRgb(134, 134, 134)), "png") << true;

        const auto different = [&](const char *name, const QByteArray &a, const QByteArray &b) {
            QTest::newRow(name) << a << b << false;
        };
        for (quint32 seed : {1u, 2u, 3u, 4u}) {
            const QByteArray name = "different scene " + QByteArray::number(seed);
            different(name.constData(), original, encode(make(seed), "jpg"));
        }
        different("mirrored", original, encode(photo.mirrored(true, false), "jpg"));
        different("colours inverted", original, encode([&] {
                      QImage inverted = photo;
                      inverted.invertPixels();
                      return inverted;
                  }(), "jpg"));
        // A luminance-only descriptor sees nothing in either; the colour must tell them apart.
        different("flat red and flat blue", encode(flat(qRgb(255, 0, 0)), "png"), encode(flat(qRgb(0, 0, 255)), "png"));
        different("flat black and flat white", encode(flat(qRgb(0, 0, 0)), "png"), encode(flat(qRgb(255, 255, 255)), "png"));
        different("flat grey and a photo", encode(flat(qRgb(128, 128, 128)), "png"), original);
    }

    void lookAlikes()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, alike);
        const FeaturePrint a = printOfFile(first);
        const FeaturePrint b = printOfFile(second);
        const float d = FeaturePrint::distance(a, b);
        QCOMPARE(FeaturePrint::distance(b, a), d);
        if (alike)
            QVERIFY2(d <= SimilarityFinder::kDefaultThreshold, qPrintable(QString::number(d)));
        else
            QVERIFY2(d > SimilarityFinder::kDefaultThreshold, qPrintable(QString::number(d)));
    }

    void exifOrientationIsApplied()
    {
        const QImage photo = make(11);
        QByteArray turned;
        {
            QBuffer buffer(&turned);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpg");
            if (!writer.supportsOption(QImageIOHandler::ImageTransformation))
                QSKIP("this JPEG writer cannot store an orientation");
            // Stored turned a quarter to the left, tagged to be shown turned back.
            writer.setTransformation(QImageIOHandler::TransformationRotate90);
            QVERIFY(writer.write(photo.transformed(QTransform().rotate(-90))));
        }
        TestTree tree;
        const auto thumbnail = ThumbnailLoader::load(tree.file("turned.jpg", turned), 256);
        QVERIFY(thumbnail);
        QCOMPARE(thumbnail->size(), QSize(256, 192));
        const float d = FeaturePrint::distance(*FeaturePrint::make(*thumbnail), printOfFile(encode(photo, "jpg")));
        QVERIFY2(d <= SimilarityFinder::kDefaultThreshold, qPrintable(QString::number(d)));
    }

    void reducedDecodeGroupsLikeFullDecode_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<bool>("alike"); // with the print of the full decode of the reference

        const QImage photo = make(7).scaled(1600, 1200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const auto resized = [&](int w, int h) { return photo.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); };
        QTest::newRow("eighth of 1600x1200") << encode(photo, "jpg", 90) << QSize(200, 150) << true;
        QTest::newRow("eighth at quality 30") << encode(photo, "jpg", 30) << QSize(200, 150) << true;
        QTest::newRow("quarter of 1000x750") << encode(resized(1000, 750), "jpg") << QSize(250, 187) << true;
        QTest::newRow("eighth of 1521x1141, not a multiple of 8")
            << encode(resized(1521, 1141), "jpg") << QSize(190, 142) << true;
        QTest::newRow("eighth of 2400x1800, then fitted") << encode(resized(2400, 1800), "jpg") << QSize(256, 192) << true;
        QTest::newRow("progressive") << [&] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpg");
            writer.setProgressiveScanWrite(true);
            writer.write(photo);
            return bytes;
        }() << QSize(200, 150) << true;
        QTest::newRow("turned by its Exif orientation") << [&] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpg");
            writer.setTransformation(QImageIOHandler::TransformationRotate90);
            writer.write(photo.transformed(QTransform().rotate(-90)));
            return bytes;
        }() << QSize(200, 150) << true;
        QTest::newRow("PNG halved twice") << encode(photo, "png") << QSize(200, 150) << true;
        QTest::newRow("PNG of odd size")
            << encode(resized(1001, 751), "png") << QSize(250, 187) << true;
        QTest::newRow("PNG with an alpha channel")
            << encode(photo.convertToFormat(QImage::Format_ARGB32), "png") << QSize(200, 150) << true;
        QTest::newRow("wide PNG halved, then fitted") << encode(resized(4000, 600), "png") << QSize(256, 38) << true;
        QTest::newRow("SVG drawn at the size needed, whatever it declares")
            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='20000' height='10000'>"
                          "<rect width='20000' height='10000' fill='red'/></svg>")
            << QSize(256, 128) << false;
        QTest::newRow("a different picture")
            << encode(make(3).scaled(1600, 1200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "jpg")
            << QSize(200, 150) << false;
    }

    void reducedDecodeGroupsLikeFullDecode()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QSize, expected);
        QFETCH(bool, alike);
        const QImage photo = make(7).scaled(1600, 1200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const FeaturePrint full = *FeaturePrint::make(QImage::fromData(encode(photo, "jpg", 90)));
        TestTree tree;
        const auto reduced = ThumbnailLoader::loadReduced(
            tree.file("photo", contents), SimilarityFinder::kThumbnailSide, FeaturePrint::kSourceSide);
        QVERIFY(reduced);
        QCOMPARE(reduced->size(), expected);
        const float d = FeaturePrint::distance(full, *FeaturePrint::make(*reduced));
        QVERIFY2((d <= SimilarityFinder::kDefaultThreshold) == alike, qPrintable(QString::number(d)));
    }

    void awkwardFiles_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QSize>("expected"); // invalid: no thumbnail

        const QImage photo = make(5, 800, 400);
        const QByteArray jpeg = encode(photo, "jpg");
        QTest::newRow("zero bytes") << QByteArray("empty.jpg") << QByteArray() << QSize();
        QTest::newRow("text named as an image") << QByteArray("notes.png") << QByteArray("just words\n") << QSize();
        QTest::newRow("PNG bomb beyond the pixel cap")
            << QByteArray("bomb.png") << HostileFiles::claimingPng(100000, 100000) << QSize();
        QTest::newRow("PNG bomb beyond the allocation limit")
            << QByteArray("bomb2.png") << HostileFiles::claimingPng(19000, 19000) << QSize();
        QTest::newRow("PNG with a JPEG extension") << QByteArray("png-with-jpeg-extension.jpg") << encode(photo, "png")
                                                   << QSize(256, 128);
        QTest::newRow("JPEG scaled while decoding") << QByteArray("photo.jpg") << jpeg << QSize(256, 128);
        QTest::newRow("small image keeps its size") << QByteArray("small.png") << encode(make(5, 100, 50), "png")
                                                    << QSize(100, 50);
        QTest::newRow("SVG rendered small") << QByteArray("drawing.svg")
                                            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='4000' "
                                                          "height='2000'><rect width='4000' height='2000' "
                                                          "fill='red'/></svg>")
                                            << QSize(256, 128);
        QTest::newRow("name not valid UTF-8") << QByteArray("caf\xe9.png") << encode(photo, "png") << QSize(256, 128);
    }

    void awkwardFiles()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, contents);
        QFETCH(QSize, expected);
        TestTree tree;
        const QByteArray path = tree.file(name, contents);
        const auto thumbnail = ThumbnailLoader::load(path, 256);
        ::unlink(path.constData()); // the temporary folder cannot remove a name that is not UTF-8
        QCOMPARE(thumbnail.has_value(), expected.isValid());
        if (thumbnail)
            QCOMPARE(thumbnail->size(), expected);
    }

    void truncatedJpegDoesNotCrash()
    {
        const QByteArray jpeg = encode(make(9), "jpg");
        TestTree tree;
        // Either a partial picture or nothing; never a crash or a read past the end.
        for (const qsizetype length : {qsizetype(2), qsizetype(200), jpeg.size() / 2})
            ThumbnailLoader::load(tree.file("cut.jpg", jpeg.left(length)), 256);
    }
};

QTEST_GUILESS_MAIN(FeaturePrintTest)
#include "featureprinttest.moc"
