#include "query/querymatcher.h"

#include "query/filequery.h"

#include <QTest>

#include <string_view>

namespace {

const Timestamp kDayStart = Timestamp::fromUnix(1'736'895'600); // 2025-01-15T00:00:00+01:00
const Timestamp kNextDay = Timestamp::fromUnix(1'736'982'000);

FileRecord file(const char *path, qint64 size = 1000, Timestamp modified = kDayStart)
{
    FileRecord record;
    record.path = QByteArray("/home/user/") + path;
    record.kind = FileKind::classify(QByteArrayView(record.path));
    record.size = size;
    record.modified = modified;
    return record;
}

FileRecord withCamera(FileRecord record, const char16_t *camera)
{
    record.camera = QString::fromUtf16(camera);
    return record;
}

FileRecord withSource(FileRecord record, const char *host)
{
    record.source = QString::fromLatin1(host);
    return record;
}

FileRecord withText(FileRecord record, const QStringList &tags, const QString &spotlightText)
{
    record.tags = tags;
    record.spotlightText = spotlightText;
    return record;
}

FileQuery parsed(const char16_t *text)
{
    return FileQuery(QString::fromUtf16(text), kDayStart, Calendar(QTimeZone::utc(), Qt::Monday));
}

template <typename Set> FileQuery query(Set set)
{
    FileQuery q;
    set(q);
    return q;
}

} // namespace

class QueryMatcherTest : public QObject
{
    Q_OBJECT

private:
    static void columns()
    {
        QTest::addColumn<FileQuery>("query");
        QTest::addColumn<FileRecord>("record");
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("expected");
    }

    // The one-off path and the path with text folded ahead must agree on every row.
    static void verify(const QLocale &locale = QLocale())
    {
        QFETCH(FileQuery, query);
        QFETCH(FileRecord, record);
        QFETCH(QString, content);
        QFETCH(bool, expected);
        const QueryMatcher matcher(query, locale);
        QCOMPARE(matcher.matches(record, content), expected);
        QCOMPARE(matcher.matches(record, SearchText(record, content, locale)), expected);
        if (locale == QLocale())
            QCOMPARE(query.matches(record, content), expected);
    }

private Q_SLOTS:
    void cheapCriteria_data()
    {
        columns();
        const FileQuery imagesOrPdf = parsed(u"images pdf");
        QTest::newRow("empty query") << FileQuery() << file("x.bin") << QStringLiteral("anything") << true;
        QTest::newRow("kind or extension: image") << imagesOrPdf << file("a.png") << QString() << true;
        QTest::newRow("kind or extension: pdf") << imagesOrPdf << file("b.PDF") << QString() << true;
        QTest::newRow("kind or extension: text") << imagesOrPdf << file("c.txt") << QString() << false;
        QTest::newRow("extension is the last one") << parsed(u"zip") << file("d.zip.txt") << QString() << false;
        QTest::newRow("screenshot image") << parsed(u"screenshots") << file("Screenshot 1.png") << QString() << true;
        QTest::newRow("screenshot video") << parsed(u"screenshots") << file("Screen Shot 2.mov") << QString() << false;
        QTest::newRow("min size is exclusive") << parsed(u"over 5 mb") << file("e", 5'000'000) << QString() << false;
        QTest::newRow("one byte over") << parsed(u"over 5 mb") << file("e", 5'000'001) << QString() << true;
        QTest::newRow("max size is exclusive") << parsed(u"under 5 mb") << file("e", 5'000'000) << QString() << false;
        QTest::newRow("one byte under") << parsed(u"under 5 mb") << file("e", 4'999'999) << QString() << true;

        const FileQuery day = query([](FileQuery &q) {
            q.after = kDayStart;
            q.before = kNextDay;
        });
        const auto minus = [](Timestamp t) { return Timestamp::fromUnix(t.unixSeconds(), t.nanoseconds() - 1); };
        QTest::newRow("after is inclusive") << day << file("f", 1, kDayStart) << QString() << true;
        QTest::newRow("a nanosecond early") << day << file("f", 1, minus(kDayStart)) << QString() << false;
        QTest::newRow("before is exclusive") << day << file("f", 1, kNextDay) << QString() << false;
        QTest::newRow("a nanosecond before the end") << day << file("f", 1, minus(kNextDay)) << QString() << true;
        QTest::newRow("undated file") << day << file("f", 1, Timestamp::distantPast()) << QString() << false;
    }
    void cheapCriteria() { verify(); }

    void textCriteria_data()
    {
        columns();
        QTest::newRow("no camera") << parsed(u"from my iphone") << file("p.jpg") << QString() << false;
        QTest::newRow("camera model contains the word")
            << parsed(u"from my iphone") << withCamera(file("p.jpg"), u"iPhone 15 Pro") << QString() << true;
        QTest::newRow("other camera") << parsed(u"from canon") << withCamera(file("p.jpg"), u"NIKON Z 6") << QString()
                                      << false;
        QTest::newRow("source by name") << parsed(u"from gmail") << withSource(file("a.pdf"), "mail.google.com")
                                        << QString() << true;
        QTest::newRow("source by unknown host")
            << parsed(u"from example.org") << withSource(file("a.pdf"), "files.example.org") << QString() << true;
        QTest::newRow("no source") << parsed(u"from gmail") << file("Downloads/a.pdf") << QString() << false;
        QTest::newRow("x is a letter of any host")
            << parsed(u"from x") << withSource(file("a"), "dropbox.com") << QString() << true;
        QTest::newRow("x not in host") << parsed(u"from x") << withSource(file("a"), "github.com") << QString()
                                       << false;
        QTest::newRow("words in the name") << parsed(u"invoice 2024") << file("Invoice-2024.pdf") << QString() << true;
        QTest::newRow("word in the content")
            << parsed(u"acme") << file("scan.pdf") << QStringLiteral("ACME Corp.") << true;
        QTest::newRow("every word is needed") << parsed(u"invoice acme") << file("invoice.pdf") << QString() << false;
        QTest::newRow("word in a tag") << parsed(u"blue")
                                       << withText(file("a.txt"), { QStringLiteral("Project Blue") }, {}) << QString()
                                       << true;
        QTest::newRow("word in system text")
            << parsed(u"quarterly") << withText(file("a.txt"), {}, QStringLiteral("Quarterly report")) << QString()
            << true;
        QTest::newRow("words do not join across fields")
            << parsed(u"txtacme") << file("a.txt") << QStringLiteral("acme") << false;
    }
    void textCriteria() { verify(); }

    void localeContainment_data()
    {
        columns();
        QTest::newRow("accent is significant")
            << parsed(u"resume") << file("R\u00e9sum\u00e9.pdf") << QString() << false;
        QTest::newRow("case ignored, accent kept")
            << parsed(u"R\u00c9SUM\u00c9") << file("r\u00e9sum\u00e9.pdf") << QString() << true;
        QTest::newRow("decomposed name, composed word")
            << parsed(u"r\u00e9sum\u00e9") << file("Re\u0301sume\u0301.pdf") << QString() << true;
        QTest::newRow("base letter of a decomposed accent")
            << parsed(u"sume") << file("Re\u0301sume\u0301.pdf") << QString() << false;
        QTest::newRow("final sigma") << parsed(u"\u03bf\u03b4\u03bf\u03c2") << file("\u039f\u0394\u039f\u03a3.txt")
                                     << QString() << true;
        QTest::newRow("medial sigma at the end")
            << parsed(u"\u03bf\u03b4\u03bf\u03c3") << file("\u039f\u0394\u039f\u03a3.txt") << QString() << true;
        QTest::newRow("dotted capital I elsewhere") << parsed(u"istanbul") << file("ISTANBUL.txt") << QString() << true;
    }
    void localeContainment() { verify(); }

    void turkishLocale_data()
    {
        columns();
        QTest::newRow("capital I is dotless") << parsed(u"\u0131stanbul") << file("ISTANBUL.txt") << QString() << true;
        QTest::newRow("dotted i is another letter")
            << parsed(u"istanbul") << file("ISTANBUL.txt") << QString() << false;
    }
    void turkishLocale() { verify(QLocale(QLocale::Turkish, QLocale::Turkey)); }

    // Past the read-ahead distance, and with a text list shorter than the records.
    void matchingListsIndexesInOrder()
    {
        QList<FileRecord> records;
        QList<SearchText> texts;
        for (int i = 0; i < 20; ++i) {
            records.append(file(i % 8 == 3 ? "acme-notes.txt" : "other.txt"));
            texts.append(SearchText(records.last(), {}));
        }
        const QueryMatcher matcher(parsed(u"acme"));
        QCOMPARE(matcher.matching(records, texts), (QList<qsizetype> { 3, 11, 19 }));
        texts.resize(12);
        QCOMPARE(matcher.matching(records, texts), (QList<qsizetype> { 3, 11 }));
    }
};

QTEST_GUILESS_MAIN(QueryMatcherTest)
#include "querymatchertest.moc"
