// Request frames: golden bytes and announced reply lengths at every range limit.
#include "link/request_frame.h"

#include <QByteArray>
#include <QTest>

using namespace tesvaron;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

} // namespace

// Checks the six wire bytes and rxNeed against frames written out by hand.
class TestRequestFrame : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void checksum_data();
    void checksum();
};

void TestRequestFrame::frames_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rxNeed");

    // History block: P1 start, P2 count, checksum 04 ^ 01 ^ P1 ^ P2.
    QTest::newRow("block 1+10") << 1 << 1 << 10 << hex("A1 04 01 01 0A 0E") << 54;
    QTest::newRow("block 0+1") << 1 << 0 << 1 << hex("A1 04 01 00 01 04") << 9;
    QTest::newRow("block 90+10 ends at 100") << 1 << 90 << 10 << hex("A1 04 01 5A 0A 55") << 54;
    QTest::newRow("block 91+10 trimmed to 9") << 1 << 91 << 10 << hex("A1 04 01 5B 09 57") << 49;
    QTest::newRow("block 100+10 becomes 99+1") << 1 << 100 << 10 << hex("A1 04 01 63 01 67") << 9;
    QTest::newRow("block count 11 becomes 10") << 1 << 20 << 11 << hex("A1 04 01 14 0A 1B") << 54;
    QTest::newRow("largest int16 values") << 1 << 32767 << 32767 << hex("A1 04 01 63 01 67") << 9;
    QTest::newRow("block count 0") << 1 << 5 << 0 << hex("A1 04 01 05 00 00") << 4;

    // Fixed frames: start and count are limited but never written.
    QTest::newRow("record count") << 2 << 50 << 7 << hex("A1 04 02 00 00 06") << 5;
    QTest::newRow("probe") << 5 << 300 << 25 << hex("A1 04 05 55 AA FE") << 6;
    QTest::newRow("realtime") << 6 << 1 << 10 << hex("A1 04 06 00 00 02") << 8;
}

void TestRequestFrame::frames()
{
    QFETCH(int, kind);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QByteArray, bytes);
    QFETCH(int, rxNeed);

    const RequestFrame frame =
        buildRequest(static_cast<std::uint8_t>(kind), static_cast<std::int16_t>(start),
                     static_cast<std::int16_t>(count));
    const QByteArray wire(reinterpret_cast<const char*>(frame.bytes.data()), 6);
    QCOMPARE(wire.toHex(' '), bytes.toHex(' '));
    QCOMPARE(int(frame.rxNeed), rxNeed);
}

void TestRequestFrame::checksum_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty") << QByteArray() << 0x00;
    QTest::newRow("one byte") << hex("5A") << 0x5A;
    QTest::newRow("realtime reply body") << hex("06 06 01 47 7B 01") << 0x3C;
}

void TestRequestFrame::checksum()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.constData());
    QCOMPARE(int(xorChecksum(bytes, static_cast<std::size_t>(data.size()))), expected);
}

QTEST_GUILESS_MAIN(TestRequestFrame)
#include "test_request_frame.moc"
