#include "analysis/readplan.h"

#include <QTest>

namespace {

struct Lane
{
    int device = 0;
    int readers = 0;
    QList<qsizetype> items;
    bool operator==(const Lane &) const = default;
};

using Locations = QList<FileLocation>;
using Lanes = QList<Lane>;

} // namespace

Q_DECLARE_METATYPE(FileLocation)
Q_DECLARE_METATYPE(Lane)

namespace QTest {
template <> char *toString(const Lane &lane)
{
    QByteArray text
        = "device " + QByteArray::number(lane.device) + ", " + QByteArray::number(lane.readers) + " readers:";
    for (const qsizetype item : lane.items)
        text += ' ' + QByteArray::number(item);
    return qstrdup(text.constData());
}
} // namespace QTest

class ReadPlanTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lanes_data()
    {
        QTest::addColumn<Locations>("locations");
        QTest::addColumn<Lanes>("expected");
        // Devices 1 and 3 rotate, 2 does not, 4 is unknown.
        QTest::newRow("rotating-disk-by-offset-one-reader")
            << Locations { { 1, 900, 1 }, { 1, 100, 2 }, { 1, 500, 3 } } << Lanes { { 1, 1, { 1, 2, 0 } } };
        QTest::newRow("files-without-offset-after-by-inode") << Locations { { 1, {}, 7 }, { 1, 300, 9 }, { 1, {}, 2 },
            { 1, 5, 8 } } << Lanes { { 1, 1, { 3, 1, 2, 0 } } };
        QTest::newRow("equal-places-keep-their-order")
            << Locations { { 1, 10, 5 }, { 1, 10, 5 }, { 1, 10, 5 } } << Lanes { { 1, 1, { 0, 1, 2 } } };
        QTest::newRow("solid-state-a-few-readers-never-more-than-files")
            << Locations { { 2, 30, 1 }, { 2, 20, 2 } } << Lanes { { 2, 2, { 1, 0 } } };
        QTest::newRow("unknown-device-read-like-solid-state") << Locations { { 4, {}, 3 }, { 4, {}, 1 }, { 4, {}, 2 },
            { 4, {}, 9 }, { 4, {}, 4 } } << Lanes { { 4, 3, { 1, 2, 0, 4, 3 } } };
        QTest::newRow("one-lane-per-device-in-order-of-appearance")
            << Locations { { 3, 50, 1 }, { 2, 10, 2 }, { 1, 70, 3 }, { 3, 40, 4 }, { 1, 60, 5 }, { 2, 5, 6 } }
            << Lanes { { 3, 1, { 3, 0 } }, { 2, 2, { 5, 1 } }, { 1, 1, { 4, 2 } } };
        QTest::newRow("nothing-to-read") << Locations {} << Lanes {};
    }

    void lanes()
    {
        QFETCH(Locations, locations);
        QFETCH(Lanes, expected);
        const auto rotating = [](dev_t device) -> std::optional<bool> {
            if (device == 4)
                return std::nullopt;
            return device != 2;
        };
        Lanes found;
        for (const ReadLane &lane : ReadPlan::lanes({ locations.cbegin(), locations.cend() }, rotating, 3))
            found.append({ int(lane.device), lane.readers, { lane.items.cbegin(), lane.items.cend() } });
        QCOMPARE(found, expected);
    }
};

QTEST_GUILESS_MAIN(ReadPlanTest)
#include "readplantest.moc"
