#include "library/filerecord.h"

#include "library/bytecountformatter.h"

#include <QTest>

#include <limits>

class FileRecordTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void derivedProperties_data();
    void derivedProperties();
    void formattedSize_data();
    void formattedSize();
};

void FileRecordTest::derivedProperties_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("source"); // empty: none
    QTest::addColumn<bool>("download");
    QTest::addColumn<bool>("screenshot");
    QTest::addColumn<QString>("sourceName");

    QTest::newRow("in Downloads") << QByteArray("/home/u/Downloads/a.pdf") << QString() << true << false << QString();
    QTest::newRow("below DOWNLOADS") << QByteArray("/home/u/DOWNLOADS/sub/a.pdf") << QString() << true << false
                                     << QString();
    QTest::newRow("folder merely containing the word")
        << QByteArray("/home/u/MyDownloads/a.pdf") << QString() << false << false << QString();
    QTest::newRow("elsewhere with a source")
        << QByteArray("/home/u/a.pdf") << QStringLiteral("files.slack.com") << true << false << QStringLiteral("Slack");
    QTest::newRow("image named Screenshot")
        << QByteArray("/p/IMG Screenshot.PNG") << QString() << false << true << QString();
    QTest::newRow("long s folds to s") << QByteArray("/p/\xc5\xbf" "creenshot.png") << QString() << false << true
                                       << QString();
    QTest::newRow("image named screen shot")
        << QByteArray("/p/screen shot 1.jpg") << QString() << false << true << QString();
    QTest::newRow("video named Screen Shot")
        << QByteArray("/p/Screen Shot 2024.mov") << QString() << false << false << QString();
    QTest::newRow("image in a Screenshots folder")
        << QByteArray("/p/Screenshots/photo.png") << QString() << false << false << QString();
}

void FileRecordTest::derivedProperties()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, source);
    QFETCH(bool, download);
    QFETCH(bool, screenshot);
    QFETCH(QString, sourceName);

    FileRecord record;
    record.path = path;
    record.kind = FileKind::classify(QByteArrayView(path));
    if (!source.isEmpty())
        record.source = source;
    QCOMPARE(record.isDownload(), download);
    QCOMPARE(record.isScreenshot(), screenshot);
    QCOMPARE(record.sourceName().has_value(), !source.isEmpty());
    QCOMPARE(record.sourceName().value_or(QString()), sourceName);
}

void FileRecordTest::formattedSize_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << 0LL << QStringLiteral("Zero KB");
    QTest::newRow("one byte") << 1LL << QStringLiteral("1 byte");
    QTest::newRow("largest byte count") << 999LL << QStringLiteral("999 bytes");
    QTest::newRow("one kilobyte") << 1000LL << QStringLiteral("1 KB");
    QTest::newRow("kilobytes are whole") << 1499LL << QStringLiteral("1 KB");
    QTest::newRow("kilobytes rounding up to a megabyte") << 999500LL << QStringLiteral("1 MB");
    QTest::newRow("one fraction digit for megabytes") << 1200000LL << QStringLiteral("1.2 MB");
    QTest::newRow("megabytes rounding up to a gigabyte") << 999960000LL << QStringLiteral("1 GB");
    QTest::newRow("two fraction digits for gigabytes") << 1230000000LL << QStringLiteral("1.23 GB");
    QTest::newRow("trailing zero dropped") << 1500000000LL << QStringLiteral("1.5 GB");
    QTest::newRow("largest size") << std::numeric_limits<qint64>::max() << QStringLiteral("9.22 EB");
}

void FileRecordTest::formattedSize()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, expected);
    FileRecord record;
    record.size = bytes;
    // CTest runs with LANG unset, which is the C locale.
    QCOMPARE(record.formattedSize(), expected);
    QCOMPARE(ByteCountFormatter::fileStyle(bytes, QLocale::c()), expected);
}

QTEST_GUILESS_MAIN(FileRecordTest)
#include "filerecordtest.moc"
