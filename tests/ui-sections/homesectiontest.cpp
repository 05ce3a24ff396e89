#include "store/storetesting.h"
#include "ui-frame/frametesting.h"
#include "ui/sections/filesurface.h"
#include "ui/sections/foldercard.h"
#include "ui/sections/homesection.h"
#include "ui/sections/summarycard.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace StoreTesting;
using namespace FrameTesting;

namespace {

// The widgets of `section` of type T that would be shown.
template <typename T> QList<T *> shown(QWidget &section)
{
    QList<T *> found = section.findChildren<T *>();
    found.removeIf([&section](const T *widget) { return !widget->isVisibleTo(&section); });
    return found;
}

QPushButton *button(QWidget &section, const QString &text)
{
    for (QPushButton *push : shown<QPushButton>(section))
        if (push->text() == text)
            return push;
    return nullptr;
}

SummaryCard *card(QWidget &section, const QString &title)
{
    for (SummaryCard *found : shown<SummaryCard>(section))
        if (found->title() == title)
            return found;
    return nullptr;
}

QStringList stripTitles(QWidget &section)
{
    QStringList titles;
    for (QLabel *label : shown<QLabel>(section))
        if (label->text().startsWith(u"Recent "))
            titles << label->text();
    return titles;
}

} // namespace

class HomeSectionTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;

private Q_SLOTS:
    void cleanup() { settle(); }

    void greetingFromTheClock_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("11:59") << QTime(11, 59) << QStringLiteral("Good morning.");
        QTest::newRow("noon") << QTime(12, 0) << QStringLiteral("Good afternoon.");
        QTest::newRow("16:59") << QTime(16, 59) << QStringLiteral("Good afternoon.");
        QTest::newRow("17:00") << QTime(17, 0) << QStringLiteral("Good evening.");
    }
    void greetingFromTheClock()
    {
        QFETCH(QTime, time);
        QFETCH(QString, greeting);
        LibraryStore store(setup(m_environment.newSettingsFile()));
        HomeSection section(store);
        section.setClock([time] { return QDateTime(QDate(2026, 3, 1), time); });
        QVERIFY(shownLabelTexts(&section).contains(greeting));
    }

    void onboardingUntilAFolderIsAdded()
    {
        Probe probe;
        LibraryStore store(setup(m_environment.newSettingsFile(), probe.workers()));
        HomeSection section(store);
        QVERIFY(!button(section, QStringLiteral("Refresh"))->isEnabled());
        QVERIFY(button(section, QStringLiteral("Choose folders…")));
        QVERIFY(shown<FolderCard>(section).isEmpty());

        store.setRoots({ "/lib" });
        store.setFiles({ record("/lib/a.jpg", FileKind::images, 1'500) });
        QTRY_VERIFY(!button(section, QStringLiteral("Choose folders…")));
        QCOMPARE(shown<FolderCard>(section).size(), 7);
        QVERIFY(button(section, QStringLiteral("Refresh"))->isEnabled());
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("1 files · 2 KB in your library")));
        QCOMPARE(card(section, QStringLiteral("Images"))->value(), QStringLiteral("1 files"));
    }

    void recentStripsOnlyForKindsWithFiles()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setRoots({ "/lib" });
        QList<FileRecord> files;
        for (int i = 0; i < 14; ++i)
            files << record("/lib/p" + QByteArray::number(i) + ".png", FileKind::images);
        files << record("/lib/a.zip", FileKind::archives);
        store.setFiles(files);
        HomeSection section(store);
        QCOMPARE(stripTitles(section), QStringList { QStringLiteral("Recent images") });
        const QList<FileSurface *> tiles = shown<FileSurface>(section);
        QCOMPARE(tiles.size(), 10);
        QCOMPARE(tiles.first()->accessibleName(), QStringLiteral("p0.png"));

        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(tiles.at(3));
        QVERIFY(accessible);
        QCOMPARE(accessible->role(), QAccessible::Button);
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("p3.png"));
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(store.selectedIDs(), QSet<QByteArray> { "/lib/p3.png" });

        // Clicks on the strip's tiles follow the same rules as the browser's.
        QTest::mouseClick(tiles.at(0), Qt::LeftButton, Qt::ControlModifier, QPoint(10, 10));
        QCOMPARE(store.selectedIDs().size(), 2);
        QTest::mouseClick(tiles.at(0), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(store.selectedIDs(), QSet<QByteArray> { "/lib/p0.png" });
    }

    // The strip shows the library's first files of its kind after every change, whether its tiles are kept or made
    // again: a file joining in front, a record gaining its media facts, fewer files.
    void recentTilesFollowTheLibrary()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setRoots({ "/lib" });
        const auto image = [](int n, qint64 seconds) {
            return record("/lib/p" + QByteArray::number(n) + ".png", FileKind::images, 0, Timestamp::fromUnix(seconds));
        };
        QList<FileRecord> files;
        for (int i = 0; i < 12; ++i)
            files << image(i, 1'700'000'000 + i);
        store.setFiles(files);
        HomeSection section(store);
        // Compared once the store's counts are made for the files: before, it names no file.
        const auto tilesShowTheFirst = [&store, &section] {
            QList<FileRecord> onTiles;
            for (FileSurface *tile : shown<FileSurface>(section))
                onTiles << (tile->accessibleName() == tile->file().name() ? tile->file() : FileRecord());
            return store.viewsPrepared() && onTiles == store.leadingFiles(FileKind::images, 10);
        };
        QTRY_VERIFY(tilesShowTheFirst());
        files.prepend(image(12, 1'800'000'000));
        store.setFiles(files);
        QTRY_VERIFY(tilesShowTheFirst());
        files.first().dimensions = QStringLiteral("640 × 480");
        store.setFiles(files);
        QTRY_VERIFY(tilesShowTheFirst());
        files = files.mid(10);
        store.setFiles(files);
        QTRY_VERIFY(tilesShowTheFirst());
        QCOMPARE(shown<FileSurface>(section).size(), 3);
    }

    // Tiles follow the thumbnail size, and the strip's height follows its tiles.
    void recentTilesFollowTheThumbnailSize()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setRoots({ "/lib" });
        store.setFiles({ record("/lib/a.png", FileKind::images), record("/lib/b.mp4", FileKind::videos) });
        HomeSection section(store);
        QVERIFY(exposed(section, { 900, 700 }));
        for (const double size : { 220.0, 110.0 }) {
            store.setTileSize(size);
            QTRY_VERIFY(!section.findChildren<FileSurface *>().isEmpty());
            for (FileSurface *tile : section.findChildren<FileSurface *>()) {
                QTRY_COMPARE(tile->width(), int(size));
                // The strip's viewport shows the whole tile.
                QTRY_VERIFY(tile->parentWidget()->parentWidget()->height() >= tile->height());
            }
        }
    }

    void duplicatesCardBeforeAndAfterAScan()
    {
        Probe probe;
        LibraryStore store(setup(m_environment.newSettingsFile(), probe.workers()));
        store.setRoots({ "/lib" });
        store.setFiles({ record("/lib/a.txt", FileKind::documents, 10) });
        HomeSection section(store);
        QCOMPARE(card(section, QStringLiteral("Duplicates"))->value(), QStringLiteral("Scan to find"));
        store.findDuplicates();
        QTRY_VERIFY(store.duplicatesChecked());
        QTRY_COMPARE(card(section, QStringLiteral("Duplicates"))->value(), QStringLiteral("Zero KB"));
        card(section, QStringLiteral("Duplicates"))->click();
        QCOMPARE(store.destination().key(), QStringLiteral("Duplicates"));
    }

    void sourcesStripCountsFilesPerSource()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setRoots({ "/lib" });
        FileRecord a = record("/lib/a.pdf", FileKind::documents);
        a.source = QStringLiteral("example.org");
        FileRecord b = record("/lib/b.pdf", FileKind::documents);
        b.source = QStringLiteral("www.example.org");
        store.setFiles({ a, b });
        HomeSection section(store);
        const QString name = *a.sourceName();
        QCOMPARE(*b.sourceName(), name);
        QPushButton *chip = button(section, name + QStringLiteral("   2 files"));
        QVERIFY(chip);
        chip->click();
        QCOMPARE(store.destination().key(), QStringLiteral("source:") + name);
    }
};

QTEST_MAIN(HomeSectionTest)
#include "homesectiontest.moc"
