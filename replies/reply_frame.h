#pragma once
// Reply frames from the instrument.
//
//  offset  width  field
//  0       1      header 0xB1
//  1       1      length L: bytes from this one through the last payload byte (2 + payload)
//  2       1      kind: 0x01 history block, 0x02 record count, 0x05 probe, 0x06 realtime, 0xF1
//  3       L-2    payload (big-endian numbers)
//  L+1     1      checksum: XOR of offsets 1..L
//
// The frame is kept without its header in a 101-byte array: [0] = L, [1] = kind,
// [2..] payload, [L] checksum.
//
// Payloads:
//  0x05 probe         55 AA
//  0x06 realtime      volt hi, volt lo, current (0..255), decimal code
//  0x02 record count  total (0..255)
//  0x01 history block n records of: volt hi, volt lo, curr hi, curr lo, decimal code

#include <array>
#include <cstdint>

class QByteArray;

namespace tesvaron {

inline constexpr std::uint8_t ReplyHeader = 0xB1;
inline constexpr int ReplyFrameSize = 101;
using ReplyFrameBytes = std::array<std::uint8_t, ReplyFrameSize>;

enum class ReplyCheck {
    NoFrame,     // too short, no header, zero length, L > 100 or not all of it received
    BadChecksum, // complete frame, checksum wrong
    Ok,          // complete frame, checksum right
};

// Finds the first 0xB1 in the first rxCount bytes of rx (never past rx.size()), copies the bytes
// after it into frame (never more than 101; positions not covered keep their old contents) and
// checks the length byte and checksum. A frame counts only when every byte of it up to its
// checksum lies inside the received bytes. Without a header, frame is left alone; once a
// header is found the bytes after it are copied even if the frame then turns out incomplete.
ReplyCheck locateReply(const QByteArray& rx, int rxCount, ReplyFrameBytes& frame);

// The numbers of a realtime reply.
struct RealtimeValue
{
    std::uint16_t rawVolt = 0;   // tenths of a kV
    std::uint8_t rawCurrent = 0; // payload byte 2 alone; byte 1 is the voltage's low byte
    std::uint8_t code = 0;       // decimal code of the current
};
RealtimeValue realtimeValue(const ReplyFrameBytes& frame);

// The numbers of record `index` (0-based) of a history block.
struct HistoryRecord
{
    std::uint16_t rawVolt = 0;
    std::uint16_t rawCurrent = 0;
    std::uint8_t code = 0;
};
HistoryRecord historyRecord(const ReplyFrameBytes& frame, int index);

// Records in a history block of length L: (L - 2) / 5 to the nearest whole number; 0 when
// L < 7 (no whole record); never more than the 101-byte frame can hold (19).
int historyRecordCount(std::uint8_t length);

} // namespace tesvaron
