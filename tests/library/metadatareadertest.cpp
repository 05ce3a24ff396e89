#include "library/metadatareader.h"

#include "library/filemetadata.h"
#include "support/testtree.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/xattr.h>

class MetadataReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void attributes_data();
    void attributes();
    void lastUsedFromRecentFiles();
    void hugeAttributesIgnored();

private:
    TestTree m_home;
};

void MetadataReaderTest::initTestCase()
{
    m_home.becomeHome();
}

void MetadataReaderTest::attributes_data()
{
    QTest::addColumn<QByteArray>("origin"); // empty: attribute not set
    QTest::addColumn<QByteArray>("referrer"); // empty: attribute not set
    QTest::addColumn<QByteArray>("tags"); // empty: attribute not set
    QTest::addColumn<QString>("source"); // empty: none
    QTest::addColumn<QStringList>("tagList");

    QTest::newRow("origin before referrer")
        << QByteArray("https://cdn.example.com/a.zip") << QByteArray("https://example.org/") << QByteArray()
        << QStringLiteral("cdn.example.com") << QStringList();
    QTest::newRow("origin that is not a URL") << QByteArray("not a link") << QByteArray("https://example.org/")
                                              << QByteArray() << QStringLiteral("example.org") << QStringList();
    QTest::newRow("origin without a scheme or host")
        << QByteArray("example.com/a.zip") << QByteArray("mailto:x@example.net") << QByteArray() << QString()
        << QStringList();
    QTest::newRow("referrer alone, host lower-cased")
        << QByteArray() << QByteArray("https://user:pw@Files.Slack.COM:8443/x") << QByteArray()
        << QStringLiteral("files.slack.com") << QStringList();
    QTest::newRow("tags with empty pieces") << QByteArray() << QByteArray() << QByteArray(",Red,,Work,") << QString()
                                            << QStringList { QStringLiteral("Red"), QStringLiteral("Work") };
    QTest::newRow("UTF-8 tag") << QByteArray() << QByteArray()
                               << QByteArray("\xc3\x9c"
                                             "ber")
                               << QString() << QStringList { QStringLiteral("\u00dcber") };
}

void MetadataReaderTest::attributes()
{
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, referrer);
    QFETCH(QByteArray, tags);
    QFETCH(QString, source);
    QFETCH(QStringList, tagList);

    TestTree tree;
    const QByteArray path = tree.file("a.zip", "zip");
    for (const auto &[name, value] : { std::pair { "user.xdg.origin.url", origin },
             std::pair { "user.xdg.referrer.url", referrer }, std::pair { "user.xdg.tags", tags } }) {
        if (!value.isEmpty() && !tree.setAttribute("a.zip", name, value))
            QSKIP("the temporary folder's file system has no user extended attributes");
    }
    const MetadataReader::Attributes attributes = MetadataReader::load().readAttributes(path);
    QCOMPARE(attributes.source.value_or(QString()), source);
    QCOMPARE(attributes.tags, tagList);
    QCOMPARE(FileMetadata::read(path).source, attributes.source);
}

void MetadataReaderTest::lastUsedFromRecentFiles()
{
    TestTree tree;
    const QByteArray used = tree.file("used \xff.txt");
    const QByteArray unused = tree.file("unused.txt");
    m_home.file("data/recently-used.xbel",
        "<xbel version=\"1.0\"><bookmark href=\"file://" + used.toPercentEncoding("/")
            + "\" modified=\"2024-05-02T08:00:00.5Z\" visited=\"2024-05-01T09:00:00Z\"/></xbel>\n");

    QCOMPARE(FileMetadata::read(used).lastUsed, Timestamp::fromIsoString(u"2024-05-02T08:00:00.5Z"));
    QVERIFY(!FileMetadata::read(unused).lastUsed.has_value());
}

void MetadataReaderTest::hugeAttributesIgnored()
{
    // ext4 keeps one block of attributes per file; tmpfs takes values beyond the read bound.
    QTemporaryDir shm(QStringLiteral("/dev/shm/tessary-test-XXXXXX"));
    const QByteArray path = QFile::encodeName(shm.path()) + "/big.txt";
    QFile file(QFile::decodeName(path));
    const QByteArray huge = "https://huge.example/" + QByteArray(32768, 'x');
    if (!shm.isValid() || !file.open(QIODevice::WriteOnly)
        || ::setxattr(path.constData(), "user.xdg.origin.url", huge.constData(), size_t(huge.size()), 0) != 0
        || ::setxattr(path.constData(), "user.xdg.tags", huge.constData(), size_t(huge.size()), 0) != 0)
        QSKIP("no file system here takes an attribute larger than the read bound");
    ::setxattr(path.constData(), "user.xdg.referrer.url", "https://small.example/", 22, 0);

    const MetadataReader::Attributes attributes = MetadataReader::load().readAttributes(path);
    QCOMPARE(attributes.source.value_or(QString()), QStringLiteral("small.example"));
    QVERIFY(attributes.tags.isEmpty());
}

QTEST_GUILESS_MAIN(MetadataReaderTest)
#include "metadatareadertest.moc"
