#pragma once
// Request frames sent to the instrument.
//
//  byte  value     meaning
//  0     0xA1      request header
//  1     0x04      length: bytes 1..4
//  2     kind      1 history block, 2 record count, 5 probe, 6 realtime value
//  3     P1        kind 1: first record index (start); 5: 0x55; else 0
//  4     P2        kind 1: record count;              5: 0xAA; else 0
//  5     checksum  XOR of bytes 1..4
//
// Expected reply length (whole frame, header to checksum):
//  kind 1: 5 * count + 4, kind 2: 5, kind 5: 6, kind 6: 8.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tesvaron {

enum RequestKind : std::uint8_t {
    KindHistoryBlock = 1,
    KindRecordCount = 2,
    KindProbe = 5,
    KindRealtime = 6,
};

// One request ready for the wire, with the reply length it announces.
struct RequestFrame
{
    std::array<std::uint8_t, 6> bytes{};
    std::uint8_t rxNeed = 0; // length of the complete reply this request announces
};

// XOR of n bytes, starting from 0.
std::uint8_t xorChecksum(const std::uint8_t* data, std::size_t n);

// Builds the frame for `kind` after limiting the history range:
// start <= 99, count <= 10, start + count <= 100. P1 and P2 are the low 8 bits of the limited
// values. Any other kind gets P1 = P2 = 0 and rxNeed 0 (it is never sent).
RequestFrame buildRequest(std::uint8_t kind, std::int16_t start, std::int16_t count);

} // namespace tesvaron
