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

        QTest::newRow("awkward names in the given order")
            << QByteArrayList { "/z/caf\xe9 #1", "/a/100%?", "/m/\xc3\xa9t\xc3\xa9" }
            << QByteArray("file:///z/caf%E9%20%231\r\nfile:///a/100%25%3F\r\nfile:///m/%C3%A9t%C3%A9\r\n")
            << QByteArray("copy\nfile:///z/caf%E9%20%231\nfile:///a/100%25%3F\nfile:///m/%C3%A9t%C3%A9");
        QTest::newRow("no files") << QByteArrayList() << QByteArray() << QByteArray("copy");
    }

    void copyFiles()
    {
        QFETCH(QByteArrayList, paths);
        FileClipboard::copyText(QStringLiteral("something else"));
        FileClipboard::copyFiles(paths);
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QTEST(data->data(QStringLiteral("text/uri-list")), "uriList");
        QTEST(data->data(QStringLiteral("x-special/gnome-copied-files")), "copiedFiles");
        QTEST(data->data(QStringLiteral("x-special/mate-copied-files")), "copiedFiles");
        // Plain text holds the path bytes themselves, one per line.
        QCOMPARE(data->data(QStringLiteral("text/plain")), paths.join('\n'));
    }
};

QTEST_MAIN(FileClipboardTest)
#include "fileclipboardtest.moc"
