#pragma once
// The link's decisions, free of any window: exchange outcome codes, timer periods and how the
// port search steps through the COM numbers.

#include <chrono>
#include <cstdint>
#include <string_view>

namespace tesvaron {

// How the exchange last started stands.
enum class LinkCode : std::uint8_t {
    None = 0,        // no exchange yet
    Awaiting = 1,    // request written, reply awaited
    ReplyOk = 2,     // a complete frame with a correct checksum came
    BadChecksum = 3, // a complete frame came, its checksum was wrong
    TimedOut = 5,    // no accepted reply before the reply timer ran out
};

using namespace std::chrono_literals;
inline constexpr auto DatePeriod = 1000ms;
inline constexpr auto FindcomPeriod = 600ms;
inline constexpr auto RealPeriod = 1500ms;
inline constexpr auto ReadPeriod = 30ms;
inline constexpr auto ReplyTimeout = 2500ms;

inline constexpr int FirstComNumber = 1;
inline constexpr int LastComNumber = 16;

// The port the search tries after `com`: 1, 2, ..., 16, 1, ...
constexpr int nextComNo(int com)
{
    return com >= LastComNumber ? FirstComNumber : com + 1;
}

// The port before `com`: the search has already moved past the port that answered.
constexpr int previousComNo(int com)
{
    return com == FirstComNumber ? LastComNumber : com - 1;
}

// Whether a found instrument is lost to polling: its COM number no longer names a device, or
// names another device than the one it answered on (unpinned numbers shift when an adapter goes
// away). A device that is there but silent keeps being polled.
bool instrumentGone(bool noSuchPort, std::string_view foundDevice, std::string_view device);

} // namespace tesvaron
