#include "platform/recentlyused.h"

#include <QTest>

namespace {

QByteArray xbel(const QByteArray &bookmarks)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\" "
           "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\">\n"
        + bookmarks + "</xbel>\n";
}

// One bookmark as GTK writes it, with the attributes of its one application.
QByteArray bookmark(const QByteArray &href, const QByteArray &modified, const QByteArray &visited,
    const QByteArray &application, const QByteArray &added = "2020-01-01T00:00:00Z")
{
    return "<bookmark href=\"" + href + "\" added=\"" + added + "\" modified=\"" + modified + "\" visited=\"" + visited
        + "\"><info><metadata owner=\"http://freedesktop.org\"><bookmark:applications>"
        + "<bookmark:application name=\"Viewer\" exec=\"viewer %u\" count=\"1\" " + application
        + "/></bookmark:applications></metadata></info></bookmark>\n";
}

} // namespace

class RecentlyUsedTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lastUse_data();
    void lastUse();
};

void RecentlyUsedTest::lastUse_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("expected"); // empty: no entry

    const QByteArray a = "file:///home/u/a.pdf";
    const QByteArray old = "2024-01-02T10:00:00.000000Z";
    const QByteArray newest = "2024-01-05T10:00:00.000000Z";
    const QByteArray oldApp = "modified=\"" + old + "\"";
    const QString newestIso = QStringLiteral("2024-01-05T10:00:00.000000000Z");

    QTest::newRow("bookmark modified is newest")
        << xbel(bookmark(a, newest, old, oldApp)) << QByteArray("/home/u/a.pdf") << newestIso;
    QTest::newRow("visited is newest") << xbel(bookmark(a, old, newest, oldApp)) << QByteArray("/home/u/a.pdf")
                                       << newestIso;
    QTest::newRow("application stamp is newest")
        << xbel(bookmark(a, old, old, "modified=\"" + newest + "\"")) << QByteArray("/home/u/a.pdf") << newestIso;
    QTest::newRow("Unix time of an older application entry")
        << xbel(bookmark(a, old, old, "timestamp=\"1704448800\"")) << QByteArray("/home/u/a.pdf") << newestIso;
    QTest::newRow("added is not a use") << xbel(bookmark(a, old, old, oldApp, "2030-01-01T00:00:00Z"))
                                        << QByteArray("/home/u/a.pdf")
                                        << QStringLiteral("2024-01-02T10:00:00.000000000Z");
    QTest::newRow("two bookmarks of one file keep the newest")
        << xbel(bookmark(a, newest, old, oldApp) + bookmark(a, old, old, oldApp)) << QByteArray("/home/u/a.pdf")
        << newestIso;
    QTest::newRow("percent-encoded name that is not UTF-8")
        << xbel(bookmark("file:///home/u/My%20%FF.pdf", newest, old, oldApp)) << QByteArray("/home/u/My \xff.pdf")
        << newestIso;
    QTest::newRow("localhost") << xbel(bookmark("file://localhost/home/u/a.pdf", newest, old, oldApp))
                               << QByteArray("/home/u/a.pdf") << newestIso;
    QTest::newRow("another host is not ours") << xbel(bookmark("file://server/home/u/a.pdf", newest, old, oldApp))
                                              << QByteArray("/home/u/a.pdf") << QString();
    QTest::newRow("path matched exactly")
        << xbel(bookmark(a, newest, old, oldApp)) << QByteArray("/home/u/A.pdf") << QString();

    const QByteArray two = xbel(bookmark(a, newest, old, oldApp) + bookmark("file:///b", newest, old, oldApp));
    QTest::newRow("file cut inside a later bookmark")
        << two.left(two.lastIndexOf("<bookmark:application")) << QByteArray("/home/u/a.pdf") << newestIso;
    QTest::newRow("not XML") << QByteArray("not XML at all") << QByteArray("/home/u/a.pdf") << QString();
}

void RecentlyUsedTest::lastUse()
{
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, path);
    QFETCH(QString, expected);
    const auto lastUsed = RecentlyUsed::parse(xml).lastUsed(path);
    QCOMPARE(lastUsed ? lastUsed->toIsoString() : QString(), expected);
}

QTEST_GUILESS_MAIN(RecentlyUsedTest)
#include "recentlyusedtest.moc"
