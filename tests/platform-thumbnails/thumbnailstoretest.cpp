#include "platform/thumbnails/thumbnailstore.h"

#include "platform/thumbnails/pngtext.h"
#include "support/giothumbnail.h"
#include "support/testtree.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(ThumbnailStore::Size)

namespace {

const Timestamp kModified = Timestamp::fromUnix(1'700'000'000, 250'000'000);

QImage filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

unsigned modeOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

Timestamp modifiedOf(const QByteArray &path)
{
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 ? Timestamp::fromTimespec(status.st_mtim) : Timestamp();
}

QString thumbnailFile(const QByteArray &path, const QString &folder)
{
    return ThumbnailStore::cacheFolder() + u'/' + folder + u'/'
        + QString::fromLatin1(QCryptographicHash::hash(ThumbnailStore::uriOf(path), QCryptographicHash::Md5).toHex())
        + QStringLiteral(".png");
}

} // namespace

class ThumbnailStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void uri_data();
    void uri();
    void writtenThumbnailIsFoundOnlyForSameState();
    void writeKeepsFilesPrivateAndFitsTheSize();
    void thumbnailOfAnotherProgram_data();
    void thumbnailOfAnotherProgram();
    void sizeFolderOrder();
    void failuresAreRecordedPerVersionAndState();
    void glibAcceptsWrittenThumbnails_data();
    void glibAcceptsWrittenThumbnails();
    void thumbnailsWithCompressedKeys_data();
    void thumbnailsWithCompressedKeys();
    void pngText_data();
    void pngText();

private:
    // Writes a PNG as another program would, at the name the standard derives from the URI.
    void plant(const QByteArray &folder, const QByteArray &uri, const QByteArray &mtime, const QImage &image);

    QTemporaryDir m_home;
};

void ThumbnailStoreTest::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
    // GIO answers for local files itself, without the desktop's file system daemons.
    qputenv("GIO_USE_VFS", "local");
}

void ThumbnailStoreTest::init()
{
    QDir(ThumbnailStore::cacheFolder()).removeRecursively();
}

void ThumbnailStoreTest::plant(const QByteArray &folder, const QByteArray &uri, const QByteArray &mtime, const QImage &image)
{
    const QString dir = ThumbnailStore::cacheFolder() + u'/' + QString::fromLatin1(folder);
    QVERIFY(QDir().mkpath(dir));
    const QByteArray name = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png";
    QImage tagged = image;
    if (!uri.isEmpty())
        tagged.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(uri));
    if (!mtime.isEmpty())
        tagged.setText(QStringLiteral("Thumb::MTime"), QString::fromLatin1(mtime));
    QImageWriter writer(dir + u'/' + QString::fromLatin1(name), "png");
    QVERIFY(writer.write(tagged));
}

void ThumbnailStoreTest::uri_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("uri");

    QTest::newRow("plain") << QByteArray("/home/ada/photo.jpg") << QByteArray("file:///home/ada/photo.jpg");
    QTest::newRow("space_and_hash") << QByteArray("/a b/#1.png") << QByteArray("file:///a%20b/%231.png");
    QTest::newRow("sub_delimiters_kept") << QByteArray("/x/(1)+&'!$*,=@:~.png")
                                         << QByteArray("file:///x/(1)+&'!$*,=@:~.png");
    QTest::newRow("query_percent_semicolon") << QByteArray("/x/a?b%c;d") << QByteArray("file:///x/a%3Fb%25c%3Bd");
    QTest::newRow("utf8_name") << QByteArray("/x/\xC3\xA9t\xC3\xA9.jpg") << QByteArray("file:///x/%C3%A9t%C3%A9.jpg");
    QTest::newRow("invalid_utf8_byte") << QByteArray("/x/\xFF.jpg") << QByteArray("file:///x/%FF.jpg");
}

void ThumbnailStoreTest::uri()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, uri);
    QCOMPARE(ThumbnailStore::uriOf(path), uri);
}

void ThumbnailStoreTest::writtenThumbnailIsFoundOnlyForSameState()
{
    const QByteArray path = "/photos/\xFF odd.jpg";
    QVERIFY(ThumbnailStore::write(path, kModified, filled(200, 100, Qt::red), ThumbnailStore::Size::large));

    const QImage found = ThumbnailStore::find(path, kModified, 256);
    QCOMPARE(found.size(), QSize(200, 100));
    QCOMPARE(found.pixelColor(5, 5), QColor(Qt::red));
    // Only whole seconds are recorded, so a change below a second is not seen.
    QVERIFY(!ThumbnailStore::find(path, Timestamp::fromUnix(1'700'000'000), 256).isNull());
    QVERIFY(ThumbnailStore::find(path, Timestamp::fromUnix(1'700'000'001), 256).isNull());
    QVERIFY(ThumbnailStore::find("/photos/other.jpg", kModified, 256).isNull());
}

void ThumbnailStoreTest::writeKeepsFilesPrivateAndFitsTheSize()
{
    const QByteArray path = "/photos/big.jpg";
    QVERIFY(ThumbnailStore::write(path, kModified, filled(2000, 1000, Qt::blue), ThumbnailStore::Size::xLarge));

    const QString folder = ThumbnailStore::cacheFolder() + QStringLiteral("/x-large");
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files.size(), 1); // no temporary file is left beside it
    QCOMPARE(modeOf(ThumbnailStore::cacheFolder()), 0700u);
    QCOMPARE(modeOf(folder), 0700u);
    QCOMPARE(modeOf(folder + u'/' + files.first()), 0600u);
    QCOMPARE(ThumbnailStore::find(path, kModified, 512).size(), QSize(512, 256));
}

void ThumbnailStoreTest::thumbnailOfAnotherProgram_data()
{
    QTest::addColumn<QByteArray>("mtime");
    QTest::addColumn<QByteArray>("recordedUri");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("used");

    const QByteArray uri = "file:///home/jens/photos/me.png";
    QTest::newRow("matching_keys") << QByteArray("1700000000") << uri << QSize(256, 192) << true;
    QTest::newRow("stale_mtime") << QByteArray("1699999999") << uri << QSize(256, 192) << false;
    QTest::newRow("missing_mtime") << QByteArray() << uri << QSize(256, 192) << false;
    QTest::newRow("garbage_mtime") << QByteArray("soon") << uri << QSize(256, 192) << false;
    QTest::newRow("other_uri") << QByteArray("1700000000") << QByteArray("file:///home/jens/photos/you.png")
                               << QSize(256, 192) << false;
    QTest::newRow("larger_than_folder_allows") << QByteArray("1700000000") << uri << QSize(300, 200) << false;
}

void ThumbnailStoreTest::thumbnailOfAnotherProgram()
{
    QFETCH(QByteArray, mtime);
    QFETCH(QByteArray, recordedUri);
    QFETCH(QSize, size);
    QFETCH(bool, used);

    // The name comes from the file's own URI (the example of the freedesktop standard, whose
    // MD5 is c6ee772d9e49320e97ec29a7eb5b1697); the recorded key may disagree with it.
    const QByteArray path = "/home/jens/photos/me.png";
    QCOMPARE(QCryptographicHash::hash(ThumbnailStore::uriOf(path), QCryptographicHash::Md5).toHex(),
        QByteArray("c6ee772d9e49320e97ec29a7eb5b1697"));
    const QString folder = ThumbnailStore::cacheFolder() + QStringLiteral("/large");
    QVERIFY(QDir().mkpath(folder));
    QImage image = filled(size.width(), size.height(), Qt::green);
    image.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(recordedUri));
    if (!mtime.isEmpty())
        image.setText(QStringLiteral("Thumb::MTime"), QString::fromLatin1(mtime));
    QVERIFY(image.save(folder + QStringLiteral("/c6ee772d9e49320e97ec29a7eb5b1697.png"), "png"));

    const QImage found = ThumbnailStore::find(path, Timestamp::fromUnix(1'700'000'000, 999'999'999), 256);
    QCOMPARE(!found.isNull(), used);
}

void ThumbnailStoreTest::sizeFolderOrder()
{
    const QByteArray path = "/p/a.jpg";
    const QByteArray uri = ThumbnailStore::uriOf(path);
    plant("normal", uri, "1700000000", filled(128, 96, Qt::red));
    plant("large", uri, "1700000000", filled(256, 192, Qt::green));
    plant("xx-large", uri, "1700000000", filled(1024, 768, Qt::blue));

    // The smallest folder that is large enough wins; without one, the largest smaller one.
    QCOMPARE(ThumbnailStore::find(path, kModified, 100).width(), 128);
    QCOMPARE(ThumbnailStore::find(path, kModified, 200).width(), 256);
    QCOMPARE(ThumbnailStore::find(path, kModified, 300).width(), 1024);
    QCOMPARE(ThumbnailStore::find(path, kModified, 2000).width(), 1024);
}

void ThumbnailStoreTest::failuresAreRecordedPerVersionAndState()
{
    const QByteArray path = "/p/broken.jpg";
    const QString version = QStringLiteral("0.1.0");
    QVERIFY(!ThumbnailStore::hasFailure(path, kModified, version));
    QVERIFY(ThumbnailStore::writeFailure(path, kModified, version));
    QVERIFY(ThumbnailStore::hasFailure(path, kModified, version));
    QVERIFY(!ThumbnailStore::hasFailure(path, Timestamp::fromUnix(1'800'000'000), version));
    QVERIFY(!ThumbnailStore::hasFailure(path, kModified, QStringLiteral("0.2.0")));
    QVERIFY(QFile::exists(ThumbnailStore::cacheFolder() + QStringLiteral("/fail/tessary-0.1.0")));
    // A failure is not a thumbnail.
    QVERIFY(ThumbnailStore::find(path, kModified, 128).isNull());
}

void ThumbnailStoreTest::glibAcceptsWrittenThumbnails_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<ThumbnailStore::Size>("size");
    QTest::addColumn<QString>("folder");

    const QList<std::pair<const char *, QByteArray>> names {
        { "plain", "photo.jpg" },
        { "percent_encoded_utf8", "caf\xC3\xA9 #1 [50%] ;\xE2\x82\xAC?.jpg" },
        { "not_utf8", "\xE9t\xE9 \xFF.jpg" },
    };
    const QList<std::tuple<const char *, ThumbnailStore::Size, QString>> sizes {
        { "normal", ThumbnailStore::Size::normal, QStringLiteral("normal") },
        { "large", ThumbnailStore::Size::large, QStringLiteral("large") },
        { "x-large", ThumbnailStore::Size::xLarge, QStringLiteral("x-large") },
        { "xx-large", ThumbnailStore::Size::xxLarge, QStringLiteral("xx-large") },
    };
    for (const auto &[nameRow, name] : names)
        for (const auto &[sizeRow, size, folder] : sizes)
            QTest::addRow("%s_%s", nameRow, sizeRow) << name << size << folder;
}

void ThumbnailStoreTest::glibAcceptsWrittenThumbnails()
{
    QFETCH(QByteArray, name);
    QFETCH(ThumbnailStore::Size, size);
    QFETCH(QString, folder);

    TestTree tree;
    const QByteArray path = tree.file(name, QByteArray(1234, 'x'));
    ThumbnailStore::Details details;
    details.fileSize = 1234;
    details.mimeType = "image/jpeg";
    QVERIFY(ThumbnailStore::write(path, modifiedOf(path), filled(1600, 1200, Qt::red), size, details));

    const GioThumbnail answer = GioThumbnail::of(path);
    QCOMPARE(answer.path, QFile::encodeName(thumbnailFile(path, folder)));
    QVERIFY(answer.valid);
    // The same keys once the file changes: GLib sees the thumbnail is stale.
    tree.setModified(name, Timestamp::fromUnix(1'000'000'000));
    QVERIFY(!GioThumbnail::of(path).valid);
}

void ThumbnailStoreTest::thumbnailsWithCompressedKeys_data()
{
    QTest::addColumn<QString>("software");
    QTest::addColumn<qint64>("recordedSeconds"); // 0: the file's own
    QTest::addColumn<bool>("rewritten");

    QTest::newRow("earlier_tessary_rewritten") << QStringLiteral("Tessary") << qint64(0) << true;
    QTest::newRow("another_program_left_alone") << QStringLiteral("Other") << qint64(0) << false;
    QTest::newRow("stale_one_left_alone") << QStringLiteral("Tessary") << qint64(1'000'000'000) << false;
}

void ThumbnailStoreTest::thumbnailsWithCompressedKeys()
{
    QFETCH(QString, software);
    QFETCH(qint64, recordedSeconds);
    QFETCH(bool, rewritten);

    // As Qt writes them: values of 40 characters or more compressed (zTXt).
    TestTree tree;
    const QByteArray path = tree.file("a name long enough for a compressed uri.png", "png");
    const Timestamp modified = modifiedOf(path);
    QImage image = filled(256, 128, Qt::green);
    image.setText(QStringLiteral("Thumb::URI"), QString::fromLatin1(ThumbnailStore::uriOf(path)));
    image.setText(QStringLiteral("Thumb::MTime"),
        QString::number(recordedSeconds != 0 ? recordedSeconds : modified.unixSeconds()));
    image.setText(QStringLiteral("Software"), software);
    const QString file = thumbnailFile(path, QStringLiteral("large"));
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QVERIFY(image.save(file, "png"));
    const QByteArray planted = readAll(file);
    QVERIFY(!planted.contains("tEXtThumb::URI"));
    QVERIFY(!GioThumbnail::of(path).valid);

    QCOMPARE(ThumbnailStore::find(path, modified, 256).isNull(), recordedSeconds != 0);
    QCOMPARE(GioThumbnail::of(path).valid, rewritten);
    QCOMPARE(readAll(file) != planted, rewritten);
    if (rewritten) {
        QCOMPARE(modeOf(file), 0600u);
        const QImage again = ThumbnailStore::find(path, modified, 256);
        QCOMPARE(again.pixelColor(3, 3), QColor(Qt::green));
    }
}

void ThumbnailStoreTest::pngText_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<bool>("intact");

    const QList<PngText::Entry> comment { { "Comment", "kept" } };
    const QByteArray good = PngText::withPlainEntries(pngBytes(filled(4, 4, Qt::blue)), comment);
    const qsizetype ihdrEnd = 8 + 12 + 13;
    QByteArray lengthPastEnd = good;
    lengthPastEnd[ihdrEnd] = '\x7f';
    QTest::newRow("intact") << good << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("signature_only") << good.left(8) << false;
    QTest::newRow("not_a_png") << QByteArray("GIF89a").append(good.mid(6)) << false;
    QTest::newRow("header_chunk_missing") << good.left(8) + good.mid(ihdrEnd) << false;
    QTest::newRow("chunk_length_past_the_end") << lengthPastEnd << false;
    QTest::newRow("cut_before_the_end_chunk") << good.chopped(12) << false;
    QTest::newRow("cut_inside_a_chunk") << good.left(ihdrEnd + 6) << false;
}

void ThumbnailStoreTest::pngText()
{
    QFETCH(QByteArray, png);
    QFETCH(bool, intact);
    const QList<PngText::Entry> keys { { "Thumb::MTime", "1" }, { "Thumb::URI", QByteArray(300, 'u') } };
    const QByteArray rewritten = PngText::withPlainEntries(png, keys);
    const QList<PngText::Entry> comment { { "Comment", "kept" } };
    QCOMPARE(PngText::plainEntries(png), intact ? comment : QList<PngText::Entry>());
    QCOMPARE(rewritten.isEmpty(), !intact);
    if (intact) {
        // Every earlier text chunk gives way to the new ones; the pixels stay.
        QCOMPARE(PngText::plainEntries(rewritten), keys);
        QImage decoded;
        QVERIFY(decoded.loadFromData(rewritten, "png"));
        QCOMPARE(decoded.pixelColor(1, 1), QColor(Qt::blue));
        QCOMPARE(decoded.text(QStringLiteral("Thumb::URI")), QString(300, u'u'));
    }
}

QTEST_GUILESS_MAIN(ThumbnailStoreTest)
#include "thumbnailstoretest.moc"
