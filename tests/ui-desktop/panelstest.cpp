#include "desktoptesting.h"
#include "ui-frame/frametesting.h"

#include "ui/desktop/downloadspanel.h"
#include "ui/desktop/downloadstray.h"
#include "ui/desktop/quicksearchmodel.h"
#include "ui/desktop/quicksearchpanel.h"
#include "ui/desktop/quicksearchview.h"
#include "ui/desktop/settingswindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTest>

using namespace DesktopTesting;
using namespace FrameTesting;

namespace {

// `count` documents named report-NN.pdf, and one unrelated file.
QList<FileRecord> reports(int count)
{
    QList<FileRecord> files;
    for (int i = 0; i < count; ++i)
        files.append(StoreTesting::record(QStringLiteral("/lib/report-%1.pdf").arg(i, 2, 10, QLatin1Char('0')).toUtf8(),
            FileKind::documents, 1000 + i));
    files.append(StoreTesting::record("/lib/holiday.jpg", FileKind::images, 5000));
    return files;
}

QuickSearchView &openPanel(Desk &desk)
{
    desk.services.toggleSearch();
    return desk.services.panel()->view();
}

QLineEdit *field(const QuickSearchView &view)
{
    return view.findChild<QLineEdit *>();
}

} // namespace

Q_DECLARE_METATYPE(Qt::Key)

// The quick search panel, the tray's downloads list and the settings window's controls.
class PanelsTest : public QObject
{
    Q_OBJECT

    StoreTesting::StoreEnvironment m_environment;

private Q_SLOTS:
    void panelIsMadeOnceAndKeepsItsQuery()
    {
        Desk desk(m_environment);
        QuickSearchView &view = openPanel(desk);
        QuickSearchPanel *panel = desk.services.panel();
        QVERIFY(panel->isVisible());
        QTest::keyClicks(field(view), QStringLiteral("report"));
        QTest::keyClick(field(view), Qt::Key_Escape);
        QVERIFY(!panel->isVisible());
        desk.services.toggleSearch();
        QCOMPARE(desk.services.panel(), panel);
        QCOMPARE(view.query(), QStringLiteral("report"));
        desk.services.toggleSearch();
        QVERIFY(!panel->isVisible());
    }

    void highlightMoves_data()
    {
        QTest::addColumn<int>("matches");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("highlight");
        QTest::addColumn<int>("rows");

        QTest::newRow("Down stops at the last row") << 3 << QList<int> { Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down } << 2 << 3;
        QTest::newRow("Up stops at the first row") << 3 << QList<int> { Qt::Key_Down, Qt::Key_Up, Qt::Key_Up } << 0 << 3;
        QTest::newRow("Down with no results stays at 0") << 0 << QList<int> { Qt::Key_Down } << 0 << 0;
        QTest::newRow("typing resets the highlight") << 5 << QList<int> { Qt::Key_Down, Qt::Key_Down, Qt::Key_T } << 0 << 5;
        QTest::newRow("35 matches show 20 rows") << 35 << QList<int> { Qt::Key_End } << 0 << 20;
        QTest::newRow("Down reaches the 20th row, no further")
            << 35 << QList<int>(25, Qt::Key_Down) << 19 << 20;
    }

    void highlightMoves()
    {
        QFETCH(int, matches);
        QFETCH(QList<int>, keys);
        QFETCH(int, highlight);
        QFETCH(int, rows);

        Desk desk(m_environment);
        desk.store.setFiles(reports(matches));
        QuickSearchView &view = openPanel(desk);
        // "repor" matches every report, and so does "report" after a typed T.
        QTest::keyClicks(field(view), matches ? QStringLiteral("repor") : QStringLiteral("nothing like this"));
        for (const int key : keys)
            QTest::keyClick(field(view), Qt::Key(key));
        QCOMPARE(view.results().rowCount(), rows);
        QCOMPARE(view.highlight(), highlight);
    }

    // The results follow the library: searched again when shown and on every change while shown,
    // keeping the highlighted file highlighted where it still is among them.
    void resultsFollowTheLibrary_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("highlighted");
        QTest::newRow("files changed while hidden")
            << QStringLiteral("hidden") << QStringLiteral("report") << 4 << QStringLiteral("report-00.pdf");
        QTest::newRow("files changed while shown")
            << QStringLiteral("shown") << QStringLiteral("report") << 4 << QStringLiteral("report-01.pdf");
        QTest::newRow("the text index changed while shown")
            << QStringLiteral("index") << QStringLiteral("zebra") << 1 << QStringLiteral("report-01.pdf");
    }

    void resultsFollowTheLibrary()
    {
        QFETCH(QString, change);
        QFETCH(QString, query);
        Desk desk(m_environment);
        desk.store.setFiles(reports(3));
        QuickSearchView &view = openPanel(desk);
        QTest::keyClicks(field(view), query);
        QTest::keyClick(field(view), Qt::Key_Down);
        if (change == u"hidden") {
            QTest::keyClick(field(view), Qt::Key_Escape);
            desk.store.setFiles(reports(4));
            desk.services.toggleSearch();
        } else if (change == u"shown") {
            FileRecord newest = StoreTesting::record("/lib/report-new.pdf", FileKind::documents, 1, Timestamp::now());
            desk.store.setFiles(QList<FileRecord> { newest } + reports(3));
        } else {
            desk.store.setTextIndex(
                { { "/lib/report-01.pdf", TextEntry { 0, 0, QStringLiteral("zebra crossing"), false } } });
        }
        QTEST(view.results().rowCount(), "rows");
        QTEST(view.results().file(view.highlight()).name(), "highlighted");
    }

    void emptyLineAndChips()
    {
        Desk desk(m_environment);
        desk.store.setFiles(reports(2));
        QuickSearchView &view = openPanel(desk);
        const QString empty = QStringLiteral("No matching files in your chosen folders.");
        QVERIFY(!shownLabelTexts(&view).contains(empty));
        view.setQuery(QStringLiteral("zebra"));
        QVERIFY(shownLabelTexts(&view).contains(empty));
        view.setQuery(QStringLiteral("report"));
        QVERIFY(!shownLabelTexts(&view).contains(empty));
        QCOMPARE(view.results().rowCount(), 2);
        QVERIFY(named<QWidget>(&view, QStringLiteral("Clear"))->isVisibleTo(&view));
        view.setQuery(QString());
        QVERIFY(!named<QWidget>(&view, QStringLiteral("Clear"))->isVisibleTo(&view));
    }

    void ctrlReturnShowsTheFileInTheMainWindow_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("the highlighted file") << QStringLiteral("report");
        QTest::newRow("no results: nothing happens") << QStringLiteral("nothing");
    }

    void ctrlReturnShowsTheFileInTheMainWindow()
    {
        QFETCH(QString, query);
        Desk desk(m_environment);
        desk.store.setFiles(reports(3));
        QuickSearchView &view = openPanel(desk);
        QTest::keyClicks(field(view), query);
        QTest::keyClick(field(view), Qt::Key_Down);
        const bool found = view.results().rowCount() > 0;
        const FileRecord chosen = found ? view.results().file(1) : FileRecord();
        QTest::keyClick(field(view), Qt::Key_Return, Qt::ControlModifier);

        QCOMPARE(desk.mainOpened, found ? 1 : 0);
        QCOMPARE(desk.services.panel()->isVisible(), !found);
        if (found) {
            QCOMPARE(desk.store.query(), query);
            QCOMPARE(desk.store.selection(), std::optional<QByteArray>(chosen.path));
            QCOMPARE(desk.store.selectedIDs(), QSet<QByteArray> { chosen.path });
            QVERIFY(desk.store.showInspector());
        }
    }

    void trayFollowsTheSetting()
    {
        Desk desk(m_environment);
        QVERIFY(desk.services.tray()->icon());
        desk.store.setMenuBarEnabled(false);
        QVERIFY(!desk.services.tray()->icon());
        desk.store.setMenuBarEnabled(true);
        QVERIFY(desk.services.tray()->icon());
    }

    void downloadsList_data()
    {
        QTest::addColumn<int>("downloads");
        QTest::addColumn<int>("rows");
        QTest::newRow("no downloads: the empty line") << 0 << 0;
        QTest::newRow("14 downloads give 10 rows") << 14 << 10;
    }

    void downloadsList()
    {
        QFETCH(int, downloads);
        QFETCH(int, rows);
        Desk desk(m_environment);
        QList<FileRecord> files = reports(3);
        for (int i = 0; i < downloads; ++i)
            files.append(download(QStringLiteral("/lib/dl-%1.zip").arg(i).toUtf8(), 1'700'000'000 + i));
        desk.store.setFiles(files);
        desk.services.tray()->showPanel(QPoint(10, 10));
        DownloadsPanel *panel = desk.services.tray()->panel();
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->rowCount(), rows);
        QCOMPARE(shownLabelTexts(panel).contains(QStringLiteral("Add Downloads to your library to see new files here.")), rows == 0);
        if (rows > 0) {
            // Newest first: the last one made heads the list.
            QVERIFY(named<QWidget>(panel, QStringLiteral("dl-%1.zip").arg(downloads - 1)));
            QVERIFY(!named<QWidget>(panel, QStringLiteral("dl-0.zip")));
        }
    }

    void showInTessaryFromTheDownloadsList()
    {
        Desk desk(m_environment);
        const FileRecord file = download("/lib/dl.zip", 1'700'000'000);
        desk.store.setFiles({ file });
        desk.services.tray()->showPanel(QPoint(10, 10));
        DownloadsPanel *panel = desk.services.tray()->panel();
        QCOMPARE(desk.services.setShortcut(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier),
            DesktopServices::Recording::stored);
        QVERIFY(named<QPushButton>(panel, QStringLiteral("Quick Search  Alt+Ctrl+K")));
        named<QAbstractButton>(panel, QStringLiteral("Show in Tessary"))->click();
        QCOMPARE(desk.store.destination().key(), QStringLiteral("Recents"));
        QCOMPARE(desk.store.selection(), std::optional<QByteArray>(file.path));
        QCOMPARE(desk.mainOpened, 1);
        QVERIFY(!panel->isVisible());
    }

    void rulesButtonNeedsARule()
    {
        Desk desk(m_environment);
        desk.services.showSettings();
        SettingsWindow *window = desk.services.settingsWindow();
        auto *run = named<QPushButton>(window, QStringLiteral("Run enabled rules now"));
        QVERIFY(run && !run->isEnabled());
        named<QCheckBox>(window, QStringLiteral("Organize screenshots into Screenshots/year-month folders"))->click();
        QVERIFY(desk.store.autoScreenshots());
        QVERIFY(run->isEnabled());
        desk.store.setAutoScreenshots(false);
        QVERIFY(!run->isEnabled());
        desk.store.setAutoInstallers(true);
        QVERIFY(run->isEnabled());
    }

    void thumbnailSliderStaysOnTheGrid()
    {
        Desk desk(m_environment);
        desk.services.showSettings();
        auto *slider = named<QSlider>(desk.services.settingsWindow(), QStringLiteral("Thumbnail size"));
        QVERIFY(slider);
        QList<double> sizes;
        for (const int action : { QAbstractSlider::SliderToMinimum, QAbstractSlider::SliderSingleStepSub,
                 QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderToMaximum,
                 QAbstractSlider::SliderSingleStepAdd }) {
            slider->triggerAction(QAbstractSlider::SliderAction(action));
            sizes.append(desk.store.tileSize());
        }
        QCOMPARE(sizes, (QList<double> { 110, 110, 120, 260, 260 }));
        desk.store.setTileSize(200);
        QCOMPARE(slider->value() * SettingsWindow::kTileSizeStep, 200);
    }
};

QTEST_MAIN(PanelsTest)
#include "panelstest.moc"
