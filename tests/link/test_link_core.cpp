// Request frames and port-search stepping.

#include "link/link_logic.h"
#include "link/request_frame.h"

#include "tests/support/data.h"

#include <QTest>

using namespace tesvaron;
using tesvaron::test::fetched;

class TestLinkCore : public QObject
{
    Q_OBJECT
private slots:
    void requestFrames_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rxNeed");
        const struct
        {
            int kind, start, count;
            const char* hex;
            int rxNeed;
        } rows[] = {
            {1, 1, 10, "a10401010a0e", 54},  {1, 1, 3, "a10401010307", 19},
            {1, 90, 10, "a104015a0a55", 54}, {1, 100, 10, "a10401630167", 9},
            {1, 95, 10, "a104015f055f", 29}, {1, 1, 25, "a10401010a0e", 54},
            {1, 10, 1, "a104010a010e", 9},   {1, 99, 1, "a10401630167", 9},
            {2, 7, 9, "a10402000006", 5},    {5, 0, 0, "a1040555aafe", 6},
            {6, 3, 4, "a10406000002", 8},
        };
        for (const auto& r : rows)
            QTest::addRow("kind %d start %d count %d", r.kind, r.start, r.count)
                << r.kind << r.start << r.count << QByteArray::fromHex(r.hex) << r.rxNeed;
    }
    void requestFrames()
    {
        const RequestFrame f =
            buildRequest(std::uint8_t(fetched<int>("kind")), std::int16_t(fetched<int>("start")),
                         std::int16_t(fetched<int>("count")));
        QTEST(QByteArray(reinterpret_cast<const char*>(f.bytes.data()), 6), "bytes");
        QTEST(int(f.rxNeed), "rxNeed");
    }

    void searchSteps()
    {
        QCOMPARE((QList{nextComNo(1), nextComNo(15), nextComNo(16), previousComNo(1),
                        previousComNo(2), previousComNo(16)}),
                 (QList{2, 16, 1, 16, 1, 15}));
    }

    void instrumentGoneOnlyWhenThePortIsAnotherOrMissing()
    {
        QVERIFY(instrumentGone(true, "/dev/ttyUSB0", "/dev/ttyUSB0"));
        QVERIFY(instrumentGone(false, "/dev/ttyUSB0", "/dev/ttyUSB1"));
        QVERIFY(!instrumentGone(false, "/dev/ttyUSB0", "/dev/ttyUSB0"));
        QVERIFY(!instrumentGone(false, "", "/dev/ttyUSB1"));
    }
};

QTEST_APPLESS_MAIN(TestLinkCore)
#include "test_link_core.moc"
