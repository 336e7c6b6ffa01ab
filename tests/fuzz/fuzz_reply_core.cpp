// Reply fuzzing without a window: frame location and the reply decision over arbitrary bytes
// and download states, a reply after another as the window would carry its state. Built as a
// libFuzzer target with TESVARON_LIBFUZZER, else as a test over a fixed stream of random inputs.
//
//   byte 0   bits 0-2: running, total still to ask for, reply timer armed
//   byte 1   record total (mod 100); byte 2 blocks in (mod 11)
//   then     replies, each a length byte n and n received bytes; the length's top bit says the
//            receive count is one short of the bytes (a partial read)

#include "replies/history_model.h"
#include "replies/paging.h"

#include <QByteArray>
#include <cstdlib>
#include <random>

using namespace tesvaron;

namespace {

struct Reached
{
    int ok = 0, rows = 0, finished = 0, ended = 0;
};
Reached reached;

// The properties every reply keeps, whatever the bytes; false names a fault.
bool runOne(const quint8* data, std::size_t size)
{
    if (size < 3) return true;
    DownloadState state{bool(data[0] & 1), bool(data[0] & 2), bool(data[0] & 4),
                        data[1] % 100,     data[2] % 11,      0};
    state.progress = std::min(state.recBlock * RecordsPerBlock, state.recTotal);
    ReplyFrameBytes frame{};
    HistoryModel history;
    for (std::size_t at = 3; at < size;) {
        const int n = std::min<int>(data[at] & 0x7F, int(size - at - 1));
        const QByteArray rx(reinterpret_cast<const char*>(data + at + 1), n);
        at += std::size_t(n) + 1;
        const int count = n - (data[at - std::size_t(n) - 1] >> 7);
        const ReplyCheck check = locateReply(rx, count, frame);
        if (check == ReplyCheck::Ok) {
            std::uint8_t sum = 0;
            for (int k = 0; k < frame[0]; ++k)
                sum ^= frame[std::size_t(k)];
            if (sum != frame[frame[0]] || rx.indexOf(char(ReplyHeader)) + frame[0] + 1 >= count)
                return false;
            ++reached.ok;
        }
        const ReplyStep step = decideReply(check, frame, state);
        if (step.recTotal < 0 || step.recTotal > MaxRecordRows || step.recBlock < 0 ||
            step.recBlock > 255 || step.progress < 0 ||
            (step.finished && (step.progress != step.recTotal || step.recBlock != 0)))
            return false;
        if (step.next && (step.next->count < 1 || step.next->count > RecordsPerBlock ||
                          step.next->start > MaxRecordRows))
            return false;
        if (step.act == ReplyAct::WriteBlock) {
            const QList<HistoryRow> rows = history.writeBlock(frame, step.rowOffset, step.rows);
            if (int(rows.size()) != step.rows ||
                (step.rows > 0 && step.rowOffset + step.rows > MaxRecordRows) ||
                (!rows.isEmpty() && rows.last().no != step.rowOffset + step.rows))
                return false;
            reached.rows += step.rows > 0;
            reached.finished += step.finished;
        }
        if (step.act == ReplyAct::ShowRealtime) {
            const Measurement m = realtimeMeasurement(realtimeValue(frame));
            if (m.overRange != (m.groundKv >= OverRangeKv) || m.texts.current.isEmpty())
                return false;
        }
        if (step.endDownload && !state.running) return false;
        reached.ended += step.endDownload;
        // Carry on as the window does.
        state.running = (state.running || step.act == ReplyAct::StartPaging) && !step.finished &&
                        !step.endDownload && step.act != ReplyAct::NoRecords;
        state.totalPending = false;
        state.timeoutRunning = (state.timeoutRunning && !step.stopTimeout) || bool(step.next);
        state.recTotal = step.recTotal;
        state.recBlock = step.recBlock;
        state.progress = step.progress;
    }
    return true;
}

} // namespace

#ifdef TESVARON_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!runOne(data, size)) std::abort();
    return 0;
}
#else
#include <QTest>

class FuzzReplyCore : public QObject
{
    Q_OBJECT
private slots:
    // Random inputs, each a few replies of which some are built to pass the checksum.
    void randomStream()
    {
        std::mt19937 random(20261207);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int input = 0; input < 40000; ++input) {
            std::vector<quint8> data{quint8(byte(random)), quint8(byte(random)),
                                     quint8(byte(random))};
            for (int reply = byte(random) % 4; reply >= 0; --reply) {
                const int n = byte(random) % 40;
                data.push_back(quint8(n | (byte(random) & 0x80)));
                std::vector<quint8> rx(static_cast<std::size_t>(n));
                for (quint8& b : rx)
                    b = quint8(byte(random));
                if (n >= 4 && byte(random) % 2) { // a frame with its checksum right
                    const int length = 1 + byte(random) % (n - 2);
                    rx[0] = ReplyHeader, rx[1] = quint8(length);
                    rx[2] = quint8("\x01\x02\x05\x06\xF1"[byte(random) % 5]);
                    rx[std::size_t(length + 1)] = 0;
                    for (int k = 1; k <= length; ++k)
                        rx[std::size_t(length + 1)] ^= rx[std::size_t(k)];
                }
                data.insert(data.end(), rx.begin(), rx.end());
            }
            QVERIFY2(runOne(data.data(), data.size()),
                     QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()))
                         .toHex(' ')
                         .constData());
        }
        // The stream must reach the main paths.
        QVERIFY(reached.ok > 10000 && reached.rows > 500 && reached.finished > 50 &&
                reached.ended > 50);
    }
};
QTEST_APPLESS_MAIN(FuzzReplyCore)
#include "fuzz_reply_core.moc"
#endif
