#include "store/storetesting.h"
#include "ui-frame/frametesting.h"
#include "ui/sections/duplicategroupcard.h"
#include "ui/sections/duplicatessection.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace StoreTesting;
using namespace FrameTesting;

namespace {

DuplicateGroup group(int n)
{
    const QByteArray base = "/lib/g" + QByteArray::number(n);
    return { { record(base + "/a.jpg", FileKind::images, 100), record(base + "/b.jpg", FileKind::images, 100),
        record(base + "/c.jpg", FileKind::images, 100) } };
}

QList<bool> kept(const DuplicateGroupCard &card)
{
    QList<bool> checked;
    for (const QPushButton *keep : card.keepButtons())
        checked.append(keep->isChecked());
    return checked;
}

} // namespace

class DuplicatesSectionTest : public QObject
{
    Q_OBJECT

    StoreEnvironment m_environment;

private Q_SLOTS:
    void cleanup() { settle(); }

    void keepButtonsFollowKeeperIDs()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        const DuplicateGroup shown = group(1);
        DuplicateGroupCard card(store, shown, DuplicateGroupCard::Mode::exact);
        QCOMPARE(kept(card), QList<bool>({ false, false, false }));

        card.keepButtons().at(2)->click();
        QCOMPARE(store.keeperIDs().value(shown.id()), shown.files.at(2).path);
        // Clicking the kept copy again keeps it.
        card.keepButtons().at(2)->click();
        QCOMPARE(store.keeperIDs().value(shown.id()), shown.files.at(2).path);
        QCOMPARE(kept(card), QList<bool>({ false, false, true }));
        QVERIFY(shownLabelTexts(&card).contains(QStringLiteral("3 identical files")));
        QVERIFY(shownLabelTexts(&card).contains(QStringLiteral("200 bytes in extra copies")));
    }

    // The store refuses without a chosen keeper (and says so) rather than trashing every copy.
    void trashExtraCopiesGoesThroughTheStore()
    {
        LibraryStore store(setup(m_environment.newSettingsFile()));
        const DuplicateGroup shown = group(1);
        store.setFiles(shown.files);
        store.setKeeperIDs({});
        DuplicateGroupCard card(store, shown, DuplicateGroupCard::Mode::similar);
        QVERIFY(shownLabelTexts(&card).contains(QStringLiteral("3 similar images")));
        for (QPushButton *button : card.findChildren<QPushButton *>())
            if (button->text() == QStringLiteral("Trash extra copies…"))
                button->click();
        QVERIFY(store.pendingTrash().isEmpty());
        QCOMPARE(store.error().value_or(QString()), QStringLiteral("Choose a copy to keep first."));
    }

    // Hundreds of groups: the cards are made a batch at a time as the list scrolls.
    void groupsAreMadeInBatches()
    {
        Probe probe;
        for (int i = 0; i < 300; ++i)
            probe.groups << group(i);
        LibraryStore store(setup(m_environment.newSettingsFile(), probe.workers()));
        DuplicatesSection section(store);
        QVERIFY(exposed(section, { 900, 700 }));
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("No groups to review")));
        store.findDuplicates();
        QTRY_COMPARE(store.duplicates().size(), 300);
        QTRY_VERIFY(section.shownGroups() > 0);
        QVERIFY(section.shownGroups() <= 2 * DuplicatesSection::kBatch);
        QVERIFY(section.findChildren<DuplicateGroupCard *>().size() <= 2 * DuplicatesSection::kBatch);

        QScrollBar *bar = section.findChild<QScrollArea *>()->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        const int before = section.shownGroups();
        bar->setValue(bar->maximum());
        QTRY_VERIFY(section.shownGroups() > before);
        QVERIFY(section.shownGroups() < 300);

        // A change elsewhere in the store leaves the cards alone.
        DuplicateGroupCard *first = section.findChildren<DuplicateGroupCard *>().first();
        store.setKeeperIDs({});
        QCoreApplication::processEvents();
        QVERIFY(section.findChildren<DuplicateGroupCard *>().contains(first));
    }

    void modeSwitchAndProgress()
    {
        Probe probe;
        LibraryStore store(setup(m_environment.newSettingsFile(), probe.workers({ QStringLiteral("duplicates") })));
        DuplicatesSection section(store);
        QToolButton *similar = nullptr;
        for (QToolButton *button : section.findChildren<QToolButton *>())
            if (button->text() == QStringLiteral("Similar photos"))
                similar = button;
        QVERIFY(similar);
        similar->click();
        QCOMPARE(store.duplicateMode(), DuplicateMode::similar);
        QVERIFY(similar->isChecked());
        QVERIFY(shownLabelTexts(&section).contains(store.similarStatus() + QStringLiteral(" · Look-alikes may be different photos; choose what to keep.")));

        store.setDuplicateMode(DuplicateMode::exact);
        QPushButton *scan = nullptr;
        for (QPushButton *button : section.findChildren<QPushButton *>())
            if (button->text() == QStringLiteral("Scan"))
                scan = button;
        scan->click();
        QVERIFY(store.checkingDuplicates());
        QVERIFY(!scan->isEnabled());
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("Comparing local files…")));
        probe.gate.open();
        QTRY_VERIFY(!store.checkingDuplicates());
        QVERIFY(scan->isEnabled());
        QVERIFY(shownLabelTexts(&section).contains(QStringLiteral("No groups to review")));
    }
};

QTEST_MAIN(DuplicatesSectionTest)
#include "duplicatessectiontest.moc"
