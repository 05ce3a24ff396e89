#include "ui/frame/previewwindow.h"

#include "frametesting.h"
#include "ui/preview/quickpreview.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

using namespace StoreTesting;
using namespace FrameTesting;

class PreviewWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_store = std::make_unique<LibraryStore>(setup(m_environment.newSettingsFile()));
        m_files = { record("/l/a.txt", FileKind::documents), record("/l/b.png", FileKind::images),
            record("/l/c.pdf", FileKind::documents) };
        m_files[1].isCloudOnly = true;
        m_store->setFiles(m_files);
        m_store->navigate(place(u"Recents"));
        m_window = std::make_unique<QWidget>();
        m_window->show();
        m_preview = new PreviewWindow(*m_store, m_window.get());
    }

    void cleanup()
    {
        m_window.reset();
        settle();
        m_store.reset();
    }

    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Done") << QStringLiteral("Done");
        QTest::newRow("Escape") << QStringLiteral("Escape");
        QTest::newRow("window closed") << QStringLiteral("close");
    }

    void closing()
    {
        QFETCH(QString, how);
        m_store->setPreview(m_files[0]);
        m_store->setTextPreview(QStringLiteral("words"));
        if (how == u"Done")
            named<QPushButton>(m_preview, QStringLiteral("Done"))->click();
        else if (how == u"Escape")
            QTest::keyClick(m_preview, Qt::Key_Escape);
        else
            m_preview->close();
        QVERIFY(!m_store->preview());
        QVERIFY(!m_store->textPreview());
        QVERIFY(!m_preview->isVisible());
    }

    void arrowKeysStep()
    {
        m_store->setSelection(m_files[0].path);
        m_store->setPreview(m_files[0]);
        m_preview->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_preview));
        QTest::keyClick(m_preview->windowHandle(), Qt::Key_Right);
        QCOMPARE(m_store->selection(), std::optional<QByteArray>(m_files[1].path));
        QCOMPARE(m_store->preview(), std::optional<FileRecord>(m_files[1]));
        QCOMPARE(m_preview->findChild<QLabel *>(QStringLiteral("previewName"))->text(), QStringLiteral("b.png"));
        QTest::keyClick(m_preview->windowHandle(), Qt::Key_Left);
        QCOMPARE(m_store->preview(), std::optional<FileRecord>(m_files[0]));
    }

    void body()
    {
        auto *body = m_preview->findChild<QStackedWidget *>();
        QVERIFY(!m_preview->isVisible());
        m_store->setPreview(m_files[0]);
        QVERIFY(m_preview->isVisible());
        QCOMPARE(m_preview->findChild<QLabel *>(QStringLiteral("previewName"))->text(), QStringLiteral("a.txt"));
        QVERIFY(qobject_cast<QuickPreview *>(body->currentWidget()));
        m_store->setPreview(m_files[1]);
        QCOMPARE(body->currentWidget()->objectName(), QStringLiteral("cloudState"));
        m_store->setTextPreview(QStringLiteral("some text"));
        auto *text = qobject_cast<QPlainTextEdit *>(body->currentWidget());
        QVERIFY(text);
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->toPlainText(), QStringLiteral("some text"));
    }

    void selectTextToggles()
    {
        m_store->setPreview(m_files[0]);
        auto *toggle = m_preview->findChild<QPushButton *>(QStringLiteral("textToggle"));
        toggle->click();
        QVERIFY(m_store->copyingText());
        QVERIFY(!toggle->isEnabled());
        QTRY_VERIFY(m_store->textPreview());
        QVERIFY(toggle->isEnabled());
        toggle->click();
        QVERIFY(!m_store->textPreview());
    }

    void steppingDropsTheOldText()
    {
        m_store->setSelection(m_files[0].path);
        m_store->setPreview(m_files[0]);
        m_store->setTextPreview(QStringLiteral("text of a.txt"));
        named<QToolButton>(m_preview, QStringLiteral("Next file"))->click();
        QCOMPARE(m_store->preview(), std::optional<FileRecord>(m_files[1]));
        QVERIFY(!m_store->textPreview());

        // Text asked for one file and delivered after stepping to another is dropped too.
        m_preview->findChild<QPushButton *>(QStringLiteral("textToggle"))->click();
        named<QToolButton>(m_preview, QStringLiteral("Next file"))->click();
        QTRY_VERIFY(!m_store->copyingText());
        QCOMPARE(m_store->preview(), std::optional<FileRecord>(m_files[2]));
        QVERIFY(!m_store->textPreview());
    }

private:
    StoreEnvironment m_environment;
    std::unique_ptr<LibraryStore> m_store;
    QList<FileRecord> m_files;
    std::unique_ptr<QWidget> m_window;
    PreviewWindow *m_preview = nullptr;
};

QTEST_MAIN(PreviewWindowTest)
#include "previewwindowtest.moc"
