// Reply location: header search, length and checksum checks, and the bounds of both buffers.
#include "replies/reply_frame.h"

#include <QByteArray>
#include <QTest>
#include <memory>
#include <random>
#include <vector>

using namespace tesvaron;

Q_DECLARE_METATYPE(tesvaron::ReplyCheck)

namespace {

QByteArray frameBytes(const ReplyFrameBytes& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), ReplyFrameSize);
}

// The expected frame array: `prefix` written over a background of `fill`.
QByteArray expectedFrame(const QByteArray& prefix, std::uint8_t fill)
{
    QByteArray all(ReplyFrameSize, static_cast<char>(fill));
    all.replace(0, prefix.size(), prefix);
    return all;
}

// A header, L = 100, kind 01, 98 zero payload bytes and the checksum 64 ^ 01.
QByteArray longestFrame()
{
    return QByteArray::fromHex("B1 64 01") + QByteArray(98, '\0') + QByteArray::fromHex("65");
}

} // namespace

// Checks locateReply against hand-built buffers and, with a fixed seed, against random ones.
class TestReplyFrame : public QObject
{
    Q_OBJECT

private slots:
    void locate_data();
    void locate();
    void recordCount_data();
    void recordCount();
    void randomBuffers();
};

void TestReplyFrame::locate_data()
{
    QTest::addColumn<QByteArray>("rx");
    QTest::addColumn<int>("rxCount");
    QTest::addColumn<int>("fill");
    QTest::addColumn<ReplyCheck>("result");
    QTest::addColumn<QByteArray>("framePrefix"); // written bytes; the rest must still be `fill`

    const QByteArray probe = QByteArray::fromHex("B1 04 05 55 AA FE");
    const QByteArray realtime = QByteArray::fromHex("B1 06 06 01 47 7B 01 3C");

    QTest::newRow("probe") << probe << 6 << 0xEE << ReplyCheck::Ok
                           << QByteArray::fromHex("04 05 55 AA FE");
    QTest::newRow("realtime") << realtime << 8 << 0xEE << ReplyCheck::Ok
                              << QByteArray::fromHex("06 06 01 47 7B 01 3C");
    QTest::newRow("record count") << QByteArray::fromHex("B1 03 02 19 18") << 5 << 0xEE
                                  << ReplyCheck::Ok << QByteArray::fromHex("03 02 19 18");
    QTest::newRow("history block of one")
        << QByteArray::fromHex("B1 07 01 01 47 00 FA 01 BB") << 9 << 0xEE << ReplyCheck::Ok
        << QByteArray::fromHex("07 01 01 47 00 FA 01 BB");
    QTest::newRow("unknown kind passes") << QByteArray::fromHex("B1 03 07 12 16") << 5 << 0xEE
                                         << ReplyCheck::Ok << QByteArray::fromHex("03 07 12 16");
    QTest::newRow("length 1 behind a stray byte") << QByteArray::fromHex("00 B1 01 01") << 4 << 0xEE
                                                  << ReplyCheck::Ok << QByteArray::fromHex("01 01");

    QTest::newRow("stray bytes before header")
        << QByteArray::fromHex("00 12 7F") + probe << 9 << 0xEE << ReplyCheck::Ok
        << QByteArray::fromHex("04 05 55 AA FE");
    QTest::newRow("second frame only lands behind the first")
        << probe + realtime << 14 << 0xEE << ReplyCheck::Ok
        << QByteArray::fromHex("04 05 55 AA FE B1 06 06 01 47 7B 01 3C");
    QTest::newRow("stray header taken as the header")
        << QByteArray::fromHex("B1 03") + probe << 8 << 0xEE << ReplyCheck::BadChecksum
        << QByteArray::fromHex("03 B1 04 05 55 AA FE");
    QTest::newRow("stray header makes length 0xB1")
        << QByteArray::fromHex("B1") + probe << 7 << 0xEE << ReplyCheck::NoFrame
        << QByteArray::fromHex("B1 04 05 55 AA FE");

    QTest::newRow("bad checksum") << QByteArray::fromHex("B1 04 05 55 AA FF") << 6 << 0xEE
                                  << ReplyCheck::BadChecksum
                                  << QByteArray::fromHex("04 05 55 AA FF");
    QTest::newRow("bad payload byte")
        << QByteArray::fromHex("B1 06 06 01 48 7B 01 3C") << 8 << 0xEE << ReplyCheck::BadChecksum
        << QByteArray::fromHex("06 06 01 48 7B 01 3C");

    QTest::newRow("fewer than 4 bytes")
        << QByteArray::fromHex("B1 01 01") << 3 << 0xEE << ReplyCheck::NoFrame << QByteArray();
    QTest::newRow("negative count") << probe << -1 << 0xEE << ReplyCheck::NoFrame << QByteArray();
    QTest::newRow("no header") << QByteArray::fromHex("04 05 55 AA FE 00") << 6 << 0xEE
                               << ReplyCheck::NoFrame << QByteArray();
    QTest::newRow("header last") << QByteArray::fromHex("00 01 02 B1") << 4 << 0xEE
                                 << ReplyCheck::NoFrame << QByteArray();
    QTest::newRow("header second to last") << QByteArray::fromHex("00 00 B1 04") << 4 << 0xEE
                                           << ReplyCheck::NoFrame << QByteArray::fromHex("04");
    QTest::newRow("zero length") << QByteArray::fromHex("B1 00 00 00") << 4 << 0xEE
                                 << ReplyCheck::NoFrame << QByteArray::fromHex("00 00 00");

    QTest::newRow("checksum missing") << realtime.left(7) << 7 << 0xEE << ReplyCheck::NoFrame
                                      << QByteArray::fromHex("06 06 01 47 7B 01");
    QTest::newRow("checksum received but not counted")
        << realtime << 7 << 0xEE << ReplyCheck::NoFrame << QByteArray::fromHex("06 06 01 47 7B 01");
    // A leftover 3C at [6] would be the right checksum; it must not count.
    QTest::newRow("checksum only in old frame contents")
        << QByteArray::fromHex("00 00") + realtime.left(7) << 9 << 0x3C << ReplyCheck::NoFrame
        << QByteArray::fromHex("06 06 01 47 7B 01");
    QTest::newRow("header beyond the counted bytes") << QByteArray::fromHex("00 00 00") + probe << 4
                                                     << 0xEE << ReplyCheck::NoFrame << QByteArray();

    QTest::newRow("count larger than buffer")
        << probe << 200 << 0xEE << ReplyCheck::Ok << QByteArray::fromHex("04 05 55 AA FE");
    QTest::newRow("truncated, count larger than buffer")
        << realtime.left(4) << 50 << 0xEE << ReplyCheck::NoFrame << QByteArray::fromHex("06 06 01");

    const QByteArray longest = longestFrame();
    QTest::newRow("length 100") << longest << int(longest.size()) << 0xEE << ReplyCheck::Ok
                                << longest.mid(1);
    QTest::newRow("length 100 with bytes after it")
        << longest + QByteArray(60, '\x5A') << int(longest.size()) + 60 << 0xEE << ReplyCheck::Ok
        << longest.mid(1);
    const QByteArray tooLong =
        QByteArray::fromHex("B1 65 01") + QByteArray(99, '\0') + QByteArray::fromHex("64");
    QTest::newRow("length 101") << tooLong << int(tooLong.size()) << 0xEE << ReplyCheck::NoFrame
                                << tooLong.mid(1, ReplyFrameSize);
    const QByteArray maxLength =
        QByteArray::fromHex("B1 FF 01") + QByteArray(253, '\0') + QByteArray::fromHex("FE");
    QTest::newRow("length 255") << maxLength << int(maxLength.size()) << 0xEE << ReplyCheck::NoFrame
                                << maxLength.mid(1, ReplyFrameSize);
}

void TestReplyFrame::locate()
{
    QFETCH(QByteArray, rx);
    QFETCH(int, rxCount);
    QFETCH(int, fill);
    QFETCH(ReplyCheck, result);
    QFETCH(QByteArray, framePrefix);

    ReplyFrameBytes frame;
    frame.fill(static_cast<std::uint8_t>(fill));
    QCOMPARE(locateReply(rx, rxCount, frame), result);
    QCOMPARE(frameBytes(frame).toHex(' '),
             expectedFrame(framePrefix, static_cast<std::uint8_t>(fill)).toHex(' '));
}

void TestReplyFrame::recordCount_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("records");

    QTest::newRow("0") << 0 << 0;
    QTest::newRow("2, no payload") << 2 << 0;
    QTest::newRow("5, 0.6 records") << 5 << 0;
    QTest::newRow("6, 0.8 records") << 6 << 0;
    QTest::newRow("7, one record") << 7 << 1;
    QTest::newRow("9, 1.4") << 9 << 1;
    QTest::newRow("10, 1.6") << 10 << 2;
    QTest::newRow("12, two records") << 12 << 2;
    QTest::newRow("14, 2.4") << 14 << 2;
    QTest::newRow("52, ten records") << 52 << 10;
    QTest::newRow("94, 18.4") << 94 << 18;
    QTest::newRow("95, 18.6") << 95 << 19;
    QTest::newRow("97, nineteen records") << 97 << 19;
    QTest::newRow("100, 19.6 capped") << 100 << 19;
    QTest::newRow("102, twenty capped") << 102 << 19;
    QTest::newRow("255") << 255 << 19;
}

void TestReplyFrame::recordCount()
{
    QFETCH(int, length);
    QFETCH(int, records);
    QCOMPARE(historyRecordCount(static_cast<std::uint8_t>(length)), records);
}

// Random buffers, each in a heap block of exactly its size so that AddressSanitizer sees any
// read past rx.size(). Every buffer is checked for what must hold whatever its contents.
void TestReplyFrame::randomBuffers()
{
    std::mt19937 rng(20240611u);
    auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };

    int built = 0;
    int okSeen = 0;
    int badSeen = 0;
    int noneSeen = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> data;
        int frameStart = -1; // index of a well-formed frame's header, when one was built
        int frameEnd = -1;   // one past its checksum
        if (uniform(0, 1) == 0) {
            // Noise, with headers common enough to matter.
            const int size = uniform(0, 140);
            for (int k = 0; k < size; ++k)
                data.push_back(uniform(0, 3) == 0 ? ReplyHeader
                                                  : static_cast<std::uint8_t>(uniform(0, 255)));
        } else {
            // Noise without a header, then a correct frame, then anything.
            const int lead = uniform(0, 6);
            for (int k = 0; k < lead; ++k) {
                auto b = static_cast<std::uint8_t>(uniform(0, 255));
                data.push_back(b == ReplyHeader ? 0 : b);
            }
            frameStart = static_cast<int>(data.size());
            const int length = uniform(1, 100);
            data.push_back(ReplyHeader);
            std::uint8_t sum = static_cast<std::uint8_t>(length);
            data.push_back(static_cast<std::uint8_t>(length));
            for (int k = 1; k < length; ++k) {
                auto b = static_cast<std::uint8_t>(uniform(0, 255));
                sum ^= b;
                data.push_back(b);
            }
            data.push_back(sum);
            frameEnd = static_cast<int>(data.size());
            const int tail = uniform(0, 40);
            for (int k = 0; k < tail; ++k)
                data.push_back(static_cast<std::uint8_t>(uniform(0, 255)));
            ++built;
        }

        auto heap = std::make_unique<std::uint8_t[]>(data.size());
        std::copy(data.begin(), data.end(), heap.get());
        const QByteArray rx = QByteArray::fromRawData(reinterpret_cast<const char*>(heap.get()),
                                                      static_cast<qsizetype>(data.size()));
        const int size = static_cast<int>(data.size());
        const int rxCount = uniform(-3, size + 5);
        const int n = std::min(rxCount, size);

        auto frame = std::make_unique<ReplyFrameBytes>();
        for (auto& b : *frame)
            b = static_cast<std::uint8_t>(uniform(0, 255));
        const ReplyFrameBytes before = *frame;

        const ReplyCheck result = locateReply(rx, rxCount, *frame);

        // Bytes past the counted ones must not matter: change them all and decode again.
        if (n >= 0 && n < size) {
            auto changed = std::make_unique<std::uint8_t[]>(data.size());
            std::copy(data.begin(), data.end(), changed.get());
            for (int k = n; k < size; ++k)
                changed[static_cast<std::size_t>(k)] ^= 0x5A;
            const QByteArray rx2 = QByteArray::fromRawData(
                reinterpret_cast<const char*>(changed.get()), static_cast<qsizetype>(size));
            auto frame2 = std::make_unique<ReplyFrameBytes>(before);
            QCOMPARE(locateReply(rx2, rxCount, *frame2), result);
            QVERIFY(*frame2 == *frame);
        }

        // The frame holds the bytes after the first header, at most 101, and nothing else.
        int header = -1;
        for (int k = 0; k < n; ++k) {
            if (data[static_cast<std::size_t>(k)] == ReplyHeader) {
                header = k;
                break;
            }
        }
        const int copied =
            (n < 4 || header < 0 || header >= n - 1) ? 0 : std::min(n - header - 1, ReplyFrameSize);
        for (int k = 0; k < ReplyFrameSize; ++k) {
            const auto idx = static_cast<std::size_t>(k);
            const std::uint8_t want =
                k < copied ? data[static_cast<std::size_t>(header + 1 + k)] : before[idx];
            QCOMPARE((*frame)[idx], want);
        }

        if (result != ReplyCheck::NoFrame) {
            // A decided frame lies wholly inside the counted bytes.
            const int length = (*frame)[0];
            QVERIFY(length >= 1 && length <= 100);
            QVERIFY(header + 1 + length < n);
            std::uint8_t sum = 0;
            for (int k = 0; k < length; ++k)
                sum ^= (*frame)[static_cast<std::size_t>(k)];
            QCOMPARE(result == ReplyCheck::Ok, sum == (*frame)[static_cast<std::size_t>(length)]);
        }

        // A well-formed frame is found exactly when all of it was counted.
        if (frameStart >= 0) {
            if (n >= frameEnd && frameEnd >= 4)
                QCOMPARE(result, ReplyCheck::Ok);
            else if (n < frameEnd)
                QCOMPARE(result, ReplyCheck::NoFrame);
        }

        okSeen += result == ReplyCheck::Ok;
        badSeen += result == ReplyCheck::BadChecksum;
        noneSeen += result == ReplyCheck::NoFrame;
    }
    // The generator must reach every outcome, or the checks above prove little.
    QVERIFY(built > 5000);
    QVERIFY(okSeen > 1000);
    QVERIFY(badSeen > 100);
    QVERIFY(noneSeen > 1000);
}

QTEST_GUILESS_MAIN(TestReplyFrame)
#include "test_reply_frame.moc"
