// The helper's wire format: what is sent is what arrives (paths byte for byte, images pixel
// for pixel), and a short, forged or oversized message is refused instead of read past.

#include "readers/readercodec.h"

#include "readers/readerreplylimits.h"

#include <QTest>

#include <limits>

using Status = ReaderResponse::Status;

Q_DECLARE_METATYPE(ReaderResponse)

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
        for (const bool withFile : { false, true }) {
            const auto decoded = ReaderCodec::decodeRequest(ReaderCodec::encode(7, request, withFile));
            QVERIFY(decoded);
            QCOMPARE(decoded->id, 7u);
            QVERIFY(decoded->request == request);
            QCOMPARE(decoded->withFile, withFile);
        }
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
        response.frames = { { image, 40 }, { QImage(), 100 } };
        response.confinement = { 2, true, true, false };
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
        QCOMPARE(back.confinement, response.confinement);
        QCOMPARE(back.frames.size(), 2);
        QCOMPARE(back.frames[0].delayMs, 40);
        QCOMPARE(back.frames[0].image.size(), image.size());
        QCOMPARE(back.frames[1].delayMs, 100);
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

    // What an answer may hold, against the request it answers.
    void replyBounds_data()
    {
        QTest::addColumn<int>("task");
        QTest::addColumn<int>("edge");
        QTest::addColumn<ReaderResponse>("response");
        QTest::addColumn<bool>("accepted");

        const auto picture = [](int width, int height) {
            ReaderResponse response = ReaderResponse::withStatus(Status::done);
            response.image = QImage(width, height, QImage::Format_RGB32);
            return response;
        };
        const auto frames = [](int count, int side) {
            ReaderResponse response = ReaderResponse::withStatus(Status::done);
            for (int i = 0; i < count; ++i)
                response.frames.append({ QImage(side, side, QImage::Format_ARGB32_Premultiplied), 100 });
            return response;
        };
        const auto text = [](const QString &value) {
            ReaderResponse response = ReaderResponse::withStatus(Status::done);
            response.text = value;
            return response;
        };
        const auto pages = [](QList<QSizeF> sizes) {
            ReaderResponse response = ReaderResponse::withStatus(Status::done);
            response.pageSizes = std::move(sizes);
            return response;
        };
        const int thumbnail = int(ReaderTask::thumbnail);
        const int pdfPage = int(ReaderTask::pdfPage);
        const int preview = int(ReaderTask::image);
        const int textTask = int(ReaderTask::text);
        const int pageSizes = int(ReaderTask::pdfPages);
        const qsizetype limit = ReaderReplyLimits::kTextCharacters;
        // An "e" and a combining acute accent: one character of two code units.
        const QString accented = QStringLiteral("e\u0301");

        QTest::newRow("thumbnail within its edge") << thumbnail << 256 << picture(256, 100) << true;
        QTest::newRow("thumbnail past its edge") << thumbnail << 256 << picture(257, 100) << false;
        QTest::newRow("page as wide as asked, tall") << pdfPage << 600 << picture(600, 6000) << true;
        QTest::newRow("page wider than asked") << pdfPage << 600 << picture(601, 800) << false;
        QTest::newRow("picture where none was asked") << textTask << 0 << picture(1, 1) << false;
        QTest::newRow("frames within the edge") << preview << 64 << frames(3, 64) << true;
        QTest::newRow("a frame past the edge") << preview << 64 << frames(1, 65) << false;
        QTest::newRow("frames past their budget") << preview << 2048 << frames(4, 2048) << false;
        QTest::newRow("text of the most characters") << textTask << 0 << text(QString(limit, u'a')) << true;
        QTest::newRow("text of one character more") << textTask << 0 << text(QString(limit + 1, u'a')) << false;
        QTest::newRow("long text of few characters") << textTask << 0 << text(accented.repeated(limit)) << true;
        QTest::newRow("letter and A4 pages") << pageSizes << 0 << pages({ QSizeF(612, 792), QSizeF(595, 842) }) << true;
        QTest::newRow("page of no width") << pageSizes << 0 << pages({ QSizeF(0, 792) }) << false;
        QTest::newRow("page of no number")
            << pageSizes << 0 << pages({ QSizeF(std::numeric_limits<double>::quiet_NaN(), 792) }) << false;
        QTest::newRow("too many pages") << pageSizes << 0
                                        << pages(QList<QSizeF>(ReaderReplyLimits::kPdfPages + 1, QSizeF(612, 792)))
                                        << false;
    }
    void replyBounds()
    {
        QFETCH(int, task);
        QFETCH(int, edge);
        QFETCH(ReaderResponse, response);
        QFETCH(bool, accepted);
        ReaderRequest request;
        request.task = ReaderTask(task);
        request.edge = edge;
        QCOMPARE(ReaderReplyLimits::accepts(request, response), accepted);
        // Whatever is accepted also fits the payload the request allows.
        if (accepted)
            QVERIFY(quint32(ReaderCodec::encode(1, response).size()) <= ReaderReplyLimits::payloadCap(request));
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
