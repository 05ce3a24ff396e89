#include "library/localfileaccess.h"

#include "samplefiles.h"
#include "support/testtree.h"

#include <QTest>

class LocalFileAccessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void canReadContents_data();
    void canReadContents();
};

void LocalFileAccessTest::canReadContents_data()
{
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("readable");

    QTest::newRow("regular file") << QByteArray("file") << QByteArray("a.pdf") << true;
    QTest::newRow("symbolic link to a file") << QByteArray("link") << QByteArray("a.pdf") << false;
    QTest::newRow("folder") << QByteArray("folder") << QByteArray("a.pdf") << false;
    QTest::newRow("missing") << QByteArray("none") << QByteArray("a.pdf") << false;
    QTest::newRow("NAME.nextcloud without NAME") << QByteArray("file") << QByteArray("a.pdf.nextcloud") << false;
    QTest::newRow("NAME.nextcloud beside NAME") << QByteArray("besideReal") << QByteArray("a.pdf.nextcloud") << true;
    QTest::newRow("NAME.owncloud without NAME") << QByteArray("file") << QByteArray("a.pdf.owncloud") << false;
    QTest::newRow("file named just .nextcloud") << QByteArray("file") << QByteArray(".nextcloud") << true;
    QTest::newRow("OpenVFS dehydrated") << QByteArray("dehydrated") << QByteArray("a.pdf") << false;
    QTest::newRow("OpenVFS hydrated") << QByteArray("hydrated") << QByteArray("a.pdf") << true;
    QTest::newRow("OpenVFS data malformed") << QByteArray("malformed") << QByteArray("a.pdf") << true;
}

void LocalFileAccessTest::canReadContents()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, name);
    QFETCH(bool, readable);

    TestTree tree;
    const QByteArray path = tree.path(name);
    if (setup == "link") {
        tree.symlink(name, tree.file("target.pdf", "%PDF"));
    } else if (setup == "folder") {
        tree.folder(name);
    } else if (setup != "none") {
        tree.file(name, "%PDF");
        if (setup == "besideReal")
            tree.file("a.pdf", "%PDF");
        const QByteArray data = setup == "dehydrated" ? SampleFiles::openVfsData(1, 7340032)
            : setup == "hydrated"                     ? SampleFiles::openVfsData(0, 4)
            : setup == "malformed"                    ? SampleFiles::openVfsData(1, 7340032).left(9)
                                                      : QByteArray();
        if (!data.isEmpty() && !tree.setAttribute(name, "user.openvfs.data", data))
            QSKIP("the temporary folder's file system has no user extended attributes");
    }

    QCOMPARE(LocalFileAccess::canReadContents(path), readable);
    const LocalFileAccess::CloudState cloud = LocalFileAccess::cloudState(path, { "user.openvfs.data" });
    QCOMPARE(cloud.logicalSize.value_or(-1), setup == "dehydrated" ? 7340032 : -1);
}

QTEST_GUILESS_MAIN(LocalFileAccessTest)
#include "localfileaccesstest.moc"
