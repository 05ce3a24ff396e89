#include "library/libraryscanner.h"

#include "library/fileidentity.h"
#include "readers/contentreaders.h"
#include "samplefiles.h"
#include "support/testtree.h"

#include <QFile>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

// Scans that read camera, pixel size and duration, through the reader helpers as the
// application's scans do.
ScanOptions withContents()
{
    ScanOptions options;
    options.readContents = &ContentReaders::mediaFacts;
    return options;
}

// Builds a tree from entries written as "a/b.txt" (a file), "a/b.txt=text" (a file with
// contents), "a/" (a folder), "a/link -> target" (a symbolic link) or "a/pipe |" (a FIFO).
void build(TestTree &tree, const QByteArrayList &entries)
{
    for (const QByteArray &entry : entries) {
        if (const qsizetype arrow = entry.indexOf(" -> "); arrow > 0) {
            tree.symlink(entry.left(arrow), entry.mid(arrow + 4));
        } else if (entry.endsWith(" |")) {
            tree.fifo(entry.chopped(2));
        } else if (entry.endsWith('/')) {
            tree.folder(entry.chopped(1));
        } else if (const qsizetype equals = entry.indexOf('='); equals > 0) {
            tree.file(entry.left(equals), entry.mid(equals + 1));
        } else {
            tree.file(entry, "x");
        }
    }
}

// The records' paths relative to the tree, in discovery order.
QByteArrayList relativePaths(const TestTree &tree, const ScanResult &result)
{
    QByteArrayList paths;
    for (const FileRecord &record : result.files)
        paths.append(record.path.mid(tree.root().size() + 1));
    return paths;
}

QByteArrayList sorted(QByteArrayList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

const FileRecord *recordAt(const ScanResult &result, const QByteArray &path)
{
    for (const FileRecord &record : result.files) {
        if (record.path == path)
            return &record;
    }
    return nullptr;
}

} // namespace

class LibraryScannerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void walkRules_data();
    void walkRules();
    void depthFirstOrder();
    void limit_data();
    void limit();
    void applicationBundle();
    void unreadableSubfolder();
    void recordFields();
    void cloudPlaceholders();
    void cancelledBeforeStart();
    void metadataReuse_data();
    void metadataReuse();
    void rescan_data();
    void rescan();

private:
    TestTree m_home;
};

void LibraryScannerTest::initTestCase()
{
    m_home.becomeHome();
}

void LibraryScannerTest::walkRules_data()
{
    QTest::addColumn<QByteArrayList>("entries");
    QTest::addColumn<QByteArrayList>("roots");
    QTest::addColumn<QByteArrayList>("expected"); // sorted
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("errors");

    const QByteArrayList r = { "r" };
    QTest::newRow("symbolic link to a folder")
        << QByteArrayList { "big/1.txt", "big/2.txt", "r/a.txt", "r/big -> ../big" } << r
        << QByteArrayList { "r/a.txt" } << 1 << 0;
    QTest::newRow("symbolic link loops and a dangling link")
        << QByteArrayList { "r/a.txt", "r/s/up -> ..", "r/self -> self", "r/gone -> nowhere", "r/empty/" } << r
        << QByteArrayList { "r/a.txt" } << 3 << 0;
    QTest::newRow("symbolic link named like a bundle") << QByteArrayList { "r/Real.app/bin", "r/Link.app -> Real.app" }
                                                       << r << QByteArrayList { "r/Real.app" } << 1 << 0;
    const QByteArrayList dotted = { "r/.git/config", "r/.directory", "r/.cache/sub/x.txt", "r/shown.txt" };
    QTest::newRow("leading-dot names") << dotted << r << QByteArrayList { "r/shown.txt" } << 0 << 0;
    QTest::newRow("names listed in .hidden")
        << QByteArrayList { "r/.hidden=secret.txt\nprivate\n\n", "r/secret.txt", "r/private/x.txt", "r/shown.txt" } << r
        << QByteArrayList { "r/shown.txt" } << 0 << 0;
    QTest::newRow(".hidden applies to its own folder")
        << QByteArrayList { "r/sub/.hidden=a.txt", "r/a.txt", "r/sub/a.txt", "r/sub/b.txt" } << r
        << QByteArrayList { "r/a.txt", "r/sub/b.txt" } << 0 << 0;
    QTest::newRow("FIFO ignored without counts")
        << QByteArrayList { "r/pipe |", "r/a.txt" } << r << QByteArrayList { "r/a.txt" } << 0 << 0;
    QTest::newRow("missing root") << QByteArrayList { "r/a.txt" } << QByteArrayList { "missing", "r" }
                                  << QByteArrayList { "r/a.txt" } << 0 << 1;
    QTest::newRow("root that is a plain file")
        << QByteArrayList { "plain.txt", "r/a.txt" } << QByteArrayList { "plain.txt", "r" }
        << QByteArrayList { "r/a.txt" } << 0 << 1;
    QTest::newRow("empty root path") << QByteArrayList { "r/a.txt" } << QByteArrayList { "<empty>", "r" }
                                     << QByteArrayList { "r/a.txt" } << 0 << 1;

    const QByteArrayList nested = { "A/x.txt", "A/B/y.txt", "A/B/C/z.txt" };
    const QByteArrayList all = { "A/B/C/z.txt", "A/B/y.txt", "A/x.txt" };
    QTest::newRow("root inside an earlier root") << nested << QByteArrayList { "A", "A/B" } << all << 0 << 0;
    QTest::newRow("root containing an earlier root") << nested << QByteArrayList { "A/B", "A" } << all << 0 << 0;
    QTest::newRow("same root twice") << nested << QByteArrayList { "A", "A" } << all << 0 << 0;
    QTest::newRow("same root spelled differently")
        << nested << QByteArrayList { "A/B", "A/./B/../B/" } << QByteArrayList { "A/B/C/z.txt", "A/B/y.txt" } << 0 << 0;
    QTest::newRow("sibling with a common prefix")
        << QByteArrayList { "A/x.txt", "AB/y.txt" } << QByteArrayList { "A", "AB" }
        << QByteArrayList { "A/x.txt", "AB/y.txt" } << 0 << 0;
}

void LibraryScannerTest::walkRules()
{
    QFETCH(QByteArrayList, entries);
    QFETCH(QByteArrayList, roots);
    QFETCH(QByteArrayList, expected);
    QFETCH(int, skipped);
    QFETCH(int, errors);

    TestTree tree;
    build(tree, entries);
    for (QByteArray &root : roots)
        root = root == "<empty>" ? QByteArray() : tree.path(root);
    const ScanResult result = LibraryScanner::scan(roots);
    QCOMPARE(sorted(relativePaths(tree, result)), expected);
    QCOMPARE(result.skipped, skipped);
    QCOMPARE(result.errors, errors);
    QVERIFY(!result.truncated);
}

void LibraryScannerTest::depthFirstOrder()
{
    TestTree tree;
    const QByteArrayList entries
        = { "r/f1", "r/d1/f2", "r/d1/e/f3", "r/d1/e/f4", "r/d2/f5", "r/f6", "r/d1/f7", "r/d2/g/f8", "r/f9" };
    build(tree, entries);
    const QByteArrayList found = relativePaths(tree, LibraryScanner::scan({ tree.path("r") }));
    QCOMPARE(sorted(found), sorted(entries));
    // A folder's files come right after it: each folder's files form one unbroken run.
    for (const QByteArray folder : { "r/d1/", "r/d1/e/", "r/d2/", "r/d2/g/" }) {
        qsizetype first = -1, last = -1;
        for (qsizetype i = 0; i < found.size(); ++i) {
            if (found[i].startsWith(folder)) {
                first = first < 0 ? i : first;
                last = i;
            }
        }
        for (qsizetype i = first; i <= last; ++i)
            QVERIFY2(found[i].startsWith(folder), found.join(' ').constData());
    }
}

void LibraryScannerTest::limit_data()
{
    QTest::addColumn<QList<int>>("filesPerRoot");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("truncated");

    QTest::newRow("limit 3 over 5 files") << QList<int> { 5 } << 3 << 3 << true;
    QTest::newRow("limit 3 over exactly 3 files") << QList<int> { 3 } << 3 << 3 << true;
    QTest::newRow("limit 3 over 2 files") << QList<int> { 2 } << 3 << 2 << false;
    QTest::newRow("limit reached in the second root") << QList<int> { 2, 2 } << 3 << 3 << true;
}

void LibraryScannerTest::limit()
{
    QFETCH(QList<int>, filesPerRoot);
    QFETCH(int, limit);
    QFETCH(int, expected);
    QFETCH(bool, truncated);

    TestTree tree;
    QByteArrayList roots;
    for (qsizetype root = 0; root < filesPerRoot.size(); ++root) {
        roots.append(tree.folder("root" + QByteArray::number(root)));
        for (int i = 0; i < filesPerRoot[root]; ++i)
            tree.file(
                "root" + QByteArray::number(root) + "/sub" + QByteArray::number(i % 2) + "/f" + QByteArray::number(i));
    }
    ScanOptions options;
    options.limit = limit;
    const ScanResult limited = LibraryScanner::scan(roots, options);
    QCOMPARE(limited.files.size(), expected);
    QCOMPARE(limited.truncated, truncated);
    // The first records of the full scan, in the same order.
    QCOMPARE(limited.files, LibraryScanner::scan(roots).files.first(expected));
}

void LibraryScannerTest::applicationBundle()
{
    TestTree tree;
    tree.file("r/Tool.app/Contents/MacOS/tool", QByteArray(100, 't'));
    tree.file("r/Tool.app/Contents/Info.plist", QByteArray(50, 'i'));
    tree.file("r/Tool.app/Contents/PlugIns/Helper.app/helper", QByteArray(25, 'h'));
    tree.file("r/Tool.app/Contents/.cache", QByteArray(1000, 'c'));
    tree.file("r/Tool.app/Contents/Resources/.hidden", "big.dat");
    tree.file("r/Tool.app/Contents/Resources/big.dat", QByteArray(2000, 'b'));
    tree.symlink("r/Tool.app/Contents/link", tree.path("r/Tool.app/Contents/MacOS/tool"));
    tree.fifo("r/Tool.app/Contents/pipe");

    const ScanResult result = LibraryScanner::scan({ tree.path("r") });
    QCOMPARE(relativePaths(tree, result), QByteArrayList { "r/Tool.app" });
    QCOMPARE(result.skipped, 0);
    const FileRecord &bundle = result.files.first();
    QCOMPARE(bundle.kind.rawValue(), QStringLiteral("Apps"));
    QVERIFY(bundle.isPackage);
    QCOMPARE(bundle.size, 175);
    QCOMPARE(LibraryScanner::packageSize(tree.path("r/Missing.app")), 0);
}

void LibraryScannerTest::unreadableSubfolder()
{
    if (::geteuid() == 0)
        QSKIP("root reads every folder, so none can be made unreadable");
    TestTree tree;
    build(tree, { "r/a.txt", "r/locked/secret.txt", "r/z/b.txt" });
    tree.setMode("r/locked", 0);
    const ScanResult result = LibraryScanner::scan({ tree.path("r") });
    tree.setMode("r/locked", 0755);
    QCOMPARE(sorted(relativePaths(tree, result)), (QByteArrayList { "r/a.txt", "r/z/b.txt" }));
    QCOMPARE(result.errors, 1);
}

void LibraryScannerTest::recordFields()
{
    TestTree tree;
    const QByteArray notes = tree.file("r/caf\xe9 \xff.txt", "hello world");
    const QByteArray tone = tree.file("r/\xfe/tone.wav", SampleFiles::wav(2000));
    const Timestamp modified = Timestamp::fromUnix(1622548800, 123456789);
    tree.setModified("r/caf\xe9 \xff.txt", modified);

    const ScanResult result = LibraryScanner::scan({ tree.path("r") }, withContents());
    QCOMPARE(sorted(relativePaths(tree, result)), (QByteArrayList { "r/caf\xe9 \xff.txt", "r/\xfe/tone.wav" }));
    const FileRecord &record = *recordAt(result, notes);
    QCOMPARE(record.kind.rawValue(), QStringLiteral("Documents"));
    QCOMPARE(record.size, 11);
    QVERIFY(record.modified == modified);
    QCOMPARE(record.identity, FileIdentity::read(notes));
    QVERIFY(record.added == (record.created.isDistantPast() ? std::nullopt : std::optional(record.created)));
    QVERIFY(!record.isPackage && !record.isCloudOnly && !record.source && !record.lastUsed && !record.duration);
    const FileRecord &audio = *recordAt(result, tone);
    QCOMPARE(audio.kind.rawValue(), QStringLiteral("Music"));
    QVERIFY(audio.duration && qAbs(*audio.duration - 2.0) < 0.01);

    // Rescans of an unchanged tree give equal records, with or without the earlier ones.
    QCOMPARE(LibraryScanner::scan({ tree.path("r") }, withContents()), result);
    ScanOptions options = withContents();
    options.previous = result.files;
    QCOMPARE(LibraryScanner::scan({ tree.path("r") }, options), result);
}

void LibraryScannerTest::cloudPlaceholders()
{
    TestTree tree;
    tree.file("r/report.pdf.nextcloud");
    tree.file("r/movie.mp4", SampleFiles::wav(1000));
    if (!tree.setAttribute("r/movie.mp4", "user.openvfs.data", SampleFiles::openVfsData(1, 5000000)))
        QSKIP("the temporary folder's file system has no user extended attributes");

    const ScanResult result = LibraryScanner::scan({ tree.path("r") });
    QCOMPARE(result.files.size(), 2);
    const FileRecord &placeholder = *recordAt(result, tree.path("r/report.pdf.nextcloud"));
    QVERIFY(placeholder.isCloudOnly);
    QCOMPARE(placeholder.kind.rawValue(), QStringLiteral("Documents"));
    const FileRecord &movie = *recordAt(result, tree.path("r/movie.mp4"));
    QVERIFY(movie.isCloudOnly);
    QCOMPARE(movie.size, 5000000);
    QVERIFY(!movie.duration); // its local bytes are a readable WAV, yet a placeholder is not opened
}

void LibraryScannerTest::cancelledBeforeStart()
{
    TestTree tree;
    for (int i = 0; i < 100; ++i)
        tree.file("r/d" + QByteArray::number(i % 10) + "/f" + QByteArray::number(i) + ".wav", SampleFiles::wav(10));
    std::stop_source source;
    source.request_stop();
    const ScanResult result = LibraryScanner::scan({ tree.path("r") }, {}, source.get_token());
    QVERIFY(result.files.isEmpty() && !result.truncated && result.errors == 0);
}

void LibraryScannerTest::metadataReuse_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("kept");

    QTest::newRow("unchanged file keeps its facts") << QString() << true;
    QTest::newRow("modified one nanosecond later") << QStringLiteral("time") << false;
    QTest::newRow("size changed, same time") << QStringLiteral("size") << false;
    QTest::newRow("replaced by a copy of the same size and time") << QStringLiteral("replace") << false;
}

void LibraryScannerTest::metadataReuse()
{
    QFETCH(QString, change);
    QFETCH(bool, kept);

    TestTree tree;
    const QByteArray path = tree.file("r/tone.wav", SampleFiles::wav(2000));
    const Timestamp time = Timestamp::fromUnix(1700000000, 500);
    tree.setModified("r/tone.wav", time);
    const bool attributes = tree.setAttribute("r/tone.wav", "user.xdg.tags", "New")
        && tree.setAttribute("r/tone.wav", "user.xdg.origin.url", "https://new.example/tone.wav");
    ScanOptions options = withContents();
    options.previous = LibraryScanner::scan({ tree.path("r") }, withContents()).files;
    options.previous[0].camera = QStringLiteral("Fake camera");
    options.previous[0].duration = 99.0;
    options.previous[0].tags = QStringList { QStringLiteral("Old") };
    options.previous[0].source = QStringLiteral("old.example");

    if (change == u"time") {
        tree.setModified("r/tone.wav", Timestamp::fromUnix(1700000000, 501));
    } else if (change == u"size") {
        tree.file("r/tone.wav", SampleFiles::wav(1000));
        tree.setModified("r/tone.wav", time);
    } else if (change == u"replace") {
        tree.file("r/copy.tmp", SampleFiles::wav(2000));
        tree.setModified("r/copy.tmp", time);
        QCOMPARE(std::rename(tree.path("r/copy.tmp").constData(), path.constData()), 0);
    }

    const FileRecord record = LibraryScanner::scan({ tree.path("r") }, options).files.value(0);
    QCOMPARE(record.path, path);
    QCOMPARE(record.camera.has_value(), kept);
    QCOMPARE(record.duration.value_or(0) == 99.0, kept);
    if (!kept)
        QVERIFY(record.duration.value_or(0) > 0.5 && record.duration.value_or(0) < 2.5);
    // Tags and sources come from the file on every scan, whatever the earlier record said.
    if (attributes && change != u"replace") {
        QCOMPARE(record.tags, QStringList { QStringLiteral("New") });
        QCOMPARE(record.source.value_or(QString()), QStringLiteral("new.example"));
    }
}

void LibraryScannerTest::rescan_data()
{
    QTest::addColumn<QByteArrayList>("entries");
    QTest::addColumn<QByteArrayList>("paths"); // changed, below the root "lib"
    QTest::addColumn<QByteArrayList>("cleared");
    QTest::addColumn<QByteArrayList>("files"); // sorted

    QTest::newRow("a changed file") << QByteArrayList { "lib/a.txt", "lib/b.txt" } << QByteArrayList { "lib/a.txt" }
                                    << QByteArrayList { "lib/a.txt" } << QByteArrayList { "lib/a.txt" };
    QTest::newRow("a file no longer there") << QByteArrayList { "lib/b.txt" } << QByteArrayList { "lib/gone.txt" }
                                            << QByteArrayList { "lib/gone.txt" } << QByteArrayList {};
    QTest::newRow("a folder is read whole")
        << QByteArrayList { "lib/d/x", "lib/d/e/y", "lib/other" } << QByteArrayList { "lib/d" }
        << QByteArrayList { "lib/d" } << QByteArrayList { "lib/d/e/y", "lib/d/x" };
    QTest::newRow("paths inside another add nothing")
        << QByteArrayList { "lib/d/x", "lib/d-2/y" } << QByteArrayList { "lib/d/x", "lib/d-2/y", "lib/d", "lib/d/" }
        << QByteArrayList { "lib/d", "lib/d-2/y" } << QByteArrayList { "lib/d-2/y", "lib/d/x" };
    QTest::newRow("the root itself") << QByteArrayList { "lib/x" } << QByteArrayList { "lib" }
                                     << QByteArrayList { "lib" } << QByteArrayList { "lib/x" };
    QTest::newRow("a change inside a package is the package's")
        << QByteArrayList { "lib/Tool.app/Contents/bin=12345", "lib/Tool.app/Contents/lib/x=1" }
        << QByteArrayList { "lib/Tool.app/Contents/bin", "lib/Tool.app/Contents/lib/x" }
        << QByteArrayList { "lib/Tool.app" } << QByteArrayList { "lib/Tool.app" };
    QTest::newRow("a hidden folder on the way")
        << QByteArrayList { "lib/.cache/x" } << QByteArrayList { "lib/.cache/x" } << QByteArrayList { "lib/.cache/x" }
        << QByteArrayList {};
    QTest::newRow("a name listed in .hidden") << QByteArrayList { "lib/.hidden=x.txt\nsub", "lib/x.txt", "lib/sub/y" }
                                              << QByteArrayList { "lib/x.txt", "lib/sub/y" }
                                              << QByteArrayList { "lib/sub/y", "lib/x.txt" } << QByteArrayList {};
    QTest::newRow("a link on the way") << QByteArrayList { "real/x", "lib/l -> ../real" }
                                       << QByteArrayList { "lib/l/x" } << QByteArrayList { "lib/l/x" }
                                       << QByteArrayList {};
    QTest::newRow("a link itself") << QByteArrayList { "lib/x", "lib/l -> x" } << QByteArrayList { "lib/l" }
                                   << QByteArrayList { "lib/l" } << QByteArrayList {};
    QTest::newRow("outside every root") << QByteArrayList { "other/x" } << QByteArrayList { "other/x", "library/y" }
                                        << QByteArrayList {} << QByteArrayList {};
}

void LibraryScannerTest::rescan()
{
    QFETCH(QByteArrayList, entries);
    QFETCH(QByteArrayList, paths);
    QFETCH(QByteArrayList, cleared);
    QFETCH(QByteArrayList, files);

    TestTree tree;
    build(tree, entries);
    for (QByteArray &path : paths)
        path = tree.path(path);
    const RescanResult result = LibraryScanner::rescan({ tree.path("lib") }, paths);
    QByteArrayList clearedPaths;
    for (const QByteArray &path : result.cleared)
        clearedPaths.append(path.mid(tree.root().size() + 1));
    QCOMPARE(sorted(clearedPaths), cleared);
    QCOMPARE(sorted(relativePaths(tree, ScanResult { result.files, 0, 0, false })), files);
    // What is found is what a full scan finds there.
    const ScanResult full = LibraryScanner::scan({ tree.path("lib") });
    for (const FileRecord &found : result.files)
        QCOMPARE(*recordAt(full, found.path), found);
}

QTEST_GUILESS_MAIN(LibraryScannerTest)
#include "libraryscannertest.moc"
