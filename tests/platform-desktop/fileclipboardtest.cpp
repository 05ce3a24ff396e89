#include "platform/desktop/fileclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

class FileClipboardTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyFiles_data()
    {
        QTest::addColumn<QByteArrayList>("paths");
        QTest::addColumn<QByteArray>("uriList");
        QTest::addColumn<QByteArray>("copiedFiles");
        QTest::addColumn<QByteArray>("plainText");

        QTest::newRow("one file") << QByteArrayList { "/home/ada/a.txt" } << QByteArray("file:///home/ada/a.txt\r\n")
                                  << QByteArray("copy\nfile:///home/ada/a.txt") << QByteArray("/home/ada/a.txt");
        QTest::newRow("awkward names in the given order")
            << QByteArrayList { "/z/caf\xe9 #1", "/a/100%?", "/m/\xc3\xa9t\xc3\xa9" }
            << QByteArray("file:///z/caf%E9%20%231\r\nfile:///a/100%25%3F\r\nfile:///m/%C3%A9t%C3%A9\r\n")
            << QByteArray("copy\nfile:///z/caf%E9%20%231\nfile:///a/100%25%3F\nfile:///m/%C3%A9t%C3%A9")
            << QByteArray("/z/caf\xe9 #1\n/a/100%?\n/m/\xc3\xa9t\xc3\xa9");
        QTest::newRow("no files") << QByteArrayList() << QByteArray() << QByteArray("copy") << QByteArray();
    }

    void copyFiles()
    {
        QFETCH(QByteArrayList, paths);
        QFETCH(QByteArray, uriList);
        QFETCH(QByteArray, copiedFiles);
        QFETCH(QByteArray, plainText);

        FileClipboard::copyText(QStringLiteral("something else"));
        FileClipboard::copyFiles(paths);
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->data(QStringLiteral("text/uri-list")), uriList);
        QCOMPARE(data->data(QStringLiteral("x-special/gnome-copied-files")), copiedFiles);
        QCOMPARE(data->data(QStringLiteral("x-special/mate-copied-files")), copiedFiles);
        QCOMPARE(data->data(QStringLiteral("text/plain")), plainText);
    }

    void copyTextReplacesFiles()
    {
        FileClipboard::copyFiles({ "/home/ada/a.txt" });
        FileClipboard::copyText(QStringLiteral("/home/ada/\u00e9t\u00e9.txt"));
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->text(), QStringLiteral("/home/ada/\u00e9t\u00e9.txt"));
        QVERIFY(!data->hasFormat(QStringLiteral("text/uri-list")));
        QVERIFY(!data->hasFormat(QStringLiteral("x-special/gnome-copied-files")));
    }
};

QTEST_MAIN(FileClipboardTest)
#include "fileclipboardtest.moc"
