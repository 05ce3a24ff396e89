#include "platform/fileurl.h"

#include <QTest>

class FileUrlTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("root") << QByteArray("/") << QByteArray("file:///");
        QTest::newRow("unreserved kept, blanks encoded")
            << QByteArray("/a-b_c.d~e f") << QByteArray("file:///a-b_c.d~e%20f");
        QTest::newRow("percent") << QByteArray("/100%/a%20b") << QByteArray("file:///100%25/a%2520b");
        QTest::newRow("hash and question mark") << QByteArray("/#1?.mp3") << QByteArray("file:///%231%3F.mp3");
        QTest::newRow("reserved mix") << QByteArray("/a;b=c&d+e@f:g,h[i]")
                                      << QByteArray("file:///a%3Bb%3Dc%26d%2Be%40f%3Ag%2Ch%5Bi%5D");
        QTest::newRow("utf-8") << QByteArray("/caf\xc3\xa9") << QByteArray("file:///caf%C3%A9");
        QTest::newRow("latin-1 byte, not utf-8") << QByteArray("/caf\xe9/x") << QByteArray("file:///caf%E9/x");
        QTest::newRow("control characters") << QByteArray("/a\nb\tc") << QByteArray("file:///a%0Ab%09c");
    }

    void roundTrip()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, expected);
        QCOMPARE(FileUrl::encoded(path), expected);
        const QUrl url = FileUrl::fromPath(path);
        QVERIFY2(url.isValid(), qPrintable(url.errorString()));
        QCOMPARE(url.toEncoded(), expected);
        QCOMPARE(FileUrl::toPath(url), path);
        // URLs that Qt builds itself (drops, file dialogs) read back the same.
        if (path.isValidUtf8())
            QCOMPARE(FileUrl::toPath(QUrl::fromLocalFile(QString::fromUtf8(path))), path);
    }

    void toPath_data()
    {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<std::optional<QByteArray>>("path");

        const std::optional<QByteArray> none;
        QTest::newRow("localhost") << QByteArray("file://localhost/a%20b") << std::optional<QByteArray>("/a b");
        QTest::newRow("lower-case hex") << QByteArray("file:///caf%e9") << std::optional<QByteArray>("/caf\xe9");
        QTest::newRow("other host") << QByteArray("file://fileserver/share/a") << none;
        QTest::newRow("http") << QByteArray("https://example.org/a") << none;
        QTest::newRow("relative") << QByteArray("file:notes.txt") << none;
        QTest::newRow("empty path") << QByteArray("file://") << none;
        QTest::newRow("query") << QByteArray("file:///a?b") << none;
        QTest::newRow("fragment") << QByteArray("file:///a#b") << none;
        QTest::newRow("encoded slash") << QByteArray("file:///etc%2Fpasswd") << none;
        QTest::newRow("encoded NUL") << QByteArray("file:///a%00.txt") << none;
    }

    void toPath()
    {
        QFETCH(QByteArray, url);
        QTEST(FileUrl::toPath(QUrl::fromEncoded(url)), "path");
    }
};

QTEST_GUILESS_MAIN(FileUrlTest)
#include "fileurltest.moc"
