// The content view: the compact rule, the section shown for each destination and search, and
// the keys it routes (Ctrl+F to the search field, Space, Up and Down).

#include "ui/shell/contentview.h"

#include "storetesting.h"
#include "ui-frame/frametesting.h"
#include "ui/frame/inspector.h"
#include "ui/frame/sidebar.h"
#include "ui/frame/toolbar.h"
#include "ui/sections/browsersection.h"
#include "ui/sections/filelistmodel.h"
#include "ui/sections/fileview.h"
#include "ui/shell/mainwindow.h"

#include <QLineEdit>
#include <QTest>

using namespace StoreTesting;
using namespace FrameTesting;

Q_DECLARE_METATYPE(SectionRoute)

class ContentViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compactRule_data();
    void compactRule();
    void routes_data();
    void routes();
    void typingOnDuplicatesShowsTheBrowser();
    void findKeyFocusesTheSearchField();
    void spaceShowsTheSelectedFile();
    void upAndDownMoveByTheRowShown_data();
    void upAndDownMoveByTheRowShown();
    void rowsAreFilledAtEveryWidth();

private:
    StoreEnvironment m_environment;
};

void ContentViewTest::compactRule_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("sidebar");
    QTest::addColumn<bool>("inspector");
    QTest::addColumn<bool>("sidebarShown");
    QTest::addColumn<bool>("inspectorShown");
    QTest::newRow("759_hides_both") << 759 << true << true << false << false;
    QTest::newRow("760_shows_both") << 760 << true << true << true << true;
    QTest::newRow("wide_keeps_stored_choice") << 1240 << false << true << false << true;
    QTest::newRow("narrow_hidden_stays_hidden") << 600 << false << false << false << false;
}

void ContentViewTest::compactRule()
{
    QFETCH(int, width);
    QFETCH(bool, sidebar);
    QFETCH(bool, inspector);
    LibraryStore store(setup(m_environment.newSettingsFile()));
    store.setShowSidebar(sidebar);
    store.setShowInspector(inspector);
    ContentView view(store);
    QVERIFY(exposed(view, { 1240, 700 }));
    view.resize(width, 700);
    QTRY_COMPARE(view.width(), width);
    QCOMPARE(view.isCompact(), width < 760);
    QTEST(view.sidebar().isVisible(), "sidebarShown");
    QTEST(view.inspector().isVisible(), "inspectorShown");
    // The compact rule never changes what the user chose.
    QCOMPARE(store.showSidebar(), sidebar);
    QCOMPARE(store.showInspector(), inspector);
    view.resize(1240, 700);
    QTRY_COMPARE(view.sidebar().isVisible(), sidebar);
    QCOMPARE(view.inspector().isVisible(), inspector);
}

void ContentViewTest::routes_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("query");
    QTest::addColumn<SectionRoute>("route");
    QTest::newRow("home") << QStringLiteral("Home") << QString() << SectionRoute::home;
    QTest::newRow("duplicates") << QStringLiteral("Duplicates") << QString() << SectionRoute::duplicates;
    QTest::newRow("clean_up") << QStringLiteral("Clean Up") << QString() << SectionRoute::cleanUp;
    QTest::newRow("sources") << QStringLiteral("Downloaded From") << QString() << SectionRoute::sources;
    QTest::newRow("kind") << QStringLiteral("Images") << QString() << SectionRoute::browser;
    QTest::newRow("folder") << QStringLiteral("folder:/home/ada/Downloads") << QString() << SectionRoute::browser;
    QTest::newRow("clean_up_category") << QStringLiteral("Old installers") << QString() << SectionRoute::browser;
    QTest::newRow("search_on_home") << QStringLiteral("Home") << QStringLiteral("pdfs") << SectionRoute::browser;
    QTest::newRow("blank_search_is_a_search") << QStringLiteral("Home") << QStringLiteral(" ") << SectionRoute::browser;
}

void ContentViewTest::routes()
{
    QFETCH(QString, destination);
    QFETCH(QString, query);
    QFETCH(SectionRoute, route);
    QCOMPARE(routeFor(query, place(destination)), route);
    LibraryStore store(setup(m_environment.newSettingsFile()));
    ContentView view(store);
    store.navigate(place(destination));
    store.setQuery(query);
    QCOMPARE(view.route(), route);
    QVERIFY(view.currentSection() != nullptr);
}

void ContentViewTest::typingOnDuplicatesShowsTheBrowser()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    ContentView view(store);
    QVERIFY(exposed(view, { 1240, 700 }));
    store.navigate(place(u"Duplicates"));
    QWidget *duplicates = view.currentSection();

    view.focusSearch();
    QTest::keyClicks(view.toolbar().searchField(), QStringLiteral("pdf"));
    QCOMPARE(store.query(), QStringLiteral("pdf"));
    QCOMPARE(view.route(), SectionRoute::browser);
    QVERIFY(view.currentSection() != duplicates);
    // Typing goes on in the field while the section changes under it.
    QVERIFY(view.toolbar().searchField()->hasFocus());

    store.setQuery(QString());
    QCOMPARE(view.route(), SectionRoute::duplicates);
    QCOMPARE(view.currentSection(), duplicates);
}

void ContentViewTest::findKeyFocusesTheSearchField()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    MainWindow window(store);
    QVERIFY(exposed(window));
    window.activateWindow();
    window.content().sidebar().setFocus();
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(window.content().toolbar().searchField()->hasFocus());
}

void ContentViewTest::spaceShowsTheSelectedFile()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    const FileRecord file = record("/library/report.pdf", FileKind::documents);
    store.setFiles({ file });
    store.setSelection(file.id());
    ContentView view(store);
    QVERIFY(exposed(view));

    // A space typed into the search field is text.
    view.focusSearch();
    QTest::keyClick(view.toolbar().searchField(), Qt::Key_Space);
    QVERIFY(!store.preview());
    store.setQuery(QString());

    // Where nothing takes the key, it shows the selected file.
    QTest::keyClick(view.currentSection(), Qt::Key_Space);
    QVERIFY(store.preview());
    QCOMPARE(store.preview()->path, file.path);
}

void ContentViewTest::upAndDownMoveByTheRowShown_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("inspector");
    QTest::addColumn<double>("tileSize");
    QTest::addColumn<bool>("listMode");
    // Below 760 the sidebar and inspector are hidden though switched on.
    QTest::newRow("narrow, panels hidden") << 740 << true << 110.0 << false;
    QTest::newRow("wide, sidebar and inspector") << 1240 << true << 170.0 << false;
    QTest::newRow("wide, sidebar only") << 1240 << false << 130.0 << false;
    QTest::newRow("list") << 900 << false << 170.0 << true;
}

void ContentViewTest::upAndDownMoveByTheRowShown()
{
    QFETCH(int, width);
    QFETCH(bool, inspector);
    QFETCH(double, tileSize);
    QFETCH(bool, listMode);
    LibraryStore store(setup(m_environment.newSettingsFile()));
    QList<FileRecord> files;
    for (int i = 0; i < 60; ++i)
        files.append(record(
            "/lib/f" + QByteArray::number(i) + ".txt", FileKind::documents, i, Timestamp::fromUnix(1'700'000'000 + i)));
    store.setFiles(files);
    store.setShowSidebar(true);
    store.setShowInspector(inspector);
    store.setTileSize(tileSize);
    store.setListMode(listMode);
    store.navigate(place(u"Recents"));
    ContentView content(store);
    QVERIFY(exposed(content, { width, 700 }));
    auto *browser = qobject_cast<BrowserSection *>(content.currentSection());
    QVERIFY(browser);
    FileView &view = browser->view();
    const auto rectOf
        = [&](const QByteArray &id) { return view.visualRect(browser->model().index(browser->model().rowOf(id))); };
    QTRY_VERIFY(rectOf(files.last().path).isValid());

    store.select(browser->model().record(1), LibraryStore::ClickModifier::none);
    const QByteArray start = *store.selection();
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Down);
    const QByteArray below = *store.selection();
    // The next file down is the one drawn straight under the first, in the next row.
    QCOMPARE(rectOf(below).left(), rectOf(start).left());
    QVERIFY(rectOf(below).top() > rectOf(start).top());
    QTest::keyClick(&view, Qt::Key_Up);
    QCOMPARE(*store.selection(), start);
}

void ContentViewTest::rowsAreFilledAtEveryWidth()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    QList<FileRecord> files;
    for (int i = 0; i < 30; ++i)
        files.append(record("/lib/f" + QByteArray::number(i) + ".txt", FileKind::documents, i));
    store.setFiles(files);
    store.setTileSize(110);
    store.navigate(place(u"Recents"));
    ContentView content(store);
    QVERIFY(exposed(content, { 740, 700 }));
    auto *browser = qobject_cast<BrowserSection *>(content.currentSection());
    QVERIFY(browser);
    FileView &view = browser->view();
    const auto firstRow = [&] {
        int cells = 0;
        const int top = view.visualRect(browser->model().index(0)).top();
        while (cells < files.size() && view.visualRect(browser->model().index(cells)).top() == top)
            ++cells;
        return cells;
    };
    // A whole cycle of the cell width, so some widths are filled exactly by the cells.
    for (int width = 740; width < 740 + 110 + 16; ++width) {
        content.resize(width, 700);
        QTRY_COMPARE(firstRow(), view.columns());
    }
}

QTEST_MAIN(ContentViewTest)
#include "contentviewtest.moc"
