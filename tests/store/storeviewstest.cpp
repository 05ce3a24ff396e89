#include "storetesting.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

using namespace StoreTesting;

namespace {

constexpr qint64 kDay = 86'400;
const Timestamp kNow = Timestamp::now();
const Timestamp kRecent = Timestamp::fromUnix(kNow.unixSeconds() - kDay);
const Timestamp kOld = Timestamp::fromUnix(kNow.unixSeconds() - 200 * kDay);

FileRecord with(FileRecord file, const char *source, std::optional<Timestamp> lastUsed = std::nullopt)
{
    if (*source)
        file.source = QString::fromUtf8(source);
    file.lastUsed = lastUsed;
    return file;
}

// One file for every destination, with the boundaries that matter: 100,000,000 bytes is not
// large, an installer is not an archive to clean up, an app never opened is not unused.
QList<FileRecord> library()
{
    using K = FileKind;
    return { record("/lib/Pictures/photo.jpg", K::images, 2'000'000, kNow),
        record("/lib/Pictures/Screenshot 2024-01-01.png", K::images, 500'000, kOld),
        record("/lib/Videos/movie.mp4", K::videos, 100'000'001, kOld),
        record("/lib/Videos/clip.mp4", K::videos, 100'000'000, kOld),
        record("/lib/Docs/report.pdf", K::documents, 80'000, kRecent),
        record("/lib/Docs/sub/notes.txt", K::documents, 1'000, kRecent),
        with(record("/lib/Docs2/other.pdf", K::documents, 90'000, kRecent), "mail.google.com"),
        record("/lib/Downloads/setup.deb", K::archives, 3'000'000, kOld),
        with(record("/lib/Downloads/old.zip", K::archives, 7'000, kOld), "slack.com"),
        with(record("/lib/Apps/editor.appimage", K::apps, 50'000'000, kOld), "", kOld),
        record("/lib/Apps/never.appimage", K::apps, 1'000, kOld),
        with(record("/lib/Other/data.bin", K::other, 10, kRecent), "gmail.com") };
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QByteArrayList paths(const QList<FileRecord> &files)
{
    QByteArrayList result;
    for (const FileRecord &file : files)
        result.append(file.path);
    return result;
}

// "f1 f3" <-> the ids "/f1" and "/f3".
QSet<QByteArray> ids(const QString &names)
{
    QSet<QByteArray> result;
    for (const QString &name : names.split(u' ', Qt::SkipEmptyParts))
        result.insert('/' + name.toUtf8());
    return result;
}

} // namespace

// The lists the interface shows, and selection within them.
class StoreViewsTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;

    LibraryStore::Setup storeSetup() { return setup(m_environment.newSettingsFile()); }

    // f1 ... f5 listed by name, stored in another order.
    std::unique_ptr<LibraryStore> fiveFiles()
    {
        auto store = std::make_unique<LibraryStore>(storeSetup());
        store->setFiles({ record("/f3"), record("/f1"), record("/f5"), record("/f2"), record("/f4") });
        store->setSort(QStringLiteral("Name"));
        return store;
    }

private Q_SLOTS:
    void cleanup() { settle(); }

    void visibleFiles_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("sourceFilter");
        QTest::addColumn<QStringList>("expected");

        const QStringList everything = names(library());
        const auto row = [](const char *name, const char *destination, const QStringList &expected,
                             const char *query = "", const char *filter = "All sources") {
            QTest::newRow(name) << QString::fromUtf8(destination) << QString::fromUtf8(query)
                                << QString::fromUtf8(filter) << sorted(expected);
        };
        row("a kind", "Images", strings({ "photo.jpg", "Screenshot 2024-01-01.png" }));
        row("Screenshots", "Screenshots", strings({ "Screenshot 2024-01-01.png" }));
        row("Large Files: more than 100,000,000 bytes", "Large Files", strings({ "movie.mp4" }));
        row("Large files", "Large files", strings({ "movie.mp4" }));
        row("Forgotten downloads", "Forgotten downloads", strings({ "setup.deb", "old.zip" }));
        row("Unused apps: never opened is not unused", "Unused apps", strings({ "editor.appimage" }));
        row("Old archives: installers excluded", "Old archives", strings({ "old.zip" }));
        row("source", "source:Gmail", strings({ "other.pdf", "data.bin" }));
        row("folder", "folder:/lib/Docs", strings({ "report.pdf", "notes.txt" }));
        row("folder is not a name prefix", "folder:/lib/Doc", {});
        row("the root folder", "folder:/", everything);
        row("source with another source filter", "source:Gmail", {}, "", "Slack");
        row("source filter drops files without a source", "Documents", strings({ "other.pdf" }), "", "Gmail");
        row("a search ignores the destination", "Images", strings({ "report.pdf", "other.pdf" }), "pdfs");
        row("a search reads the indexed text", "Music", strings({ "report.pdf" }), "zebra");
        row("a query of blanks is still a search", "Images", everything, "   ");
        row("search and source filter", "Home", strings({ "other.pdf" }), "pdfs", "Gmail");
    }

    void visibleFiles()
    {
        QFETCH(QString, destination);
        QFETCH(QString, query);
        QFETCH(QString, sourceFilter);
        LibraryStore store(storeSetup());
        store.setFiles(library());
        store.setTextIndex(
            { { "/lib/Docs/report.pdf", TextEntry { 0, 0, QStringLiteral("Quarterly zebra"), false } } });
        store.setDestination(place(destination));
        store.setQuery(query);
        store.setSourceFilter(sourceFilter);

        // Before the prepared catalogue exists and after: the same list.
        QVERIFY(!store.viewsPrepared());
        const QList<FileRecord> before = store.visibleFiles();
        QTEST(sorted(names(before)), "expected");
        QTRY_VERIFY(store.viewsPrepared());
        QCOMPARE(store.visibleFiles(), before);
    }

    void sortOrders_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QByteArrayList>("files");
        QTest::addColumn<QByteArrayList>("expected");

        using List = std::initializer_list<QByteArray>;
        const auto row = [](const char *name, const char *sort, List files, List expected) {
            QTest::newRow(name) << QString::fromUtf8(sort) << QByteArrayList(files) << QByteArrayList(expected);
        };
        // Paths are "/NAME" or "/NAME|SIZE|NANOSECONDS|KIND" (see sortOrders()).
        row("Name: digit runs by value", "Name", { "/file10", "/file2", "/file1" }, { "/file1", "/file2", "/file10" });
        row("Name: case-insensitive", "Name", { "/b", "/C", "/a" }, { "/a", "/b", "/C" });
        row("Name: accents after their base letter", "Name", { "/rz", "/r\xc3\xa9sum\xc3\xa9", "/resume" },
            { "/resume", "/r\xc3\xa9sum\xc3\xa9", "/rz" });
        row("Name: equal names keep library order", "Name", { "/x/a", "/b/a" }, { "/x/a", "/b/a" });
        row("Name: equal numbers by zeros, then case", "Name", { "/file7", "/File7", "/file007" },
            { "/file007", "/File7", "/file7" });
        row("Name: numbers, then punctuation, then letters", "Name", { "/b", "/_a", "/1" }, { "/1", "/_a", "/b" });
        row("Name: a 65-digit number after a 33-digit one", "Name",
            { "/x1" + QByteArray(64, '0'), "/x" + QByteArray(33, '9') },
            { "/x" + QByteArray(33, '9'), "/x1" + QByteArray(64, '0') });
        row("Name: alike in their first eight letters", "Name", { "/abcdefghZ", "/abcdefghA", "/abcdefgh" },
            { "/abcdefgh", "/abcdefghA", "/abcdefghZ" });
        row("Kind: names alike at their start", "Kind",
            { "/IMG_20240101_0002.jpg|0|0|3", "/IMG_2.jpg|0|0|3", "/IMG_2.jp|0|0|3", "/IMG_20240101_0001.jpg|0|0|3" },
            { "/IMG_2.jp", "/IMG_2.jpg", "/IMG_20240101_0001.jpg", "/IMG_20240101_0002.jpg" });
        row("Largest: equal sizes by path", "Largest", { "/b|10", "/a|10", "/c|20" }, { "/c", "/a", "/b" });
        row("Kind: raw value, then name by code point", "Kind", { "/m|0|0|3", "/a|0|0|4", "/z|0|0|5", "/B|0|0|4" },
            { "/z", "/B", "/a", "/m" });
        row("Newest: equal dates by path", "Newest", { "/z|0|9", "/a|0|1", "/m|0|9" }, { "/m", "/z", "/a" });
        row("Newest: one nanosecond apart", "Newest", { "/a|0|500", "/b|0|501" }, { "/b", "/a" });
        row("an unknown sort sorts as Newest", "Oldest", { "/a|0|1", "/b|0|2" }, { "/b", "/a" });
    }

    void sortOrders()
    {
        QFETCH(QString, sort);
        QFETCH(QByteArrayList, files);
        QList<FileRecord> records;
        for (const QByteArray &line : files) {
            const QByteArrayList parts = line.split('|');
            records.append(record(parts[0], FileKind::Value(parts.value(3, "6").toInt()), parts.value(1).toLongLong(),
                Timestamp::fromUnix(1'700'000'000, parts.value(2).toLongLong())));
        }
        LibraryStore store(storeSetup());
        store.setFiles(records);
        store.setSort(sort);
        QVERIFY(!store.viewsPrepared());
        const QByteArrayList before = paths(store.visibleFiles());
        QTEST(before, "expected");
        QTRY_VERIFY(store.viewsPrepared());
        QCOMPARE(paths(store.visibleFiles()), before);
    }

    void sources()
    {
        LibraryStore store(storeSetup());
        QList<FileRecord> files { record("/lib/none") };
        // U+FF41 comes before U+1F600 in code-point order, though not in UTF-16 code units.
        for (const char *host : { "x.com", "www.Example.org", "slack.com", "mail.google.com", "gmail.com",
                 "\xf0\x9f\x98\x80.example", "\xef\xbd\x81.example" })
            files.append(with(record("/lib/" + QByteArray(host)), host));
        store.setFiles(files);
        const QStringList expected =
            strings({ "Gmail", "Slack", "X", "example.org", "\xef\xbd\x81.example", "\xf0\x9f\x98\x80.example" });
        QCOMPARE(store.sources(), expected);
        QTRY_VERIFY(store.viewsPrepared());
        QCOMPARE(store.sources(), expected);
    }

    void cleanCategoriesFromThePreparedCatalogue()
    {
        // One file for each suggestion and one that belongs to none; the lists are the same
        // before the catalogue is ready and after.
        const Timestamp old = Timestamp::fromUnix(1'500'000'000);
        const Timestamp recent = Timestamp::now();
        QList<FileRecord> files {
            record("/lib/setup.DEB", FileKind::archives, 10, old),
            record("/lib/Screenshot 1.png", FileKind::images, 10, old),
            record("/lib/huge.bin", FileKind::other, 100'000'001, recent),
            record("/lib/Downloads/form.pdf", FileKind::documents, 10, old),
            record("/lib/film.mkv", FileKind::videos, 100'000'001, old),
            with(record("/lib/Tool.app", FileKind::apps, 10, old), "", old),
            record("/lib/backup.zip", FileKind::archives, 10, old),
            record("/lib/new.txt", FileKind::documents, 10, recent),
        };
        files[3].created = old;
        LibraryStore store(storeSetup());
        store.setFiles(files);
        QVERIFY(!store.viewsPrepared());
        const auto names = [&store] {
            QStringList lists;
            for (const CleanCategory &category : store.cleanCategories())
                lists.append(category.title + QStringLiteral(": ") + StoreTesting::names(category.files).join(u','));
            return lists;
        };
        const QStringList expected = strings({ "Old installers: setup.DEB", "Old screenshots: Screenshot 1.png",
            "Large files: huge.bin,film.mkv", "Forgotten downloads: form.pdf", "Big old videos: film.mkv",
            "Unused apps: Tool.app", "Old archives: backup.zip" });
        QCOMPARE(names(), expected);
        QTRY_VERIFY(store.viewsPrepared());
        QCOMPARE(names(), expected);
    }

    // `action` is a click ("click", "command" or "shift" and the file) or a step of the selection
    // ("step" and a count), taken with the preview open when it ends in "preview".
    void selection_data()
    {
        textColumns({ "before", "anchor", "action", "selected", "selection" });
        textRow("command on the only selected file empties the set", { "f1", "f1", "command f1", "", "f1" });
        textRow("command adds", { "f1", "f1", "command f3", "f1 f3", "f3" });
        textRow("shift without an anchor selects the clicked file", { "f5", "", "shift f3", "f3", "f3" });
        textRow("shift upwards adds the range to the selection", { "f5", "f3", "shift f1", "f1 f2 f3 f5", "f1" });
        textRow("shift downwards", { "", "f2", "shift f4", "f2 f3 f4", "f4" });
        textRow("shift from an anchor that is not listed", { "f5", "gone", "shift f2", "f2", "f2" });
        textRow("plain click replaces", { "f1 f2", "f2", "click f4", "f4", "f4" });
        textRow("nothing selected, step forward", { "f2 f4", "", "step 1", "f1", "f1" });
        textRow("nothing selected, step backward", { "f2 f4", "", "step -1 preview", "f5", "f5" });
        textRow("nothing selected, three forward", { "", "", "step 3", "f3", "f3" });
        textRow("nothing selected, far backward", { "", "", "step -9 preview", "f1", "f1" });
        textRow("step from a selection not listed", { "", "gone", "step 1", "f1", "f1" });
        textRow("a grid row down", { "f1", "f1", "step 3 preview", "f4", "f4" });
        textRow("step past the end", { "f5", "f5", "step 1", "f5", "f5" });
        textRow("step past the start", { "f2 f4", "f2", "step -3 preview", "f1", "f1" });
    }

    void selection()
    {
        QFETCH(QString, before);
        QFETCH(QString, anchor);
        QFETCH(QString, action);
        QFETCH(QString, selected);
        QFETCH(QString, selection);
        const auto store = fiveFiles();
        store->setSelectedIDs(ids(before));
        if (!anchor.isEmpty())
            store->setSelection('/' + anchor.toUtf8());
        const QStringList words = action.split(u' ');
        const bool previewing = words.contains(u"preview");
        if (previewing)
            store->setPreview(record("/f2"));
        using M = LibraryStore::ClickModifier;
        if (words[0] == u"step")
            store->stepSelection(words[1].toInt());
        else
            store->select(record('/' + words[1].toUtf8()),
                words[0] == u"command"     ? M::command
                    : words[0] == u"shift" ? M::shift
                                           : M::none);
        QCOMPARE(store->selectedIDs(), ids(selected));
        QCOMPARE(store->selection(), std::optional<QByteArray>('/' + selection.toUtf8()));
        // An open preview follows the selection; a closed one stays closed.
        QCOMPARE(store->preview() ? store->preview()->name() : QString(), previewing ? selection : QString());
    }

    // Whatever changes the shown list drops the selected files it no longer shows, so the
    // actions on the selection never reach files off screen.
    void selectionFollowsTheShownList_data()
    {
        textColumns({ "change", "kept" });
        textRow("a search", { "query pdfs", "other.pdf report.pdf" });
        textRow("a source filter", { "filter Gmail", "other.pdf" });
        textRow("another destination", { "destination Documents", "other.pdf report.pdf" });
        textRow("the index no longer matches the search", { "index zebra", "" });
        textRow("a rescan without the file", { "files", "other.pdf" });
    }

    void selectionFollowsTheShownList()
    {
        QFETCH(QString, change);
        LibraryStore store(storeSetup());
        store.setFiles(library());
        store.setTextIndex(
            { { "/lib/Docs/report.pdf", TextEntry { 0, 0, QStringLiteral("Quarterly zebra"), false } } });
        const QStringList words = change.split(u' ');
        if (words[0] == u"index")
            store.setQuery(words[1]);
        store.setSelectedIDs({ "/lib/Docs/report.pdf", "/lib/Docs2/other.pdf", "/lib/Pictures/photo.jpg" });
        if (words[0] == u"query")
            store.setQuery(words[1]);
        else if (words[0] == u"filter")
            store.setSourceFilter(words[1]);
        else if (words[0] == u"destination")
            store.setDestination(place(words[1]));
        else if (words[0] == u"index")
            store.setTextIndex({});
        else
            store.setFiles(library().mid(6));
        QStringList kept = names(store.chosenFiles());
        kept.sort();
        QTEST(kept.join(u' '), "kept");
        QCOMPARE(store.selectedIDs().size(), kept.size());
    }

    // "Trash all" takes the category's files, and nothing while a search shows other files.
    void trashAll_data()
    {
        textColumns({ "destination", "query", "pending" });
        textRow("a clean-up category", { "Old archives", "", "old.zip" });
        textRow("a category during a search", { "Old archives", "pdf", "" });
        textRow("a kind", { "Archives", "", "" });
    }

    void trashAll()
    {
        QFETCH(QString, destination);
        QFETCH(QString, query);
        LibraryStore store(storeSetup());
        store.setFiles(library());
        store.navigate(place(destination));
        store.setQuery(query);
        store.requestTrashAll();
        QTEST(names(store.pendingTrash()).join(u' '), "pending");
        QCOMPARE(store.canTrashAll(), !store.pendingTrash().isEmpty());
    }

    // The counts the interface reads: from the prepared catalogue, and computed by the store
    // while the catalogue lags behind, against plain passes over the records.
    void countsMatchTheRecords()
    {
        QList<FileRecord> files = library();
        for (int i = 0; i < 12; ++i) {
            FileRecord download
                = with(record("/lib/Downloads/d" + QByteArray::number(i), FileKind::other), "slack.com");
            download.created = Timestamp::fromUnix(kOld.unixSeconds() + i % 5);
            files.append(download);
        }
        LibraryStore store(storeSetup());
        store.setFiles(files);
        QVERIFY(!store.viewsPrepared());
        const auto check = [&] {
            std::array<qsizetype, FileKind::allCases().size()> kinds {};
            qint64 total = 0;
            for (const FileRecord &file : files) {
                ++kinds[size_t(FileKind::Value(file.kind))];
                total += file.size;
            }
            QCOMPARE(store.counts().kinds(), kinds);
            QCOMPARE(store.totalSize(), total);
            QCOMPARE(store.counts().sourceCount(QStringLiteral("Slack")), 13);
            const QList<CleanCategory> categories = store.cleanCategories();
            for (int c = 0; c < CleanCategories::kCount; ++c)
                QCOMPARE(store.cleanCounts()[size_t(c)], categories[c].files.size());
            QCOMPARE(names(store.leadingFiles(FileKind::documents, 10)),
                strings({ "report.pdf", "notes.txt", "other.pdf" }));
            // Newest first by added or created date; equal dates keep library order.
            QList<FileRecord> downloads;
            for (const FileRecord &file : files)
                if (file.isDownload())
                    downloads.append(file);
            std::stable_sort(downloads.begin(), downloads.end(), [](const FileRecord &a, const FileRecord &b) {
                return a.added.value_or(a.created) > b.added.value_or(b.created);
            });
            QCOMPARE(store.recentDownloads(), downloads.mid(0, 10));
        };
        check();
        QTRY_VERIFY(store.viewsPrepared());
        check();
    }

    void copyText_data()
    {
        textColumns({ "files", "mode", "clipboard", "status", "preview" });
        textRow("one file: the text alone", { "a.txt", "copy", "A", "Copied text from 1 file(s).", "" });
        textRow("two files, one without text: still named",
            { "empty.txt b.txt", "copy", "b.txt\nB", "Copied text from 1 file(s).", "" });
        textRow("unavailable and partial",
            { "a.txt bad.png long.pdf", "copy", "a.txt\nA\n\nlong.pdf\nL",
                "Copied text from 2 file(s). 1 unavailable; 1 partial (200-page/250,000-character limit).", "" });
        textRow("nothing readable",
            { "bad.png", "copy", "",
                "No readable text found in the selection. 1 unavailable; 0 partial (200-page/250,000-character "
                "limit).",
                "" });
        textRow("preview with an unreadable file",
            { "bad.png a.txt", "show", "",
                "Choose a folder to make yourself at home. 1 unavailable; 0 partial (200-page/250,000-character "
                "limit).",
                "a.txt\nA" });
        textRow("preview of nothing",
            { "empty.txt", "show", "", "Choose a folder to make yourself at home.", "No readable text found." });
    }

    void copyFilesPathsAndSearches()
    {
        const QString file = m_environment.newSettingsFile();
        LibraryStore store(setup(file));
        store.setFiles({ record("/lib/a b.txt"), record("/lib/\xff.txt"), record("/lib/c.txt") });
        store.setSelectedIDs({ "/lib/\xff.txt", "/lib/a b.txt" });
        store.copyFiles();
        const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(copied->data(QStringLiteral("text/uri-list")), "file:///lib/a%20b.txt\r\nfile:///lib/%FF.txt\r\n");
        QCOMPARE(store.status(), QStringLiteral("Copied 2 file(s)."));
        store.copyPath(record("/lib/a b.txt"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/lib/a b.txt"));

        for (const char *query : { " \n ", " pdfs over 5 mb ", "pdfs over 5 mb", "screenshots", "photos" }) {
            store.setQuery(QString::fromUtf8(query));
            store.saveSearch();
        }
        store.deleteSearch(QStringLiteral("photos"));
        QCOMPARE(LibraryStore(setup(file)).savedSearches(), strings({ "pdfs over 5 mb", "screenshots" }));
        store.pin("/home/ada/Projects");
        store.pin("/home/ada/Projects");
        QCOMPARE(store.pinnedPaths(), strings({ "/home/ada/Projects" }));
        QCOMPARE(store.status(), QStringLiteral("Pinned Projects to the sidebar."));
    }

    void copyText()
    {
        QFETCH(QString, files);
        QFETCH(QString, mode);
        const Probe probe;
        LibraryWorkers workers = probe.workers();
        // The text is the name's first letter; bad.* cannot be read, long.* is cut short, empty.* has none.
        workers.extractText = [](const FileRecord &file, std::stop_token) {
            const QString name = file.name();
            if (name.startsWith(u"bad"))
                return TextExtraction::failure(QStringLiteral("No text layer"));
            return TextExtraction { name.startsWith(u"empty") ? QString() : name.left(1).toUpper(),
                name.startsWith(u"long"), std::nullopt };
        };
        LibraryStore store(setup(m_environment.newSettingsFile(), workers));
        QList<FileRecord> records;
        for (const QString &name : files.split(u' '))
            records.append(record('/' + name.toUtf8()));
        QGuiApplication::clipboard()->clear();
        store.copyText(records, mode == u"show");
        // A second request while the first runs is ignored.
        store.copyText({ record("/b.txt") }, mode != u"show");
        QTRY_VERIFY(!store.copyingText());
        settle();
        QTEST(QGuiApplication::clipboard()->text(), "clipboard");
        QTEST(store.status(), "status");
        QTEST(store.textPreview().value_or(QString()), "preview");
    }
};

QTEST_MAIN(StoreViewsTest)
#include "storeviewstest.moc"
