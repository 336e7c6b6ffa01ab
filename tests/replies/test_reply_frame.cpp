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

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
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

    const auto row = [](const char* name, const QByteArray& rx, int count, ReplyCheck result,
                        const QByteArray& prefix, int fill = 0xEE) {
        QTest::newRow(name) << rx << count << fill << result << prefix;
    };
    const ReplyCheck ok = ReplyCheck::Ok, bad = ReplyCheck::BadChecksum, none = ReplyCheck::NoFrame;
    const QByteArray probe = hex("B1 04 05 55 AA FE");
    const QByteArray realtime = hex("B1 06 06 01 47 7B 01 3C");

    row("realtime", realtime, 8, ok, realtime.mid(1));
    row("unknown kind passes", hex("B1 03 07 12 16"), 5, ok, hex("03 07 12 16"));
    row("length 1 behind a stray byte", hex("00 B1 01 01"), 4, ok, hex("01 01"));
    row("second frame only lands behind the first", probe + realtime, 14, ok,
        probe.mid(1) + realtime);
    row("stray header taken as the header", hex("B1 03") + probe, 8, bad, hex("03") + probe);
    row("stray header makes length 0xB1", hex("B1") + probe, 7, none, probe);
    row("bad payload byte", hex("B1 06 06 01 48 7B 01 3C"), 8, bad, hex("06 06 01 48 7B 01 3C"));

    row("fewer than 4 bytes", hex("B1 01 01"), 3, none, {});
    row("negative count", probe, -1, none, {});
    row("no header", hex("04 05 55 AA FE 00"), 6, none, {});
    row("header last", hex("00 01 02 B1"), 4, none, {});
    row("header second to last", hex("00 00 B1 04"), 4, none, hex("04"));
    row("zero length", hex("B1 00 00 00"), 4, none, hex("00 00 00"));

    row("checksum received but not counted", realtime, 7, none, realtime.mid(1, 6));
    // A leftover 3C at [6] would be the right checksum; it must not count.
    row("checksum only in old frame contents", hex("00 00") + realtime.left(7), 9, none,
        realtime.mid(1, 6), 0x3C);
    row("header beyond the counted bytes", hex("00 00 00") + probe, 4, none, {});
    row("count larger than buffer", probe, 200, ok, probe.mid(1));
    row("truncated, count larger than buffer", realtime.left(4), 50, none, hex("06 06 01"));

    // A header, L = 100, kind 01, 98 zero payload bytes and the checksum 64 ^ 01.
    const QByteArray longest = hex("B1 64 01") + QByteArray(98, '\0') + hex("65");
    row("length 100", longest, int(longest.size()), ok, longest.mid(1));
    row("length 100 with bytes after it", longest + QByteArray(60, '\x5A'),
        int(longest.size()) + 60, ok, longest.mid(1));
    const QByteArray tooLong = hex("B1 65 01") + QByteArray(99, '\0') + hex("64");
    row("length 101", tooLong, int(tooLong.size()), none, tooLong.mid(1, ReplyFrameSize));
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
    QByteArray expected(ReplyFrameSize, static_cast<char>(fill));
    expected.replace(0, framePrefix.size(), framePrefix);
    const QByteArray got(reinterpret_cast<const char*>(frame.data()), ReplyFrameSize);
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
}

void TestReplyFrame::recordCount_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("records");
    QTest::newRow("6, 0.8 records") << 6 << 0;
    QTest::newRow("7, one record") << 7 << 1;
    QTest::newRow("9, 1.4") << 9 << 1;
    QTest::newRow("10, 1.6") << 10 << 2;
    QTest::newRow("97, nineteen records") << 97 << 19;
    QTest::newRow("100, 19.6 capped") << 100 << 19;
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
    const auto uniform = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const auto randomByte = [&] { return static_cast<char>(uniform(0, 255)); };
    std::vector<std::unique_ptr<char[]>> blocks; // kept for the round
    const auto exactCopy = [&blocks](const QByteArray& bytes) {
        blocks.push_back(std::make_unique<char[]>(size_t(bytes.size())));
        std::copy(bytes.begin(), bytes.end(), blocks.back().get());
        return QByteArray::fromRawData(blocks.back().get(), bytes.size());
    };

    int built = 0;
    int seen[3] = {}; // by ReplyCheck
    for (int round = 0; round < 20000; ++round) {
        blocks.clear();
        QByteArray data;
        int frameEnd = -1; // one past the checksum of a well-formed frame, when one was built
        if (uniform(0, 1) == 0) {
            // Noise, with headers common enough to matter.
            for (int k = uniform(0, 140); k > 0; --k)
                data += uniform(0, 3) == 0 ? char(ReplyHeader) : randomByte();
        } else {
            // Noise without a header, then a correct frame, then anything.
            for (int k = uniform(0, 6); k > 0; --k) {
                const char b = randomByte();
                data += b == char(ReplyHeader) ? '\0' : b;
            }
            const int length = uniform(1, 100);
            data += char(ReplyHeader);
            char sum = char(length);
            data += sum;
            for (int k = 1; k < length; ++k) {
                data += randomByte();
                sum ^= data.back();
            }
            data += sum;
            frameEnd = int(data.size());
            for (int k = uniform(0, 40); k > 0; --k)
                data += randomByte();
            ++built;
        }
        const int size = int(data.size());
        const int rxCount = uniform(-3, size + 5);
        const int n = std::min(rxCount, size);
        ReplyFrameBytes before;
        for (auto& b : before)
            b = static_cast<std::uint8_t>(uniform(0, 255));
        ReplyFrameBytes frame = before;

        const ReplyCheck result = locateReply(exactCopy(data), rxCount, frame);

        // Bytes past the counted ones must not matter: change them all and decode again.
        if (n >= 0 && n < size) {
            QByteArray changed = data;
            for (int k = n; k < size; ++k)
                changed[k] = char(changed[k] ^ 0x5A);
            ReplyFrameBytes frame2 = before;
            QCOMPARE(locateReply(exactCopy(changed), rxCount, frame2), result);
            QVERIFY(frame2 == frame);
        }

        // The frame holds the bytes after the first header, at most 101, and nothing else.
        const int header = n > 0 ? int(data.left(n).indexOf(char(ReplyHeader))) : -1;
        const int copied =
            (n < 4 || header < 0 || header >= n - 1) ? 0 : std::min(n - header - 1, ReplyFrameSize);
        for (int k = 0; k < ReplyFrameSize; ++k)
            QCOMPARE(frame[size_t(k)],
                     k < copied ? quint8(data[header + 1 + k]) : before[size_t(k)]);

        if (result != ReplyCheck::NoFrame) {
            // A decided frame lies wholly inside the counted bytes.
            const int length = frame[0];
            QVERIFY(length >= 1 && length <= 100);
            QVERIFY(header + 1 + length < n);
            std::uint8_t sum = 0;
            for (int k = 0; k < length; ++k)
                sum ^= frame[size_t(k)];
            QCOMPARE(result == ReplyCheck::Ok, sum == frame[size_t(length)]);
        }

        // A well-formed frame is found exactly when all of it was counted.
        if (frameEnd >= 0 && n >= frameEnd && frameEnd >= 4) QCOMPARE(result, ReplyCheck::Ok);
        if (frameEnd >= 0 && n < frameEnd) QCOMPARE(result, ReplyCheck::NoFrame);
        ++seen[int(result)];
    }
    // The generator must reach every outcome, or the checks above prove little.
    QVERIFY(built > 5000);
    QVERIFY(seen[int(ReplyCheck::Ok)] > 1000);
    QVERIFY(seen[int(ReplyCheck::BadChecksum)] > 100);
    QVERIFY(seen[int(ReplyCheck::NoFrame)] > 1000);
}

QTEST_GUILESS_MAIN(TestReplyFrame)
#include "test_reply_frame.moc"
