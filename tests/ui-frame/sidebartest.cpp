#include "ui/frame/sidebar.h"

#include "frametesting.h"
#include "ui/frame/sidebarentry.h"

#include <QAction>
#include <QTest>

using namespace StoreTesting;
using namespace FrameTesting;

namespace {

QStringList titles(const QList<SidebarEntry *> &entries)
{
    QStringList result;
    for (const SidebarEntry *entry : entries)
        result.append(entry->text());
    return result;
}

SidebarEntry *entryTitled(const Sidebar &sidebar, const QString &title)
{
    const QList<SidebarEntry *> entries = sidebar.entries();
    for (SidebarEntry *entry : entries)
        if (entry->text() == title)
            return entry;
    return nullptr;
}

void trigger(SidebarEntry *entry, const QString &actionText)
{
    QVERIFY(entry);
    const QList<QAction *> actions = entry->actions();
    QCOMPARE(actions.size(), 1);
    QCOMPARE(actions.first()->text(), actionText);
    actions.first()->trigger();
}

} // namespace

class SidebarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sections_data()
    {
        QTest::addColumn<QStringList>("pinned");
        QTest::addColumn<QByteArrayList>("roots");
        QTest::addColumn<QStringList>("searches");
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<QStringList>("lowerEntries");

        QTest::newRow("empty library: LOCATIONS with only Add folder")
            << QStringList() << QByteArrayList() << QStringList() << strings({ "LIBRARY", "LOCATIONS" })
            << strings({ "Add folder" });
        QTest::newRow("pins, folders and searches in stored order")
            << strings({ "/home/ada/Projects/", "/home/ada/Photos" }) << QByteArrayList { "/home/ada/Downloads", "/" }
            << strings({ "pdfs from last week", "big videos" })
            << strings({ "LIBRARY", "PINNED", "LOCATIONS", "SAVED SEARCHES" })
            << strings({ "Projects", "Photos", "Downloads", "/", "Add folder", "pdfs from last week", "big videos" });
    }

    void sections()
    {
        QFETCH(QStringList, pinned);
        QFETCH(QByteArrayList, roots);
        QFETCH(QStringList, searches);
        QFETCH(QStringList, lowerEntries);
        LibraryStore store(setup(m_environment.newSettingsFile()));
        Sidebar sidebar(store);
        store.setPinnedPaths(pinned);
        store.setRoots(roots);
        for (const QString &search : std::as_const(searches)) {
            store.setQuery(search);
            store.saveSearch();
        }

        QStringList headings;
        for (const QString &text : shownLabelTexts(&sidebar))
            if (text == text.toUpper() && text != u"/")
                headings.append(text);
        QTEST(headings, "headings");
        // Below the fixed places, in their stored order.
        const QStringList entries = titles(sidebar.entries());
        QCOMPARE(entries.mid(entries.size() - lowerEntries.size()), lowerEntries);
    }

    void kindCountsFollowFiles()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        Sidebar sidebar(store);
        store.setFiles({ record("/l/a.png", FileKind::images), record("/l/b.jpg", FileKind::images),
            record("/l/c.mp3", FileKind::music) });
        QTRY_COMPARE(entryTitled(sidebar, QStringLiteral("Images"))->countText(), QStringLiteral("2"));
        QCOMPARE(entryTitled(sidebar, QStringLiteral("Music"))->countText(), QStringLiteral("1"));
        // A kind without files shows no count at all, not "0".
        QCOMPARE(entryTitled(sidebar, QStringLiteral("Videos"))->countText(), QString());
        QCOMPARE(entryTitled(sidebar, QStringLiteral("Home"))->countText(), QString());

        store.setFiles({ record("/l/c.mp3", FileKind::music) });
        QTRY_COMPARE(entryTitled(sidebar, QStringLiteral("Images"))->countText(), QString());
        QCOMPARE(entryTitled(sidebar, QStringLiteral("Music"))->countText(), QStringLiteral("1"));
    }

    void highlight_data()
    {
        textColumns({ "destination", "query", "highlighted" });
        textRow("home", { "Home", "", "Home" });
        textRow("a kind", { "Documents", "", "Documents" });
        textRow("pinned folder by full path", { "folder:/home/ada/Projects", "", "Projects" });
        textRow("library folder", { "folder:/home/ada/Downloads", "", "Downloads" });
        textRow("a query removes the highlight", { "Duplicates", "pdfs", "" });
        textRow("a destination without entry", { "source:github.com", "", "" });
    }

    void highlight()
    {
        QFETCH(QString, destination);
        QFETCH(QString, query);
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setPinnedPaths({ QStringLiteral("/home/ada/Projects") });
        store.setRoots({ "/home/ada/Downloads" });
        Sidebar sidebar(store);
        store.setDestination(place(destination));
        store.setQuery(query);

        QStringList lit;
        for (const SidebarEntry *entry : sidebar.entries())
            if (entry->isHighlighted())
                lit.append(entry->text());
        QFETCH(QString, highlighted);
        QCOMPARE(lit, highlighted.isEmpty() ? QStringList() : QStringList { highlighted });
    }

    void clickingNavigates()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setPinnedPaths({ QStringLiteral("/home/ada/Projects") });
        Sidebar sidebar(store);
        store.setQuery(QStringLiteral("old text"));
        QTest::mouseClick(entryTitled(sidebar, QStringLiteral("Projects")), Qt::LeftButton);
        QCOMPARE(store.destination().key(), QStringLiteral("folder:/home/ada/Projects"));
        QCOMPARE(store.query(), QString());
        entryTitled(sidebar, QStringLiteral("Archives"))->click();
        QCOMPARE(store.destination().key(), QStringLiteral("Archives"));

        // A saved search only fills the query; the destination stays.
        store.setQuery(QStringLiteral("big videos"));
        store.saveSearch();
        store.setQuery(QString());
        entryTitled(sidebar, QStringLiteral("big videos"))->click();
        QCOMPARE(store.query(), QStringLiteral("big videos"));
        QCOMPARE(store.destination().key(), QStringLiteral("Archives"));
    }

    void contextMenus()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        store.setPinnedPaths({ QStringLiteral("/a"), QStringLiteral("/a/b"), QStringLiteral("/c") });
        store.setRoots({ "/r1", "/r2" });
        store.setQuery(QStringLiteral("keep me"));
        store.saveSearch();
        Sidebar sidebar(store);

        // Only the chosen path goes, not the folders inside or around it.
        trigger(entryTitled(sidebar, QStringLiteral("a")), QStringLiteral("Unpin"));
        QCOMPARE(store.pinnedPaths(), strings({ "/a/b", "/c" }));
        QCOMPARE(titles(sidebar.entries()).mid(14, 2), strings({ "b", "c" }));

        trigger(entryTitled(sidebar, QStringLiteral("r1")), QStringLiteral("Remove from library"));
        QCOMPARE(store.roots(), QByteArrayList { "/r2" });
        QVERIFY(!entryTitled(sidebar, QStringLiteral("r1")));

        trigger(entryTitled(sidebar, QStringLiteral("keep me")), QStringLiteral("Remove saved search"));
        QVERIFY(store.savedSearches().isEmpty());
        QVERIFY(!shownLabelTexts(&sidebar).contains(QStringLiteral("SAVED SEARCHES")));
        settle();
    }

    void keyboard()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        Sidebar sidebar(store);
        QVERIFY(exposed(sidebar));
        SidebarEntry *home = entryTitled(sidebar, QStringLiteral("Home"));
        home->setFocus();
        QTest::keyClick(home, Qt::Key_Up);
        QVERIFY(home->hasFocus());
        QTest::keyClick(home, Qt::Key_Down);
        SidebarEntry *recents = entryTitled(sidebar, QStringLiteral("Recents"));
        QVERIFY(recents->hasFocus());
        QTest::keyClick(recents, Qt::Key_Return);
        QCOMPARE(store.destination().key(), QStringLiteral("Recents"));
        QTest::keyClick(recents, Qt::Key_Down);
        QVERIFY(entryTitled(sidebar, QStringLiteral("Images"))->hasFocus());
    }

private:
    StoreEnvironment m_environment;
};

QTEST_MAIN(SidebarTest)
#include "sidebartest.moc"
