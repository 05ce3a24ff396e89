#include "store/storetesting.h"
#include "ui-frame/frametesting.h"
#include "store/cleancategory.h"
#include "ui/sections/browsersection.h"
#include "ui/sections/filelistmodel.h"
#include "ui/sections/filepainter.h"
#include "ui/sections/fileview.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace StoreTesting;
using namespace FrameTesting;

namespace {

// A button of `section` with `text` that is shown (the section hides what does not apply).
QPushButton *visibleButton(QWidget &section, const QString &text)
{
    for (QPushButton *button : section.findChildren<QPushButton *>())
        if (button->text() == text && button->isVisibleTo(&section))
            return button;
    return nullptr;
}

QList<FileRecord> manyFiles(int count)
{
    QList<FileRecord> files;
    files.reserve(count);
    for (int i = 0; i < count; ++i)
        files << record("/lib/file" + QByteArray::number(i) + ".txt", FileKind::documents, i,
            Timestamp::fromUnix(1'700'000'000 + i));
    return files;
}

} // namespace

class BrowserSectionTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;

    std::unique_ptr<LibraryStore> makeStore()
    {
        auto store = std::make_unique<LibraryStore>(setup(m_environment.newSettingsFile()));
        FileRecord old = record("/lib/Downloads/setup.deb", FileKind::archives, 5'000, Timestamp::fromUnix(1'000'000'000));
        store->setFiles({ record("/lib/a.jpg", FileKind::images), record("/lib/b.pdf", FileKind::documents), old });
        return store;
    }

private Q_SLOTS:
    void cleanup() { settle(); }

    void trashAllOnlyForCleanUpCategories_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("present");
        QTest::newRow("kind") << QStringLiteral("Images") << QString() << false;
        QTest::newRow("recents") << QStringLiteral("Recents") << QString() << false;
        QTest::newRow("folder") << QStringLiteral("folder:/lib") << QString() << false;
        for (int c = 0; c < CleanCategories::kCount; ++c)
            QTest::newRow(qPrintable(QStringLiteral("category ") + CleanCategories::title(c)))
                << CleanCategories::title(c) << QString() << true;
        // The search shows files of the whole library: "all" would be all of them.
        QTest::newRow("category during a search") << QStringLiteral("Old archives") << QStringLiteral("pdf") << false;
    }
    void trashAllOnlyForCleanUpCategories()
    {
        QFETCH(QString, destination);
        QFETCH(QString, query);
        QFETCH(bool, present);
        auto store = makeStore();
        BrowserSection section(*store);
        store->navigate(place(destination));
        store->setQuery(query);
        QPushButton *trashAll = visibleButton(section, QStringLiteral("Trash all…"));
        QCOMPARE(trashAll != nullptr, present);
        if (trashAll) {
            trashAll->click();
            for (const FileRecord &file : store->pendingTrash())
                QVERIFY(CleanCategories::contains(
                    CleanCategories::indexOf(destination), file, CleanCategories::cutoff(Timestamp::now())));
        }
    }

    // Rows show every column whole at any font size, and tell assistive technologies all of it.
    void listRowsShowEveryColumn_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("small, US") << 8 << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("large, US") << 22 << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("large, German") << 22 << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("large, Japanese") << 22 << QLocale(QLocale::Japanese, QLocale::Japan);
    }
    void listRowsShowEveryColumn()
    {
        QFETCH(int, points);
        QFETCH(QLocale, locale);
        QFont font;
        font.setPointSize(points);
        const QFontMetrics metrics(font);
        const FilePainter::RowColumns columns = FilePainter::rowColumns(font, locale);
        auto store = makeStore();
        QList<FileRecord> files = store->files();
        files.append(record("/lib/big.iso", FileKind::archives, 987'654'321'000, Timestamp::fromUnix(1'703'700'000)));
        for (const FileRecord &file : std::as_const(files)) {
            const QString date = locale.toString(file.modified.toDateTime().toLocalTime().date(), QLocale::ShortFormat);
            QVERIFY(metrics.horizontalAdvance(file.kind.rawValue()) <= columns.kind);
            QVERIFY(metrics.horizontalAdvance(file.formattedSize()) <= columns.size);
            QVERIFY2(metrics.horizontalAdvance(date) <= columns.date, qPrintable(date));
            QCOMPARE(FilePainter::rowDescription(file, locale),
                file.kind.rawValue() + QStringLiteral(", ") + file.formattedSize() + QStringLiteral(", ") + date);
        }
        FileListModel model(*store);
        QVERIFY(model.data(model.index(0), Qt::AccessibleDescriptionRole)
                    .toString()
                    .contains(model.record(0).formattedSize()));
    }

    void actionBarFollowsTheSelection()
    {
        auto store = makeStore();
        BrowserSection section(*store);
        store->navigate(place(u"Recents"));
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("0 selected")));
        QVERIFY(visibleButton(section, QStringLiteral("Select all")));
        QVERIFY(!visibleButton(section, QStringLiteral("Copy text")));
        QVERIFY(!visibleButton(section, QStringLiteral("Trash selected…")));

        visibleButton(section, QStringLiteral("Select all"))->click();
        QCOMPARE(store->selectedIDs().size(), 3);
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("3 selected")));
        QVERIFY(visibleButton(section, QStringLiteral("Copy text")));
        visibleButton(section, QStringLiteral("Trash selected…"))->click();
        QCOMPARE(store->pendingTrash().size(), 3);
    }

    void headerFollowsDestinationAndQuery()
    {
        auto store = makeStore();
        BrowserSection section(*store);
        store->navigate(place(u"folder:/lib/Downloads"));
        QTRY_VERIFY(shownLabelTexts(&section).contains(QStringLiteral("1 files")));
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("Downloads")));
        QVERIFY(!visibleButton(section, QStringLiteral("Save search")));

        store->setQuery(QStringLiteral("pdfs"));
        QTRY_VERIFY(shownLabelTexts(&section).contains(QStringLiteral("Search results")));
        QVERIFY(visibleButton(section, QStringLiteral("Save search")));
        QTRY_VERIFY(shownLabelTexts(&section).contains(QStringLiteral("Understood as")));
    }

    void removingAChipRewritesTheQuery()
    {
        auto store = makeStore();
        BrowserSection section(*store);
        store->setQuery(QStringLiteral("pdfs over 5 mb"));
        const QStringList chips = store->parsedQuery().chips;
        QVERIFY(chips.size() >= 2);
        QToolButton *remove = nullptr;
        QTRY_VERIFY((remove = section.findChild<QToolButton *>()) != nullptr);
        remove->click();
        QCOMPARE(store->parsedQuery().chips.size(), chips.size() - 1);
        QVERIFY(!store->parsedQuery().chips.contains(chips.first()));
    }

    void sortPickerIsBoundToSort()
    {
        auto store = makeStore();
        BrowserSection section(*store);
        auto *sort = section.findChild<QComboBox *>();
        QVERIFY(sort);
        store->setSort(QStringLiteral("Largest"));
        QCOMPARE(sort->currentText(), QStringLiteral("Largest"));
    }

    // While a scan runs, an empty list is not yet "nothing here".
    void emptyStateWhileScanning()
    {
        Probe probe;
        LibraryStore store(setup(m_environment.newSettingsFile(), probe.workers({ QStringLiteral("scan") })));
        store.navigate(place(u"Videos"));
        store.setRoots({ "/nowhere" });
        store.refresh();
        BrowserSection section(store);
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("Reading your folders…")));
        probe.gate.open();
        QTRY_VERIFY(shownLabelTexts(&section).contains(QStringLiteral("Nothing here yet")));
    }

    // navigate() changes destination, query, selection and source filter: one reset.
    void oneResetPerChange()
    {
        auto store = makeStore();
        FileListModel model(*store);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
        store->setQuery(QStringLiteral("jpg"));
        store->navigate(place(u"Documents"));
        QTRY_COMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 1);
        store->setSort(QStringLiteral("Name"));
        QTRY_COMPARE(resets.count(), 2);
        store->setSelectedIDs({ "/lib/b.pdf" }); // selection alone is painted, not reset
        QCoreApplication::processEvents();
        QCOMPARE(resets.count(), 2);
        QCOMPARE(inserts.count(), 0);
        QCOMPARE(model.data(model.index(0), Qt::AccessibleTextRole).toString(), QStringLiteral("b.pdf"));
    }

    // 50,000 files: one reset, the view asks for thumbnails of the visible tiles only, and
    // withdraws them when scrolled away.
    void largeListRequestsVisibleThumbnailsOnly()
    {
        auto store = makeStore();
        store->navigate(place(u"Recents"));
        BrowserSection section(*store);
        QVERIFY(exposed(section, { 1000, 700 }));
        QSignalSpy resets(&section.model(), &QAbstractItemModel::modelReset);
        store->setFiles(manyFiles(50'000));
        QTRY_COMPARE(resets.count(), 1);
        QCOMPARE(section.model().rowCount(), 50'000);
        QTRY_VERIFY(section.view().pendingThumbnails() > 0);
        QVERIFY(section.view().pendingThumbnails() < 60);
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("50000 files")));

        section.view().verticalScrollBar()->setValue(section.view().verticalScrollBar()->maximum() / 2);
        QTRY_VERIFY(section.view().pendingThumbnails() > 0);
        QVERIFY(section.view().pendingThumbnails() < 60);
    }

    void clickInTheViewSelectsThroughTheStore()
    {
        auto store = makeStore();
        store->navigate(place(u"Recents"));
        BrowserSection section(*store);
        QVERIFY(exposed(section, { 1000, 700 }));
        FileView &view = section.view();
        QTRY_VERIFY(view.visualRect(section.model().index(1)).isValid());
        const QPoint second = view.visualRect(section.model().index(1)).center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, second);
        QCOMPARE(store->selectedIDs(), QSet<QByteArray> { section.model().record(1).path });
        const QPoint first = view.visualRect(section.model().index(0)).center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, first);
        QCOMPARE(store->selectedIDs().size(), 2);
        QVERIFY(view.selectionModel()->selectedIndexes().isEmpty());
        QTest::keyClick(&view, Qt::Key_Right);
        QCOMPARE(store->selectedIDs().size(), 1);

        // The text button of an image tile copies its text and leaves the selection alone.
        const int image = section.model().rowOf("/lib/a.jpg");
        const QRect tile(view.visualRect(section.model().index(image)).topLeft(),
            view.itemDelegate()->sizeHint({}, section.model().index(image)));
        const QSet<QByteArray> before = store->selectedIDs();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier,
            FilePainter::textButtonRect(tile, int(store->tileSize())).center());
        QVERIFY(store->copyingText());
        QCOMPARE(store->selectedIDs(), before);
        QTRY_VERIFY(!store->copyingText());

        // Rows replace tiles in list mode, one per line.
        store->setListMode(true);
        QTRY_COMPARE(view.visualRect(section.model().index(1)).top(), view.visualRect(section.model().index(0)).bottom() + 1);
    }
};

QTEST_MAIN(BrowserSectionTest)
#include "browsersectiontest.moc"
