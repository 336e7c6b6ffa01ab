#pragma once
// The simulated instrument: the far end of the serial line, with no knowledge of the program.
//
// Requests in (6 bytes):  A1 04 kind P1 P2 cs      cs = XOR of bytes 1..4
// Replies out:            B1 L kind payload cs     L = 2 + payload, cs = XOR of bytes 1..L
//
//  request                 reply
//  5 probe, P1 P2 = 55 AA  B1 04 05 55 AA FE
//  6 realtime              B1 06 06 vh vl current code cs    (current: one byte, 0..255)
//  2 record count          B1 03 02 total cs
//  1 history block         B1 (5n+2) 01 n x (vh vl ch cl code) cs
//
// Record index: the instrument keeps its history in blocks of ten, and a start index names the
// block it falls in: 0..9 the first (records 1..10), 10..19 the second (11..20), and so on. So the
// program's paging (start 1, 10, 20, ...) gets every record once. A block request (start, count)
// returns at most `count` records from the block's first on, never past the last stored record,
// so n may be 0 (B1 02 01 03); n is capped at 50 so L fits one byte.
//
// Voltages are tenths of a kV; currents are raw counts scaled by the decimal code
// (1 tenths, 2 hundredths, anything else whole amperes).
//
// Not answered: bad checksum, length byte other than 4, unknown kind, probe without 55 AA.
// Garbage is skipped by looking for the next 0xA1 that starts a frame with a valid checksum.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace tesvaron::sim {

inline constexpr quint8 RequestHeader = 0xA1;
inline constexpr quint8 ReplyHeader = 0xB1;
inline constexpr int RequestSize = 6;
inline constexpr int MaxBlockRecords = 50; // 5 * 50 + 2 = 252, the largest L below 256

enum : quint8 {
    KindHistoryBlock = 0x01,
    KindRecordCount = 0x02,
    KindProbe = 0x05,
    KindRealtime = 0x06,
    KindRefused = 0xF1,
};

// Bytes to put on the line, and when.
struct ReplyChunk
{
    std::chrono::milliseconds delay; // from the moment the request was complete, before pacing
    QByteArray bytes;
};

// One stored history record.
struct Record
{
    quint16 voltage = 0; // tenths of a kV
    quint16 current = 0; // raw count
    quint8 code = 0;     // decimal code of the current
    friend bool operator==(const Record&, const Record&) = default;
};

// One realtime measurement.
struct LiveValue
{
    quint16 voltage = 0; // tenths of a kV
    quint8 current = 0;  // raw count
    quint8 code = 0;
    friend bool operator==(const LiveValue&, const LiveValue&) = default;
};

// Ways the instrument can misbehave.
enum class FaultType {
    None,
    Silence,       // never answer
    DropEvery,     // leave out every arg-th reply
    BadChecksum,   // checksum byte inverted
    StrayBytes,    // arg bytes (never 0xB1) in front of the header
    Split,         // first half at once, the rest arg ms later
    Truncate,      // last arg bytes missing
    ReplyF1,       // B1 02 F1 F3 instead of the real reply
    Late,          // reply after arg ms instead of the turnaround
    RandomDrop,    // each reply left out with the given probability
    RandomCorrupt, // each reply gets one bit flipped with the given probability
};

// A fault and the request kind it is limited to, if any.
struct Fault
{
    FaultType type = FaultType::None;
    int arg = 0;
    double probability = 0.0; // 0..1, random faults only
    std::optional<quint8> onlyKind;
};

// Parses NAME[:ARG][@KIND], e.g. "drop:3", "split:300", "f1@1", "randdrop:1.5" (percent).
// KIND is a number 0..255 or one of block, count, probe, realtime.
std::optional<Fault> parseFault(QStringView text, QString* error = nullptr);
QString faultName(FaultType type);

// What the instrument holds and how it misbehaves.
struct SimConfig
{
    int recordCount = 25; // 0..255; ignored when `records` is set
    quint64 seed = 1;
    std::chrono::milliseconds turnaround{5};
    std::vector<Fault> faults;                  // applied in order to every reply they match
    std::optional<std::vector<Record>> records; // fixed history instead of generated
    std::optional<std::vector<LiveValue>> live; // fixed realtime values, repeated in turn
};

// Small deterministic generator (splitmix64), the same on every platform.
class SimRandom
{
public:
    explicit SimRandom(quint64 seed) : state_(seed) {}
    quint64 next();
    quint32 below(quint32 bound); // 0 .. bound-1, bound > 0
    double unit();                // [0, 1)

private:
    quint64 state_;
};

std::vector<Record> generateRecords(int count, quint64 seed);

// Protocol engine of the instrument: request bytes in, timed reply chunks out.
class Instrument
{
public:
    explicit Instrument(SimConfig config = {});

    // Takes bytes as they come off the line and returns what to send for every request completed
    // by them, in request order.
    std::vector<ReplyChunk> receive(const QByteArray& bytes);

    int requestsSeen(quint8 kind) const { return requestsSeen_[kind]; }
    int requestsSeen() const;
    int repliesSent() const { return repliesSent_; }
    int repliesSuppressed() const { return repliesSuppressed_; } // left out by a fault
    int bytesDiscarded() const { return bytesDiscarded_; }       // garbage skipped on resync

    const std::vector<Record>& records() const { return records_; }
    const SimConfig& config() const { return config_; }

    // The live value the next realtime request will get.
    LiveValue peekLive() const;

    // B1 L kind payload cs.
    static QByteArray replyFrame(quint8 kind, const QByteArray& payload);

private:
    QByteArray genuineReply(quint8 kind, quint8 p1, quint8 p2);
    std::vector<ReplyChunk> applyFaults(quint8 kind, QByteArray reply);
    LiveValue liveValue(quint64 index) const;

    SimConfig config_;
    std::vector<Record> records_;
    QByteArray pending_;
    quint64 livePolls_ = 0;
    std::vector<int> faultCounters_;
    SimRandom faultRandom_;
    std::array<int, 256> requestsSeen_{};
    int repliesSent_ = 0;
    int repliesSuppressed_ = 0;
    int bytesDiscarded_ = 0;
};

} // namespace tesvaron::sim
