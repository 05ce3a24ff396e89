#include "platform/thumbnails/thumbnailstore.h"

#include "support/testtree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTest>

#include <gio/gio.h>
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

// The file's thumbnail that GLib itself, as GTK's file chooser and Files ask it, finds valid.
QByteArray validThumbnail(const QByteArray &path)
{
    QByteArray thumbnail;
    GFile *file = g_file_new_for_path(path.constData());
    if (GFileInfo *info = g_file_query_info(file, "thumbnail::*", G_FILE_QUERY_INFO_NONE, nullptr, nullptr)) {
        if (g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_THUMBNAIL_IS_VALID))
            thumbnail = g_file_info_get_attribute_byte_string(info, G_FILE_ATTRIBUTE_THUMBNAIL_PATH);
        g_object_unref(info);
    }
    g_object_unref(file);
    return thumbnail;
}

Timestamp modifiedOf(const QByteArray &path)
{
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 ? Timestamp::fromTimespec(status.st_mtim) : Timestamp();
}

} // namespace

class ThumbnailStoreTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
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

private:
    TestTree m_home;
};

void ThumbnailStoreTest::initTestCase()
{
    m_home.becomeHome();
    // GIO answers for local files itself, without the desktop's file system daemons.
    qputenv("GIO_USE_VFS", "local");
}

void ThumbnailStoreTest::init()
{
    QDir(ThumbnailStore::cacheFolder()).removeRecursively();
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
    QCOMPARE(modeOf(QFile::encodeName(ThumbnailStore::cacheFolder())), 0700);
    QCOMPARE(modeOf(QFile::encodeName(folder)), 0700);
    QCOMPARE(modeOf(QFile::encodeName(folder + u'/' + files.first())), 0600);
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
    m_home.thumbnail(
        "large", ThumbnailStore::uriOf(path), mtime, filled(size.width(), size.height(), Qt::green), recordedUri);

    const QImage found = ThumbnailStore::find(path, Timestamp::fromUnix(1'700'000'000, 999'999'999), 256);
    QCOMPARE(!found.isNull(), used);
}

void ThumbnailStoreTest::sizeFolderOrder()
{
    const QByteArray path = "/p/a.jpg";
    const QByteArray uri = ThumbnailStore::uriOf(path);
    m_home.thumbnail("normal", uri, "1700000000", filled(128, 96, Qt::red));
    m_home.thumbnail("large", uri, "1700000000", filled(256, 192, Qt::green));
    m_home.thumbnail("xx-large", uri, "1700000000", filled(1024, 768, Qt::blue));

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
    QTest::addColumn<QByteArray>("folder");

    const std::pair<const char *, QByteArray> names[] { { "plain", "photo.jpg" },
        { "percent_encoded_utf8", "caf\xC3\xA9 #1 [50%] ;\xE2\x82\xAC?.jpg" }, { "not_utf8", "\xE9t\xE9 \xFF.jpg" },
        { "sub_delimiters_kept", "(1)+&'!$*,=@:~.png" } };
    const std::pair<ThumbnailStore::Size, const char *> sizes[] { { ThumbnailStore::Size::normal, "normal" },
        { ThumbnailStore::Size::large, "large" }, { ThumbnailStore::Size::xLarge, "x-large" },
        { ThumbnailStore::Size::xxLarge, "xx-large" } };
    for (const auto &[row, name] : names)
        for (const auto &[size, folder] : sizes)
            QTest::addRow("%s_%s", row, folder) << name << size << QByteArray(folder);
}

void ThumbnailStoreTest::glibAcceptsWrittenThumbnails()
{
    QFETCH(QByteArray, name);
    QFETCH(ThumbnailStore::Size, size);
    QFETCH(QByteArray, folder);
    TestTree tree;
    const QByteArray path = tree.file(name, QByteArray(1234, 'x'));
    QVERIFY(ThumbnailStore::write(path, modifiedOf(path), filled(1600, 1200, Qt::red), size, { 1234, "image/jpeg" }));

    QVERIFY2(validThumbnail(path).contains(QByteArray('/' + folder + '/')), validThumbnail(path).constData());
    // The file changes: GLib sees the thumbnail no longer fits it.
    tree.setModified(name, Timestamp::fromUnix(1'000'000'000));
    QCOMPARE(validThumbnail(path), QByteArray());
}

void ThumbnailStoreTest::thumbnailsWithCompressedKeys_data()
{
    QTest::addColumn<QString>("software");
    QTest::addColumn<bool>("current");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("earlier_tessary_rewritten") << QStringLiteral("Tessary") << true << true;
    QTest::newRow("another_program_left_alone") << QStringLiteral("Other") << true << false;
    QTest::newRow("stale_one_left_alone") << QStringLiteral("Tessary") << false << false;
}

void ThumbnailStoreTest::thumbnailsWithCompressedKeys()
{
    QFETCH(QString, software);
    QFETCH(bool, current);
    // Qt compresses values of 40 characters or more (zTXt), which GLib does not read.
    TestTree tree;
    const QByteArray path = tree.file("a name long enough for a compressed uri.png", "png");
    const Timestamp modified = modifiedOf(path);
    QImage image = filled(256, 128, Qt::green);
    image.setText(QStringLiteral("Software"), software);
    m_home.thumbnail(
        "large", ThumbnailStore::uriOf(path), QByteArray::number(modified.unixSeconds() - (current ? 0 : 1)), image);
    QCOMPARE(validThumbnail(path), QByteArray());

    QCOMPARE(ThumbnailStore::find(path, modified, 256).isNull(), !current);
    QTEST(!validThumbnail(path).isEmpty(), "rewritten");
    if (current) // the pixels, as they were
        QCOMPARE(ThumbnailStore::find(path, modified, 256).pixelColor(3, 3), QColor(Qt::green));
}

QTEST_GUILESS_MAIN(ThumbnailStoreTest)
#include "thumbnailstoretest.moc"
