// The content view: the compact rule, the section shown for each destination and search, the
// sidebar highlight following both, and Ctrl+F reaching the search field.

#include "storetesting.h"
#include "ui/frame/inspector.h"
#include "ui/frame/sidebar.h"
#include "ui/frame/sidebarentry.h"
#include "ui/frame/toolbar.h"
#include "ui/shell/contentview.h"
#include "ui/shell/mainwindow.h"

#include <QLineEdit>
#include <QTest>

using namespace StoreTesting;

Q_DECLARE_METATYPE(SectionRoute)

namespace {

QString highlighted(const Sidebar &sidebar)
{
    QStringList keys;
    for (const SidebarEntry *entry : sidebar.entries()) {
        if (entry->isHighlighted())
            keys.append(entry->key());
    }
    return keys.join(u',');
}

} // namespace

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
    view.resize(1240, 700);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
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
    QCOMPARE(routeFor(query, destination), route);
    LibraryStore store(setup(m_environment.newSettingsFile()));
    ContentView view(store);
    store.navigate(destination);
    store.setQuery(query);
    QCOMPARE(view.route(), route);
    QVERIFY(view.currentSection() != nullptr);
}

void ContentViewTest::typingOnDuplicatesShowsTheBrowser()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    ContentView view(store);
    view.resize(1240, 700);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    store.navigate(QStringLiteral("Duplicates"));
    QCOMPARE(highlighted(view.sidebar()), QStringLiteral("Duplicates"));
    QWidget *duplicates = view.currentSection();

    view.focusSearch();
    QTest::keyClicks(view.toolbar().searchField(), QStringLiteral("pdf"));
    QCOMPARE(store.query(), QStringLiteral("pdf"));
    QCOMPARE(view.route(), SectionRoute::browser);
    QVERIFY(view.currentSection() != duplicates);
    QCOMPARE(highlighted(view.sidebar()), QString());
    // Typing goes on in the field while the section changes under it.
    QVERIFY(view.toolbar().searchField()->hasFocus());

    store.setQuery(QString());
    QCOMPARE(view.route(), SectionRoute::duplicates);
    QCOMPARE(view.currentSection(), duplicates);
    QCOMPARE(highlighted(view.sidebar()), QStringLiteral("Duplicates"));
}

void ContentViewTest::findKeyFocusesTheSearchField()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    MainWindow window(store);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
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
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

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

QTEST_MAIN(ContentViewTest)
#include "contentviewtest.moc"
