#include "frametesting.h"
#include "ui/frame/erroralert.h"
#include "ui/frame/trashconfirmation.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace StoreTesting;
using namespace FrameTesting;

namespace {

QList<FileRecord> files(int count)
{
    QList<FileRecord> result;
    for (int i = 1; i <= count; ++i)
        result.append(record("/gone/file" + QByteArray::number(i) + ".txt", FileKind::documents));
    return result;
}

QPushButton *button(QMessageBox *box, const QString &text)
{
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *candidate : buttons)
        if (candidate->text() == text)
            return qobject_cast<QPushButton *>(candidate);
    return nullptr;
}

} // namespace

class AlertsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The box names the first four files.
    void trashMessage_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("message");
        const QString note = QStringLiteral("\n\nYou can restore these files from the Trash in your file manager.");
        QTest::newRow("one file") << 1 << u"file1.txt" + note;
        QTest::newRow("four files, all named") << 4 << u"file1.txt\nfile2.txt\nfile3.txt\nfile4.txt" + note;
        QTest::newRow("six files, four named") << 6 << u"file1.txt\nfile2.txt\nfile3.txt\nfile4.txt" + note;
    }

    void trashMessage()
    {
        QFETCH(int, count);
        QTEST(TrashConfirmation::message(files(count)), "message");
    }

    void trashChoices_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("trashed");
        QTest::newRow("cancel") << QStringLiteral("Cancel") << false;
        QTest::newRow("escape cancels") << QStringLiteral("Escape") << false;
        QTest::newRow("closing cancels") << QStringLiteral("close") << false;
        QTest::newRow("move to trash") << QStringLiteral("Move to Trash") << true;
    }

    void trashChoices()
    {
        QFETCH(QString, choice);
        LibraryStore store(setup(m_environment.newSettingsFile()));
        QWidget window;
        TrashConfirmation confirmation(store, &window);
        QVERIFY(!confirmation.box());
        store.requestTrash(files(2));
        QMessageBox *box = confirmation.box();
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("Move 2 file(s) to Trash?"));
        QCOMPARE(box->defaultButton(), button(box, QStringLiteral("Cancel")));

        if (choice == u"Escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else if (choice == u"close")
            box->close();
        else
            button(box, choice)->click();
        QVERIFY(store.pendingTrash().isEmpty());
        QVERIFY(!confirmation.box());
        // The files do not exist, so trashing them is refused and reported: proof it was tried.
        QFETCH(bool, trashed);
        QCOMPARE(store.error().has_value(), trashed);
        if (trashed)
            QVERIFY(store.error()->contains(QStringLiteral("file1.txt")));
        settle();
    }

    void trashBoxFollowsTheStore()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        QWidget window;
        TrashConfirmation confirmation(store, &window);
        store.requestTrash(files(1));
        QPointer<QMessageBox> box = confirmation.box();
        store.requestTrash(files(5));
        QCOMPARE(confirmation.box(), box.data());
        QCOMPARE(box->text(), QStringLiteral("Move 5 file(s) to Trash?"));

        // Emptied elsewhere: the box goes away and nothing is trashed.
        store.setPendingTrash({});
        QVERIFY(!confirmation.box());
        QTRY_VERIFY(!box);
        QVERIFY(!store.error());
    }

    void trashNamesAreNotMarkup()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        QWidget window;
        TrashConfirmation confirmation(store, &window);
        store.requestTrash({ record("/d/<img src=x>.html", FileKind::documents) });
        QMessageBox *box = confirmation.box();
        QVERIFY(box->informativeText().startsWith(QStringLiteral("<img src=x>.html\n")));
        for (const QLabel *label : box->findChildren<QLabel *>())
            if (label->text().contains(u"img"))
                QCOMPARE(label->textFormat(), Qt::PlainText);
        store.setPendingTrash({});
    }

    void errorAlert()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        QWidget window;
        ErrorAlert alert(store, &window);
        QVERIFY(!alert.box());
        store.setError(QStringLiteral("first problem"));
        QMessageBox *box = alert.box();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->informativeText(), QStringLiteral("first problem"));
        store.setError(QStringLiteral("second problem"));
        QCOMPARE(alert.box(), box);
        QCOMPARE(box->informativeText(), QStringLiteral("second problem"));
        button(box, QStringLiteral("OK"))->click();
        QVERIFY(!store.error());
        QVERIFY(!alert.box());

        store.setError(QStringLiteral("cleared elsewhere"));
        store.setError(std::nullopt);
        QVERIFY(!alert.box());
    }

private:
    StoreEnvironment m_environment;
};

QTEST_MAIN(AlertsTest)
#include "alertstest.moc"
