// The helper's wire format: what is sent is what arrives (paths byte for byte, images pixel
// for pixel), and a short, forged or oversized message is refused instead of read past.

#include "readers/readercodec.h"

#include <QTest>

using Status = ReaderResponse::Status;

class ReaderCodecTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestsRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("captured");
        QTest::newRow("plain") << QByteArray("/home/u/Documents/report.pdf") << QString();
        QTest::newRow("not UTF-8") << QByteArray("/home/u/caf\xe9\xff.txt") << QStringLiteral("caf\u00e9");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void requestsRoundTrip()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, captured);
        ReaderRequest request;
        request.task = ReaderTask::pdfPage;
        request.path = path;
        request.kind = FileKind::documents;
        request.size = 5'000'000'000;
        request.package = true;
        request.capturedText = captured;
        request.edge = 1200;
        request.page = 41;
        const auto decoded = ReaderCodec::decodeRequest(ReaderCodec::encode(7, request));
        QVERIFY(decoded);
        QCOMPARE(decoded->id, 7u);
        QVERIFY(decoded->request == request);
    }

    void responsesRoundTrip_data()
    {
        QTest::addColumn<QImage>("image");
        QImage colour(37, 5, QImage::Format_ARGB32_Premultiplied);
        colour.fill(qRgba(10, 20, 30, 255));
        colour.setPixel(36, 4, qRgba(1, 2, 3, 4));
        QImage grey(3, 9, QImage::Format_Grayscale8);
        grey.fill(200);
        QTest::newRow("colour with alpha") << colour;
        QTest::newRow("grey") << grey;
        QTest::newRow("none") << QImage();
    }
    void responsesRoundTrip()
    {
        QFETCH(QImage, image);
        ReaderResponse response = ReaderResponse::withStatus(Status::done, QStringLiteral("partly"));
        response.text = QStringLiteral("Quiet harbour \u00e9vening");
        response.partial = true;
        response.image = image;
        response.facts.camera = QStringLiteral("Canon EOS R6");
        response.facts.duration = 12.5;
        response.pageSizes = { QSizeF(612, 792), QSizeF(595.28, 841.89) };
        const auto decoded = ReaderCodec::decodeResponse(ReaderCodec::encode(9, response));
        QVERIFY(decoded);
        QCOMPARE(decoded->id, 9u);
        const ReaderResponse &back = decoded->response;
        QCOMPARE(back.status, Status::done);
        QCOMPARE(back.text, response.text);
        QCOMPARE(back.error, response.error);
        QCOMPARE(back.facts.camera, response.facts.camera);
        QCOMPARE(back.facts.dimensions, std::optional<QString>());
        QCOMPARE(back.facts.duration, response.facts.duration);
        QCOMPARE(back.pageSizes, response.pageSizes);
        QCOMPARE(back.image.size(), image.size());
        if (!image.isNull())
            QCOMPARE(back.image.convertToFormat(image.format()), image);
    }

    // Every cut of a valid message, and the messages a hostile helper might forge.
    void malformedMessagesAreRefused()
    {
        ReaderResponse response = ReaderResponse::withStatus(Status::done);
        response.image = QImage(4, 4, QImage::Format_RGB32);
        response.pageSizes = { QSizeF(1, 1) };
        const QByteArray valid = ReaderCodec::encode(3, response);
        for (qsizetype length = 0; length < valid.size(); ++length)
            QVERIFY2(!ReaderCodec::decodeResponse(QByteArrayView(valid).first(length)), qPrintable(QString::number(length)));
        QVERIFY(!ReaderCodec::decodeResponse(QByteArray(valid + 'x')));

        QByteArray hugeImage = ReaderCodec::encode(3, ReaderResponse::withStatus(Status::done));
        // Status, text, partial and error precede the image's width and height.
        const qsizetype imageAt = 4 + 1 + 4 + 1 + 1;
        hugeImage.replace(imageAt, 8, QByteArray("\xff\xff\x00\x00\xff\xff\x00\x00", 8));
        QVERIFY(!ReaderCodec::decodeResponse(hugeImage));

        QByteArray unknownStatus = valid;
        unknownStatus[4] = char(99);
        QVERIFY(!ReaderCodec::decodeResponse(unknownStatus));

        ReaderRequest request;
        QByteArray unknownTask = ReaderCodec::encode(1, request);
        unknownTask[4] = char(50);
        QVERIFY(!ReaderCodec::decodeRequest(unknownTask));
    }

    void frameLengths()
    {
        QCOMPARE(ReaderCodec::payloadSize(ReaderCodec::frameHeader(1234)), std::optional<quint32>(1234));
        QCOMPARE(ReaderCodec::payloadSize(ReaderCodec::frameHeader(ReaderCodec::kMaxPayload + 1)), std::nullopt);
        QCOMPARE(ReaderCodec::payloadSize("\x01\x02"), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(ReaderCodecTest)
#include "readercodectest.moc"
