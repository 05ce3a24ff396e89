#include "analysis/cleanuprules.h"

#include "library/libraryscanner.h"
#include "platform/filestatus.h"
#include "support/testtree.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

namespace {

constexpr qint64 kDay = 86'400;
const Timestamp kNow = Timestamp::fromUnix(1'720'000'000, 500);

Timestamp daysBefore(const Timestamp &now, qint64 days, qint64 nanoseconds = 0)
{
    return Timestamp::fromUnix(now.unixSeconds() - days * kDay, now.nanoseconds() - nanoseconds);
}

FileRecord scanned(const TestTree &tree, const QByteArray &relative)
{
    for (const FileRecord &record : LibraryScanner::scan({ tree.root() }).files) {
        if (record.path == tree.path(relative))
            return record;
    }
    return {};
}

} // namespace

class CleanupRulesTest : public QObject
{
    Q_OBJECT

    TestTree m_home;

    CleanupRules::Environment environment(const TestTree &tree) const
    {
        CleanupRules::Environment env { {}, QTimeZone::utc(), kNow };
        env.locations.applicationsFolder = tree.path("Applications");
        env.locations.dpkgStatus = tree.path("dpkg-status");
        env.locations.flatpakExports = { tree.path("exports") };
        env.locations.snapRoot = tree.path("snap");
        env.locations.queryRpm = false;
        return env;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_home.becomeHome();
        QStandardPaths::setTestModeEnabled(true);
    }

    void installersByName_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Timestamp>("modified");
        QTest::addColumn<QByteArray>("bundle");
        QTest::addColumn<bool>("matches");
        QTest::newRow("91-days-installed")
            << QByteArray("Lantern 128.0.dmg") << daysBefore(kNow, 91) << QByteArray("Lantern.app") << true;
        QTest::newRow("89-days") << QByteArray("Lantern 128.0.dmg") << daysBefore(kNow, 89) << QByteArray("Lantern.app")
                                 << false;
        QTest::newRow("exactly-90-days") << QByteArray("Lantern.dmg") << daysBefore(kNow, 90)
                                         << QByteArray("Lantern.app") << false;
        QTest::newRow("90-days-and-1ns") << QByteArray("Lantern.dmg") << daysBefore(kNow, 90, 1)
                                         << QByteArray("Lantern.app") << true;
        QTest::newRow("inner-space-and-version")
            << QByteArray("Sky Writer 2.0.dmg") << daysBefore(kNow, 91) << QByteArray("skywriter.app") << true;
        QTest::newRow("not-installed") << QByteArray("Lantern.dmg") << daysBefore(kNow, 91) << QByteArray("Other.app")
                                       << false;
        QTest::newRow("capital-extension")
            << QByteArray("LANTERN.PKG") << daysBefore(kNow, 91) << QByteArray("Lantern.app") << true;
        QTest::newRow("bundle-extension-not-lower-case")
            << QByteArray("Lantern.dmg") << daysBefore(kNow, 91) << QByteArray("Lantern.APP") << false;
        QTest::newRow("inner-dot-differs")
            << QByteArray("Tidal_5.17.11.pkg") << daysBefore(kNow, 91) << QByteArray("tidal.io.app") << false;
        QTest::newRow("digits-only-name")
            << QByteArray("2024.dmg") << daysBefore(kNow, 91) << QByteArray("2024.app") << false;
        QTest::newRow("not-an-installer")
            << QByteArray("Lantern.zip") << daysBefore(kNow, 91) << QByteArray("Lantern.app") << false;
    }

    void installersByName()
    {
        QFETCH(QByteArray, file);
        QFETCH(Timestamp, modified);
        QFETCH(QByteArray, bundle);
        QFETCH(bool, matches);
        TestTree tree;
        tree.folder("Applications/" + bundle);
        FileRecord record;
        record.path = tree.path("Downloads/" + file);
        record.modified = modified;
        const auto installed = CleanupRules::Installed::collect(environment(tree).locations);
        QCOMPARE(CleanupRules::installedInstaller(record, installed, kNow), matches);
    }

    void linuxInstallersByIdentity_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("matches");
        const QByteArray ref = "[Flatpak Ref]\nName=org.example.Lantern\nBranch=stable\n";
        QTest::newRow("flatpakref-exported") << QByteArray("lantern.flatpakref") << ref << true << true;
        QTest::newRow("flatpakref-not-exported") << QByteArray("lantern.flatpakref") << ref << false << false;
        QTest::newRow("flatpakref-runtime") << QByteArray("rt.flatpakref") << ref + "IsRuntime=true\n" << true << false;
        QTest::newRow("flatpak-bundle") << QByteArray("lantern.flatpak")
                                        << QByteArray("flatpak\0\0app/org.example.Lantern/x86_64/stable\0", 47) << true
                                        << true;
        QTest::newRow("snap-installed") << QByteArray("lantern_42.snap") << QByteArray("hsqs") << true << true;
        QTest::newRow("snap-not-installed") << QByteArray("lantern_42.snap") << QByteArray("hsqs") << false << false;
    }

    void linuxInstallersByIdentity()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, contents);
        QFETCH(bool, installed);
        QFETCH(bool, matches);
        TestTree tree;
        tree.folder("exports");
        tree.folder("snap");
        if (installed) {
            tree.file("exports/org.example.Lantern.desktop", "[Desktop Entry]\n");
            tree.folder("snap/lantern/42");
            tree.symlink("snap/lantern/current", "42");
        }
        FileRecord record;
        record.path = tree.file(file, contents);
        record.modified = daysBefore(kNow, 100);
        QCOMPARE(CleanupRules::installedInstaller(
                     record, CleanupRules::Installed::collect(environment(tree).locations), kNow),
            matches);
    }

    void debianPackageByControlData()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
            QSKIP("dpkg-deb is not installed");
        TestTree tree;
        tree.file("pkg/DEBIAN/control",
            "Package: lantern-editor\nVersion: 1.0\nArchitecture: all\nMaintainer: t <t@example.org>\nDescription: "
            "test\n");
        QProcess build;
        build.start(QStringLiteral("dpkg-deb"),
            { QStringLiteral("--build"), QString::fromUtf8(tree.path("pkg")),
                QString::fromUtf8(tree.path("Lantern Setup 1.0.deb")) });
        QVERIFY(build.waitForFinished(60'000) && build.exitCode() == 0);
        FileRecord record;
        record.path = tree.path("Lantern Setup 1.0.deb");
        record.modified = daysBefore(kNow, 120);

        tree.file("dpkg-status",
            "Package: lantern-editor\nStatus: deinstall ok config-files\n\nPackage: other\nStatus: install ok "
            "installed\n");
        QVERIFY(!CleanupRules::installedInstaller(
            record, CleanupRules::Installed::collect(environment(tree).locations), kNow));
        tree.file("dpkg-status",
            "Package: other\nStatus: install ok installed\n\nPackage: lantern-editor\nStatus: install ok installed\n");
        QVERIFY(CleanupRules::installedInstaller(
            record, CleanupRules::Installed::collect(environment(tree).locations), kNow));
    }

    void screenshotDestinations_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<Timestamp>("created");
        QTest::addColumn<QTimeZone>("zone");
        QTest::addColumn<QByteArray>("destination");
        const Timestamp may = *Timestamp::fromIsoString(u"2024-05-31T23:30:00Z");
        QTest::newRow("desktop") << QByteArray("/h/Desktop/Screenshot 1.png") << may << QTimeZone::utc()
                                 << QByteArray("/h/Desktop/Screenshots/2024-05/Screenshot 1.png");
        QTest::newRow("month-of-local-time") << QByteArray("/h/Desktop/Screenshot 1.png") << may << QTimeZone(7200)
                                             << QByteArray("/h/Desktop/Screenshots/2024-06/Screenshot 1.png");
        QTest::newRow("already-filed") << QByteArray("/h/Desktop/Screenshots/2024-05/Screenshot 1.png") << may
                                       << QTimeZone::utc() << QByteArray();
        QTest::newRow("not-a-screenshot")
            << QByteArray("/h/Desktop/holiday.png") << may << QTimeZone::utc() << QByteArray();
    }

    void screenshotDestinations()
    {
        QFETCH(QByteArray, path);
        QFETCH(Timestamp, created);
        QFETCH(QTimeZone, zone);
        QFETCH(QByteArray, destination);
        FileRecord record;
        record.path = path;
        record.kind = FileKind::images;
        record.created = created;
        QCOMPARE(CleanupRules::screenshotDestination(record, zone).value_or(QByteArray()), destination);
    }

    // Every case ends with no file moved that should have stayed.
    void screenshotRuleFaults_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<int>("errors");
        QTest::newRow("none") << QByteArray() << true << 0;
        QTest::newRow("destination-taken") << QByteArray("destination-taken") << false << 0;
        QTest::newRow("screenshots-folder-is-link") << QByteArray("screenshots-link") << false << 0;
        QTest::newRow("month-folder-is-link") << QByteArray("month-link") << false << 0;
        QTest::newRow("modified-after-scan") << QByteArray("modified") << false << 0;
        QTest::newRow("replaced-after-scan") << QByteArray("replaced") << false << 0;
        QTest::newRow("screenshots-is-a-file") << QByteArray("screenshots-file") << false << 1;
    }

    void screenshotRuleFaults()
    {
        QFETCH(QByteArray, fault);
        QFETCH(bool, moved);
        QFETCH(int, errors);
        TestTree tree;
        tree.file("Desktop/Screenshot 2024.png", "pixels");
        const FileRecord record = scanned(tree, "Desktop/Screenshot 2024.png");
        const QByteArray destination
            = CleanupRules::screenshotDestination(record, QTimeZone::utc())->mid(tree.root().size() + 1);
        const QByteArray monthFolder = destination.left(destination.lastIndexOf('/'));
        tree.folder("outside");
        if (fault == "destination-taken") {
            tree.file(destination, "an older capture");
        } else if (fault == "screenshots-link") {
            tree.symlink("Desktop/Screenshots", tree.path("outside"));
        } else if (fault == "month-link") {
            tree.folder("Desktop/Screenshots");
            tree.symlink(monthFolder, tree.path("outside"));
        } else if (fault == "modified") {
            tree.setModified("Desktop/Screenshot 2024.png",
                Timestamp::fromUnix(record.modified.unixSeconds(), record.modified.nanoseconds() + 1));
        } else if (fault == "replaced") {
            QCOMPARE(::unlink(record.path.constData()), 0);
            tree.file("Desktop/Screenshot 2024.png", "pixels");
        } else if (fault == "screenshots-file") {
            tree.file("Desktop/Screenshots", "not a folder");
        }

        const auto outcome
            = CleanupRules::run({ record }, { .installers = true, .screenshots = true }, {}, environment(tree));
        QCOMPARE(outcome.changed, moved ? 1 : 0);
        QCOMPARE(outcome.errors.size(), errors);
        QCOMPARE(FileStatus::read(tree.path("Desktop/Screenshot 2024.png")).has_value(), !moved);
        QVERIFY(!FileStatus::read(tree.path("outside/Screenshot 2024.png")));
        if (fault == "destination-taken")
            QCOMPARE(QFile(QString::fromUtf8(tree.path(destination))).size(), 16);
    }

    void installerRuleTrashesOnlyUnchangedFiles_data()
    {
        QTest::addColumn<bool>("touchedAfterScan");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("trashed");
        QTest::newRow("trashed") << false << true << true;
        QTest::newRow("touched-after-scan") << true << true << false;
        QTest::newRow("rule-off") << false << false << false;
    }

    void installerRuleTrashesOnlyUnchangedFiles()
    {
        QFETCH(bool, touchedAfterScan);
        QFETCH(bool, enabled);
        QFETCH(bool, trashed);
        TestTree tree;
        tree.folder("Applications/Lantern.app");
        tree.file("Downloads/Lantern 2.1.dmg", "disk image");
        tree.setModified("Downloads/Lantern 2.1.dmg", daysBefore(kNow, 200));
        const FileRecord record = scanned(tree, "Downloads/Lantern 2.1.dmg");
        if (touchedAfterScan)
            tree.setModified("Downloads/Lantern 2.1.dmg", daysBefore(kNow, 150));

        const auto outcome
            = CleanupRules::run({ record }, { .installers = enabled, .screenshots = true }, {}, environment(tree));
        QCOMPARE(outcome.changed, trashed ? 1 : 0);
        QVERIFY(outcome.errors.isEmpty());
        QCOMPARE(FileStatus::read(record.path).has_value(), !trashed);
        QCOMPARE(FileStatus::read(m_home.path("data/Trash/files/Lantern 2.1.dmg")).has_value(), trashed);
        ::unlink(m_home.path("data/Trash/files/Lantern 2.1.dmg").constData());
        ::unlink(m_home.path("data/Trash/info/Lantern 2.1.dmg.trashinfo").constData());
    }
};

QTEST_GUILESS_MAIN(CleanupRulesTest)
#include "cleanuprulestest.moc"
