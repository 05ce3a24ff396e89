// Every symbol the interface names has an icon under both Adwaita and Breeze, and the
// application's own icon is drawn from its scalable file.

#include "ui/common/symbols.h"

#include <QApplication>
#include <QTest>

class SymbolsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { Symbols::installThemeFallback(); }
    void everySymbolHasAnIcon_data();
    void everySymbolHasAnIcon();
    void applicationIcon();
};

void SymbolsTest::everySymbolHasAnIcon_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("symbol");
    for (const char *theme : { "Adwaita", "breeze" }) {
        for (const QString &symbol : Symbols::knownSymbols())
            QTest::addRow("%s/%s", theme, qPrintable(symbol)) << QString::fromLatin1(theme) << symbol;
    }
}

void SymbolsTest::everySymbolHasAnIcon()
{
    QFETCH(QString, theme);
    QFETCH(QString, symbol);
    QIcon::setThemeName(theme);
    // Without a fallback, so a name only the other theme knows is caught.
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    const QIcon icon = Symbols::icon(symbol);
    QVERIFY2(!icon.isNull(), qPrintable(Symbols::themeNames(symbol).join(u", ")));
    QVERIFY(!icon.pixmap(16, 16).isNull());
}

void SymbolsTest::applicationIcon()
{
    const QIcon icon = Symbols::applicationIcon();
    QVERIFY(!icon.isNull());
    const QImage image = icon.pixmap(64, 64).toImage();
    QCOMPARE(image.size(), QSize(64, 64));
    // The drawing is opaque in its middle and transparent in its corners.
    QVERIFY(qAlpha(image.pixel(32, 32)) > 200);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

QTEST_MAIN(SymbolsTest)
#include "symbolstest.moc"
