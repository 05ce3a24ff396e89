#include "ui/frame/inspector.h"

#include "frametesting.h"

#include <QPushButton>
#include <QTest>

using namespace StoreTesting;
using namespace FrameTesting;

Q_DECLARE_METATYPE(FileRecord)

namespace {

FileRecord photo()
{
    FileRecord file = record("/home/ada/Pictures/IMG_0001.jpg", FileKind::images, 2'400'000);
    file.source = QStringLiteral("www.flickr.com");
    file.dimensions = QStringLiteral("4032 \u00d7 3024");
    file.duration = 12.34;
    file.camera = QStringLiteral("Pixel 8");
    file.tags = strings({ "Holiday", "Family" });
    return file;
}

QStringList labels(const QList<Inspector::Detail> &details)
{
    QStringList result;
    for (const Inspector::Detail &detail : details)
        result.append(detail.label);
    return result;
}

} // namespace

class InspectorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void details_data()
    {
        QTest::addColumn<FileRecord>("file");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("values");

        QTest::newRow("bare document: source not recorded, optional rows left out")
            << record("/docs/plan.pdf", FileKind::documents, 1500)
            << strings({ "Kind", "Size", "Modified", "Source", "Location" })
            << strings({ "Documents", "2 KB", "*", "Not recorded", "/docs/plan.pdf" });
        QTest::newRow("photo with every detail")
            << photo()
            << strings({ "Kind", "Size", "Modified", "Source", "Dimensions", "Duration", "Camera", "Tags", "Location" })
            << strings({ "Images", "2.4 MB", "*", "flickr.com", "4032 \u00d7 3024", "12.3 seconds", "Pixel 8",
                   "Holiday, Family", "/home/ada/Pictures/IMG_0001.jpg" });
        FileRecord blank = photo();
        blank.camera = QString();
        blank.dimensions = QString();
        blank.tags.clear();
        blank.duration = 0.04;
        QTest::newRow("empty texts count as absent, zero duration does not")
            << blank << strings({ "Kind", "Size", "Modified", "Source", "Duration", "Location" })
            << strings({ "Images", "2.4 MB", "*", "flickr.com", "0.0 seconds", "/home/ada/Pictures/IMG_0001.jpg" });
    }

    void details()
    {
        QFETCH(FileRecord, file);
        QFETCH(QStringList, values);
        const QList<Inspector::Detail> rows
            = Inspector::details(file, QLocale(QLocale::English, QLocale::UnitedStates));
        QTEST(labels(rows), "labels");
        QCOMPARE(rows.size(), values.size());
        for (qsizetype i = 0; i < rows.size(); ++i)
            if (values[i] != u"*")
                QCOMPARE(rows[i].value, values[i]);
    }

    void dateText_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("US English") << QLocale(QLocale::English, QLocale::UnitedStates)
                                    << QStringLiteral("Jan 5, 2024, 3:04 PM");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << QStringLiteral("5. Jan. 2024, 15:04");
    }

    void dateText()
    {
        QFETCH(QLocale, locale);
        const QDateTime when(QDate(2024, 1, 5), QTime(15, 4, 30));
        QString text = Inspector::dateText(when, locale);
        text.replace(QChar(0x202f), u' ');
        QTEST(text, "expected");
    }

    void followsTheSelection()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        const FileRecord video = record("/v/clip.mp4", FileKind::videos);
        store.setFiles(
            { photo(), video, record("/a/pack.zip", FileKind::archives), record("/d/notes.txt", FileKind::documents) });
        Inspector inspector(store);
        QVERIFY(shownLabelTexts(&inspector).contains(QStringLiteral("Select a file to see its details.")));
        QVERIFY(!shown(named<QPushButton>(&inspector, QStringLiteral("Quick Look")), &inspector));

        const QList<std::pair<QByteArray, bool>> copyable { { "/home/ada/Pictures/IMG_0001.jpg", true },
            { "/v/clip.mp4", false }, { "/a/pack.zip", false }, { "/d/notes.txt", true } };
        for (const auto &[path, copies] : copyable) {
            store.setSelection(path);
            QVERIFY(shown(named<QPushButton>(&inspector, QStringLiteral("Show in Folder")), &inspector));
            QCOMPARE(shown(named<QPushButton>(&inspector, QStringLiteral("Copy text")), &inspector), copies);
            QVERIFY(shownLabelTexts(&inspector).contains(QString::fromUtf8(path)));
        }

        store.setSelection("/home/ada/Pictures/IMG_0001.jpg");
        QVERIFY(shownLabelTexts(&inspector).contains(QStringLiteral("Pixel 8")));
        // The selected record disappearing in a rescan empties the inspector.
        store.setFiles({ video });
        QVERIFY(shownLabelTexts(&inspector).contains(QStringLiteral("Select a file to see its details.")));
        QVERIFY(!shownLabelTexts(&inspector).contains(QStringLiteral("Pixel 8")));
    }

    void buttons()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        const FileRecord notes = record("/d/notes.txt", FileKind::documents);
        store.setFiles({ notes });
        store.setSelection(notes.path);
        Inspector inspector(store);

        named<QPushButton>(&inspector, QStringLiteral("Quick Look"))->click();
        QCOMPARE(store.preview(), std::optional<FileRecord>(notes));

        auto *copy = named<QPushButton>(&inspector, QStringLiteral("Copy text"));
        copy->click();
        QVERIFY(store.copyingText());
        QVERIFY(!copy->isEnabled());
        QTRY_VERIFY(!store.copyingText());
        QVERIFY(copy->isEnabled());
        QVERIFY(!store.textPreview());
        settle();
    }

private:
    StoreEnvironment m_environment;
};

QTEST_MAIN(InspectorTest)
#include "inspectortest.moc"
