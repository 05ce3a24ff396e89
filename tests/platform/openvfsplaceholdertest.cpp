#include "platform/openvfsplaceholder.h"

#include <QTest>

class OpenVfsPlaceholderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
};

void OpenVfsPlaceholderTest::parse_data()
{
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<QString>("expected"); // "state/size" with "-" for absent; empty: rejected

    QTest::newRow("dehydrated, uint16 size")
        << QByteArray("82a5737461746501a473697a65cd3039") << QStringLiteral("1/12345");
    QTest::newRow("hydrated, uint64 size")
        << QByteArray("82a5737461746500a473697a65cf000000012a05f200") << QStringLiteral("0/5000000000");
    QTest::newRow("map16 with a str8 key") << QByteArray("de0001d905737461746502") << QStringLiteral("2/-");
    QTest::newRow("other keys of every scalar form skipped")
        << QByteArray("87a161c0a162c3a163ffa164cb3ff0000000000000a165a3616263a166c4020102a5737461746501")
        << QStringLiteral("1/-");
    QTest::newRow("empty map") << QByteArray("80") << QStringLiteral("-/-");

    QTest::newRow("no data") << QByteArray() << QString();
    QTest::newRow("array instead of map") << QByteArray("920102") << QString();
    QTest::newRow("size cut short") << QByteArray("82a5737461746501a473697a65cd30") << QString();
    QTest::newRow("fewer entries than counted") << QByteArray("82a5737461746501") << QString();
    QTest::newRow("nested map as value") << QByteArray("81a5737461746581a16101") << QString();
    QTest::newRow("integer key") << QByteArray("810101") << QString();
    QTest::newRow("map32 claiming four billion entries") << QByteArray("dfffffffffa5737461746501") << QString();
    QTest::newRow("key longer than the data") << QByteArray("81d9ff7374") << QString();
}

void OpenVfsPlaceholderTest::parse()
{
    QFETCH(QByteArray, hex);
    QFETCH(QString, expected);
    const auto placeholder = OpenVfsPlaceholder::parse(QByteArray::fromHex(hex));
    const auto text = [](const std::optional<quint64> &v) { return v ? QString::number(*v) : QStringLiteral("-"); };
    QCOMPARE(placeholder ? text(placeholder->state) + u'/' + text(placeholder->size) : QString(), expected);
    QCOMPARE(placeholder && placeholder->isDehydrated(), expected.startsWith(u"1/"));
}

QTEST_GUILESS_MAIN(OpenVfsPlaceholderTest)
#include "openvfsplaceholdertest.moc"
