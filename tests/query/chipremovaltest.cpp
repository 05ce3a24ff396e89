#include "query/filequery.h"

#include <QTest>

class ChipRemovalTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void removesChip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("chip");
        QTest::addColumn<QString>("expected");

        const auto row = [](const char *name, const char16_t *text, int chip, const char16_t *expected) {
            QTest::newRow(name) << QString::fromUtf16(text) << chip << QString::fromUtf16(expected);
        };
        row("extension chip", u"PDFs over 5 MB", 0, u"over 5 MB");
        row("size chip", u"PDFs over 5 MB", 1, u"PDFs");
        row("kind chip", u"photos from my iphone", 0, u"from my iphone");
        row("camera chip takes the whole phrase", u"photos from my iPhone", 1, u"photos");
        row("source chip", u"pdfs from Google Drive", 1, u"pdfs");
        row("screenshot chip", u"Screenshots yesterday", 0, u"yesterday");
        row("relative date chip", u"screenshots from last week", 1, u"screenshots from");
        row("age chip", u"invoices older than 3 months", 0, u"invoices");
        row("month chip", u"photos in March 2024", 1, u"photos");
        row("free word chip", u"invoice report", 1, u"invoice");
        row("quoted word leaves its quotes", u"invoice \"acme\" file", 1, u"invoice \"\" file");

        row("whole word before a longer one", u"report rep", 1, u"report");
        row("whole word after a longer one", u"rep report", 0, u"report");
        row("word among accented letters", u"r\u00e9p rep", 1, u"r\u00e9p");
        row("kind word inside a longer word", u"pdfsx pdfs", 0, u"pdfsx");
        row("duplicate words remove the first", u"rep rep", 1, u"rep");

        row("blanks and tabs collapse", u"  pdf   report\tdraft ", 0, u"report draft");
        row("line breaks stay", u"pdf\nreport", 0, u"\nreport");
        row("expanding lower case", u"\u0130stanbul pdf", 1, u"pdf");
        row("source cut inside a lowered letter", u"from drive.\u0130amch pdf", 1, u"amch pdf");
        row("word starting inside a lowered letter", u"from drive.\u0130amch pdf", 2, u"from drive. pdf");
        row("phrases around a taken one", u"from pdf march", 0, u"from march");
    }
    void removesChip()
    {
        QFETCH(QString, text);
        QFETCH(int, chip);
        QFETCH(QString, expected);
        const FileQuery query(text, Timestamp::fromUnix(1'736'938'800), Calendar(QTimeZone::utc(), Qt::Monday));
        QCOMPARE(query.removingChip(chip, text), expected);
    }

    // Only when no whole-word occurrence exists is the word taken out of a longer one.
    void fallsBackToPlainOccurrence()
    {
        FileQuery query;
        query.chips = { QStringLiteral("Text: rep") };
        query.tokens = { QStringLiteral("rep") };
        QCOMPARE(query.removingChip(0, u"Report x"), QStringLiteral("ort x"));
        QCOMPARE(query.removingChip(0, u"nothing"), QStringLiteral("nothing"));
    }
};

QTEST_GUILESS_MAIN(ChipRemovalTest)
#include "chipremovaltest.moc"
