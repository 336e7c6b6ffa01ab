#include "link/request_frame.h"

#include <algorithm>

namespace tesvaron {

std::uint8_t xorChecksum(const std::uint8_t* data, std::size_t n)
{
    std::uint8_t sum = 0;
    for (std::size_t k = 0; k < n; ++k)
        sum ^= data[k];
    return sum;
}

RequestFrame buildRequest(std::uint8_t kind, std::int16_t start, std::int16_t count)
{
    // The limits apply to every kind, but only kind 1 carries the range.
    int first = std::min<int>(start, 99);
    int n = std::min<int>(count, 10);
    if (first + n > 100) n = 100 - first;

    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;
    RequestFrame frame;
    switch (kind) {
    case KindHistoryBlock:
        p1 = static_cast<std::uint8_t>(first & 0xFF);
        p2 = static_cast<std::uint8_t>(n & 0xFF);
        frame.rxNeed = static_cast<std::uint8_t>(5 * n + 4);
        break;
    case KindRecordCount:
        frame.rxNeed = 5;
        break;
    case KindProbe:
        p1 = 0x55;
        p2 = 0xAA;
        frame.rxNeed = 6;
        break;
    case KindRealtime:
        frame.rxNeed = 8;
        break;
    default:
        // Never sent; the frame stays well-formed and announces no reply.
        frame.rxNeed = 0;
        break;
    }

    frame.bytes = {0xA1, 0x04, kind, p1, p2, 0};
    frame.bytes[5] = xorChecksum(frame.bytes.data() + 1, 4);
    return frame;
}

} // namespace tesvaron
