#pragma once
// The reply fuzz target's entry points, shared by the libFuzzer build and the corpus replay.
//
// One input is one receive notification for a window whose link is in a chosen state:
//
//   byte 0   state, modulo 6: searching; polling in the realtime view; polling in the history
//            view; waiting for the record count of a download; a download asked for while a
//            poll is still open; in the middle of a download
//   byte 1   delivery: bit 7 set: DataDecode straight away with RxCount = the bytes' count plus
//            bits 0..6 read as a signed number (so RxCount may disagree with the bytes);
//            bit 6 set: two notifications, split after (bits 0..5) bytes; otherwise one
//   byte 2   record total of the download in the middle (1..99)
//   byte 3   blocks of that download already in
//   rest     the bytes received
//
// Every input ends with the window's invariants checked; a violation aborts.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tesvaron::fuzz {

inline constexpr int StateCount = 6;
inline constexpr std::size_t HeaderSize = 4;

// What the inputs run so far reached, so a replay can tell that its corpus still covers the
// decoder.
struct Stats
{
    long inputs = 0;
    std::array<long, StateCount> perState{};
    std::array<long, 256> acceptedKind{}; // LinkState 2 after the notification, by reply kind
    long badChecksum = 0;                 // LinkState 3
    long undecoded = 0;                   // the notification came, no frame was found
    long notNotified = 0;                 // fewer bytes than the receive threshold
    long rowsWritten = 0;                 // history cells written
    long nextBlockAsked = 0;              // a block request followed the reply
    long downloadsEnded = 0;              // commands given back by the reply itself
    long emptyTotals = 0;                 // the "no records" message box
    long endedByTimeout = 0;              // commands given back by the reply timer afterwards
};

const Stats& stats();

} // namespace tesvaron::fuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
