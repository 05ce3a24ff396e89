#include "library/fileidentity.h"

#include "support/testtree.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class FileIdentityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void afterChange_data();
    void afterChange();
    void matchesLstat();
};

void FileIdentityTest::afterChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("expected"); // "same", "different" or "absent"

    QTest::newRow("renamed in its folder") << QStringLiteral("rename") << QStringLiteral("same");
    QTest::newRow("copied") << QStringLiteral("copy") << QStringLiteral("different");
    QTest::newRow("symbolic link to it") << QStringLiteral("symlink") << QStringLiteral("absent");
    QTest::newRow("deleted") << QStringLiteral("delete") << QStringLiteral("absent");
}

void FileIdentityTest::afterChange()
{
    QFETCH(QString, change);
    QFETCH(QString, expected);

    TestTree tree;
    const QByteArray original = tree.file("a.txt", "contents");
    const auto before = FileIdentity::read(original);
    QVERIFY(before.has_value());
    QByteArray after = tree.path("b.txt");
    if (change == u"rename")
        QCOMPARE(::rename(original.constData(), after.constData()), 0);
    else if (change == u"copy")
        QVERIFY(QFile::copy(QFile::decodeName(original), QFile::decodeName(after)));
    else if (change == u"symlink")
        tree.symlink("b.txt", original);
    else
        QCOMPARE(::unlink((after = original).constData()), 0);

    const auto now = FileIdentity::read(after);
    QCOMPARE(now.has_value(), expected != u"absent");
    if (now)
        QCOMPARE(now == before, expected == u"same");
}

void FileIdentityTest::matchesLstat()
{
    TestTree tree;
    for (const QByteArray &path : { tree.file("f"), tree.folder("d") }) {
        struct stat st
        {
        };
        QCOMPARE(::lstat(path.constData(), &st), 0);
        const QString expected = QString::number(quint64(st.st_dev)) + u':' + QString::number(quint64(st.st_ino));
        QCOMPARE(FileIdentity::read(path).value_or(QString()), expected);
    }
    // Device numbers with the top bit set stay positive.
    QCOMPARE(FileIdentity::fingerprint(dev_t(0x80000001u), 42), QStringLiteral("2147483649:42"));
    // And read back exactly; anything else is no fingerprint.
    const auto parts = FileIdentity::parse(FileIdentity::fingerprint(dev_t(0xFFFFFFFFFFFFFFFFu), 42));
    QVERIFY(parts && parts->device == dev_t(0xFFFFFFFFFFFFFFFFu) && parts->inode == 42);
    for (const char *text : { "", "12", "12:", ":7", "a:7", "12:7x" })
        QVERIFY2(!FileIdentity::parse(QString::fromLatin1(text)), text);
}

QTEST_GUILESS_MAIN(FileIdentityTest)
#include "fileidentitytest.moc"
