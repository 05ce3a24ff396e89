#include "library/filekind.h"

#include <QTest>

class FileKindTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classify_data();
    void classify();
    void fromRawValue_data();
    void fromRawValue();
};

void FileKindTest::classify_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("kind");

    const QString images = QStringLiteral("Images"), archives = QStringLiteral("Archives"),
                  apps = QStringLiteral("Apps"), documents = QStringLiteral("Documents"),
                  other = QStringLiteral("Other");
    QTest::newRow("upper-case extension") << QByteArray("/p/Photo.JPG") << images;
    QTest::newRow("last extension decides") << QByteArray("/p/archive.tar.gz") << archives;
    QTest::newRow("disk image") << QByteArray("/p/Installer.dmg") << archives;
    QTest::newRow("installer package") << QByteArray("/p/Setup.pkg") << archives;
    QTest::newRow("Debian package") << QByteArray("/p/pkg.deb") << archives;
    QTest::newRow("Flatpak reference") << QByteArray("/p/App.flatpakref") << archives;
    QTest::newRow("application bundle") << QByteArray("/p/Tool.app") << apps;
    QTest::newRow("AppImage") << QByteArray("/p/app.AppImage") << apps;
    QTest::newRow("no extension") << QByteArray("/p/README") << other;
    QTest::newRow("dot in a folder name only") << QByteArray("/p/some.folder/README") << other;
    QTest::newRow("leading dot starts the name") << QByteArray("/p/.profile") << other;
    QTest::newRow("leading dot and an extension") << QByteArray("/p/.settings.json") << documents;
    QTest::newRow("trailing dot") << QByteArray("/p/name.") << other;
    QTest::newRow("name that is not UTF-8") << QByteArray("/p/\xff\xfe.png") << images;
    // Outside the fixed lists the shared MIME database decides.
    QTest::newRow("Python source is text") << QByteArray("/p/script.py") << documents;
    QTest::newRow("C source is text") << QByteArray("/p/main.c") << documents;
    QTest::newRow("shell script is text by ancestry") << QByteArray("/p/install.sh") << documents;
    QTest::newRow("icon is an image") << QByteArray("/p/favicon.ico") << images;
    QTest::newRow("Ogg video") << QByteArray("/p/clip.ogv") << QStringLiteral("Videos");
    QTest::newRow("Opus, upper case") << QByteArray("/p/VOICE.OPUS") << QStringLiteral("Music");
    QTest::newRow("EPUB is a zip, not a document") << QByteArray("/p/book.epub") << other;
    QTest::newRow("unknown extension") << QByteArray("/p/data.qqqzzz") << other;
}

void FileKindTest::classify()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, kind);
    QCOMPARE(FileKind::classify(QByteArrayView(path)).rawValue(), kind);
    const QString name = QString::fromUtf8(path);
    QCOMPARE(FileKind::classify(QStringView(name)).rawValue(), kind);
}

void FileKindTest::fromRawValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("Images") << QStringLiteral("Images") << true;
    QTest::newRow("Other") << QStringLiteral("Other") << true;
    QTest::newRow("lower case") << QStringLiteral("images") << false;
    QTest::newRow("upper case") << QStringLiteral("MUSIC") << false;
    QTest::newRow("leading blank") << QStringLiteral(" Videos") << false;
    QTest::newRow("empty") << QString() << false;
}

void FileKindTest::fromRawValue()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto kind = FileKind::fromRawValue(text);
    QCOMPARE(kind.has_value(), valid);
    if (kind)
        QCOMPARE(kind->rawValue(), text);
}

QTEST_GUILESS_MAIN(FileKindTest)
#include "filekindtest.moc"
