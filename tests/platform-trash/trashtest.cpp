#include "platform/trash.h"

#include "platform/filemove.h"
#include "platform/mounttable.h"
#include "support/testtree.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool exists(const QByteArray &path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0;
}

Trash::Expected entryOf(const QByteArray &path)
{
    struct stat st = {};
    ::lstat(path.constData(), &st);
    return { st.st_dev, st.st_ino };
}

// A tmpfs mounted on a folder of the tree for the test's lifetime; needs root.
class ScratchMount
{
public:
    explicit ScratchMount(const QByteArray &point)
        : m_point(point)
    {
        m_mounted = ::mount("tmpfs", point.constData(), "tmpfs", 0, "size=8m") == 0;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(m_point.constData(), MNT_DETACH);
    }
    bool isMounted() const { return m_mounted; }

private:
    QByteArray m_point;
    bool m_mounted = false;
};

} // namespace

class TrashTest : public QObject
{
    Q_OBJECT

    TestTree m_home;

    QByteArray homeTrash() const { return m_home.path("data/Trash"); }

    QProcess *trashCli(const QString &program, const QStringList &arguments, const QByteArray &workingDirectory)
    {
        auto *process = new QProcess(this);
        process->setWorkingDirectory(QFile::decodeName(workingDirectory));
        process->start(program, arguments);
        return process;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_home.becomeHome();
    }

    void trashesAndTrashCliRestores_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("report.pdf");
        QTest::newRow("spaces-and-accents") << QByteArray("Café menu & prices 100%.txt");
        QTest::newRow("hidden") << QByteArray(".notes");
    }

    void trashesAndTrashCliRestores()
    {
        QFETCH(QByteArray, name);
        if (QStandardPaths::findExecutable(QStringLiteral("trash-list")).isEmpty())
            QSKIP("trash-cli is not installed");
        TestTree tree;
        const QByteArray contents = QByteArray("exact bytes \0\xff\n", 15) + name;
        const QByteArray path = tree.file("folder/" + name, contents);
        const Trash::Result result = Trash::moveToTrash(path, entryOf(path));
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(!exists(path));
        QCOMPARE(result.trashedPath, homeTrash() + "/files/" + name);
        QCOMPARE(readFile(result.trashedPath), contents);
        const QByteArray info = readFile(result.infoPath);
        QVERIFY(info.startsWith(QByteArray("[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate=")));

        QProcess *list = trashCli(QStringLiteral("trash-list"), {}, tree.root());
        QVERIFY(list->waitForFinished(30'000));
        QVERIFY2(list->readAllStandardOutput().contains(path), "trash-list does not show the file");

        QProcess *restore
            = trashCli(QStringLiteral("trash-restore"), { QFile::decodeName(tree.path("folder")) }, tree.root());
        restore->write("0\n");
        restore->closeWriteChannel();
        QVERIFY(restore->waitForFinished(30'000));
        QCOMPARE(readFile(path), contents);
        QVERIFY(!exists(result.infoPath));
    }

    void pathBytesAreKeptExactly()
    {
        TestTree tree;
        const QByteArray name = "not-utf8-\xff\xfe.bin";
        const QByteArray path = tree.file(name, "x");
        const Trash::Result result = Trash::moveToTrash(path);
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(readFile(result.infoPath).contains(QByteArray("Path=" + path.toPercentEncoding("/") + '\n')));
        QVERIFY(readFile(result.infoPath).contains("not-utf8-%FF%FE.bin"));
        QCOMPARE(readFile(result.trashedPath), QByteArray("x"));
    }

    void namesAreNeverReused()
    {
        TestTree tree;
        QVERIFY(Trash::moveToTrash(tree.file("a/same.txt", "first")).ok);
        // A stray entry without an info file must not be replaced either.
        writeFile(homeTrash() + "/files/same.2.txt", {});
        const Trash::Result second = Trash::moveToTrash(tree.file("b/same.txt", "second"));
        QVERIFY(second.ok);
        QCOMPARE(second.trashedPath, homeTrash() + "/files/same.3.txt");
        QCOMPARE(readFile(homeTrash() + "/files/same.txt"), QByteArray("first"));
        QCOMPARE(readFile(second.trashedPath), QByteArray("second"));
        QVERIFY(readFile(homeTrash() + "/info/same.txt.trashinfo").contains("/a/same.txt\n"));
    }

    void swappedEntryIsNotTrashed()
    {
        TestTree tree;
        const QByteArray path = tree.file("photo.jpg", "original");
        const Trash::Expected scanned = entryOf(path);
        QCOMPARE(::rename(tree.file("copy", "original").constData(), path.constData()), 0);
        const Trash::Result result = Trash::moveToTrash(path, scanned);
        QVERIFY(!result.ok);
        QVERIFY(exists(path));
    }

    void candidateNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("first-try") << QByteArray("a.txt") << 1 << QByteArray("a.txt");
        QTest::newRow("counter-before-extension") << QByteArray("a.txt") << 2 << QByteArray("a.2.txt");
        QTest::newRow("hidden-without-extension") << QByteArray(".bashrc") << 3 << QByteArray(".bashrc.3");
        QTest::newRow("long-name-fits-with-info-suffix") << QByteArray(255, 'x') << 1 << QByteArray(245, 'x');
        // 239 bytes are left for the stem, which would split the 120th two-byte character.
        QTest::newRow("long-name-cut-on-character")
            << QByteArray("é").repeated(122) + "x.txt" << 2 << QByteArray("é").repeated(119) + ".2.txt";
    }

    void candidateNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, attempt);
        QFETCH(QByteArray, expected);
        QCOMPARE(Trash::candidateName(name, attempt), expected);
    }

    void mountPointsContainPathsOnlyAtSlashes_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("mount");
        QTest::newRow("inside") << QByteArray("/mnt/a/x") << QByteArray("/mnt/a");
        QTest::newRow("prefix-is-not-parent") << QByteArray("/mnt/ab/x") << QByteArray("/");
        QTest::newRow("escaped-space") << QByteArray("/mnt/a b/x") << QByteArray("/mnt/a b");
        QTest::newRow("the-mount-itself") << QByteArray("/home") << QByteArray("/home");
    }

    void mountPointsContainPathsOnlyAtSlashes()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, mount);
        TestTree tree;
        tree.file("mountinfo",
            "22 1 0:21 / / rw - ext4 /dev/vda rw\n"
            "30 22 0:30 / /mnt/a rw - tmpfs tmpfs rw\n"
            "31 22 0:31 / /mnt/a\\040b rw - tmpfs tmpfs rw\n"
            "32 22 0:32 / /home rw - ext4 /dev/vdb rw\n");
        QCOMPARE(MountTable::longestContaining(path, MountTable::mountPoints(tree.path("mountinfo"))), mount);
    }

    void otherMountUsesItsOwnTrash_data()
    {
        QTest::addColumn<QByteArray>("prepared");
        QTest::addColumn<QByteArray>("trashFolder");
        const QByteArray uid = QByteArray::number(::getuid());
        QTest::newRow("per-user-folder") << QByteArray() << ".Trash-" + uid;
        QTest::newRow("shared-sticky-folder") << QByteArray("sticky") << ".Trash/" + uid;
        QTest::newRow("shared-folder-without-sticky-bit") << QByteArray("plain") << ".Trash-" + uid;
        QTest::newRow("shared-folder-is-a-link") << QByteArray("link") << ".Trash-" + uid;
    }

    void otherMountUsesItsOwnTrash()
    {
        QFETCH(QByteArray, prepared);
        QFETCH(QByteArray, trashFolder);
        TestTree tree;
        ScratchMount mount(tree.folder("mnt"));
        if (!mount.isMounted())
            QSKIP("cannot mount a tmpfs here (needs root and mount permission)");
        if (prepared == "sticky" || prepared == "plain") {
            tree.folder("mnt/.Trash");
            tree.setMode("mnt/.Trash", prepared == "sticky" ? 01777 : 0777);
        } else if (prepared == "link") {
            tree.symlink("mnt/.Trash", tree.folder("elsewhere"));
        }
        const QByteArray path = tree.file("mnt/photos/a.jpg", "on another file system");
        const Trash::Result result = Trash::moveToTrash(path, entryOf(path));
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.trashedPath, tree.path("mnt/" + trashFolder + "/files/a.jpg"));
        QVERIFY(readFile(result.infoPath).contains("\nPath=photos/a.jpg\n"));
        QVERIFY(!exists(homeTrash() + "/files/a.jpg"));
    }

    // Where no trash can be made on the file's own file system, the file stays: never a copy.
    void readOnlyMountKeepsTheFile()
    {
        TestTree tree;
        ScratchMount mount(tree.folder("mnt"));
        if (!mount.isMounted())
            QSKIP("cannot mount a tmpfs here (needs root and mount permission)");
        const QByteArray path = tree.file("mnt/a.jpg", "stays");
        QCOMPARE(::mount(nullptr, tree.path("mnt").constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
        const Trash::Result result = Trash::moveToTrash(path);
        QVERIFY(!result.ok);
        QCOMPARE(readFile(path), QByteArray("stays"));
        QVERIFY(!exists(homeTrash() + "/files/a.jpg"));
    }

    void noReplaceMoveNeverOverwrites()
    {
        TestTree tree;
        const QByteArray from = tree.file("from", "mine");
        const QByteArray to = tree.file("to", "theirs");
        QCOMPARE(FileMove::renameNoReplace(from, to).outcome, FileMove::Outcome::destinationExists);
        QCOMPARE(readFile(from), QByteArray("mine"));
        QCOMPARE(readFile(to), QByteArray("theirs"));
        QVERIFY(FileMove::renameNoReplace(from, tree.path("free")).ok());
    }
};

QTEST_GUILESS_MAIN(TrashTest)
#include "trashtest.moc"
