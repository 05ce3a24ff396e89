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

        QTest::newRow("plain") << QByteArray("/home/ada/notes.txt") << QByteArray("file:///home/ada/notes.txt");
        QTest::newRow("root") << QByteArray("/") << QByteArray("file:///");
        QTest::newRow("unreserved kept") << QByteArray("/a-b_c.d~e") << QByteArray("file:///a-b_c.d~e");
        QTest::newRow("blanks") << QByteArray("/my files/a  b ") << QByteArray("file:///my%20files/a%20%20b%20");
        QTest::newRow("percent") << QByteArray("/100%/a%20b") << QByteArray("file:///100%25/a%2520b");
        QTest::newRow("hash") << QByteArray("/tracks/#1.mp3") << QByteArray("file:///tracks/%231.mp3");
        QTest::newRow("question mark") << QByteArray("/why?.txt") << QByteArray("file:///why%3F.txt");
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
    }

    // URLs built by Qt itself (drops, file dialogs) decode to the same bytes.
    void readsUrlsFromQt_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("blanks and percent") << QStringLiteral("/a b/100% sure");
        QTest::newRow("hash and question mark") << QStringLiteral("/#tag?/x");
        QTest::newRow("non-latin") << QStringLiteral("/\u65e5\u672c/\u00e9t\u00e9");
    }

    void readsUrlsFromQt()
    {
        QFETCH(QString, path);
        QCOMPARE(FileUrl::toPath(QUrl::fromLocalFile(path)), path.toUtf8());
    }

    void toPath_data()
    {
        QTest::addColumn<QByteArray>("url");
        QTest::addColumn<bool>("isLocal");
        QTest::addColumn<QByteArray>("path");

        QTest::newRow("localhost") << QByteArray("file://localhost/a%20b") << true << QByteArray("/a b");
        QTest::newRow("upper-case scheme") << QByteArray("FILE:///a") << true << QByteArray("/a");
        QTest::newRow("lower-case hex") << QByteArray("file:///caf%e9") << true << QByteArray("/caf\xe9");
        QTest::newRow("other host") << QByteArray("file://fileserver/share/a") << false << QByteArray();
        QTest::newRow("http") << QByteArray("https://example.org/a") << false << QByteArray();
        QTest::newRow("mailto") << QByteArray("mailto:ada@example.org") << false << QByteArray();
        QTest::newRow("relative") << QByteArray("file:notes.txt") << false << QByteArray();
        QTest::newRow("empty path") << QByteArray("file://") << false << QByteArray();
        QTest::newRow("query") << QByteArray("file:///a?b") << false << QByteArray();
        QTest::newRow("fragment") << QByteArray("file:///a#b") << false << QByteArray();
        QTest::newRow("encoded slash") << QByteArray("file:///etc%2Fpasswd") << false << QByteArray();
        QTest::newRow("encoded NUL") << QByteArray("file:///a%00.txt") << false << QByteArray();
    }

    void toPath()
    {
        QFETCH(QByteArray, url);
        QFETCH(bool, isLocal);
        QFETCH(QByteArray, path);

        const std::optional<QByteArray> result = FileUrl::toPath(QUrl::fromEncoded(url));
        QCOMPARE(result.has_value(), isLocal);
        if (isLocal)
            QCOMPARE(*result, path);
    }
};

QTEST_GUILESS_MAIN(FileUrlTest)
#include "fileurltest.moc"
