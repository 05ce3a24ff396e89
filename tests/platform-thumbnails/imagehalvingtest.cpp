#include "platform/thumbnails/imagehalving.h"

#include <QTest>

class ImageHalvingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void halvedWhileCovering_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QSize>("covering");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<QRgb>("topLeft"); // of the result, premultiplied where it has alpha

        // Each 2 x 2 block mixes four values in every channel, so a channel that takes another's
        // bytes, or a sum that spills into its neighbour, shows in the result.
        QImage blocks(4, 2, QImage::Format_RGB32);
        blocks.setPixel(0, 0, qRgb(0, 255, 10));
        blocks.setPixel(1, 0, qRgb(255, 255, 20));
        blocks.setPixel(0, 1, qRgb(255, 255, 30));
        blocks.setPixel(1, 1, qRgb(255, 254, 40));
        blocks.setPixel(2, 0, qRgb(1, 2, 3));
        blocks.setPixel(3, 0, qRgb(1, 2, 3));
        blocks.setPixel(2, 1, qRgb(1, 2, 3));
        blocks.setPixel(3, 1, qRgb(1, 2, 3));
        QTest::newRow("channels averaged apart") << blocks << QSize(1, 1) << QSize(2, 1) << qRgb(191, 255, 25);

        QImage seeThrough(2, 2, QImage::Format_ARGB32);
        seeThrough.fill(qRgba(200, 100, 0, 0));
        seeThrough.setPixel(0, 0, qRgba(200, 100, 40, 255));
        QTest::newRow("transparency premultiplied")
            << seeThrough << QSize(1, 1) << QSize(1, 1) << qRgba(50, 25, 10, 64);

        QImage large(1001, 601, QImage::Format_RGB888);
        large.fill(Qt::darkCyan);
        QTest::newRow("odd sizes, halved while covering")
            << large << QSize(162, 97) << QSize(250, 150) << QColor(Qt::darkCyan).rgb();
        QTest::newRow("one halving would fall short")
            << large << QSize(600, 100) << QSize(1001, 601) << QColor(Qt::darkCyan).rgb();
    }

    void halvedWhileCovering()
    {
        QFETCH(QImage, image);
        QFETCH(QSize, covering);
        QFETCH(QSize, expected);
        QFETCH(QRgb, topLeft);
        const QImage result = ImageHalving::halvedWhileCovering(image, covering);
        QCOMPARE(result.size(), expected);
        QCOMPARE(result.pixel(0, 0), topLeft);
    }
};

QTEST_GUILESS_MAIN(ImageHalvingTest)
#include "imagehalvingtest.moc"
