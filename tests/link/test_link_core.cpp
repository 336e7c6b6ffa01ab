// Request frames and port-search stepping.

#include "link/link_logic.h"
#include "link/request_frame.h"

#include "tests/support/data.h"

#include <QTest>

using namespace tesvaron;
using tesvaron::test::fetched;
using tesvaron::test::hex;

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
        for (const QStringList& r : test::tableRows("request-frames"))
            QTest::addRow("kind %s start %s count %s", qPrintable(r[0]), qPrintable(r[1]),
                          qPrintable(r[2]))
                << r[0].toInt() << r[1].toInt() << r[2].toInt() << hex(qPrintable(r[3]))
                << r[4].toInt();
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
