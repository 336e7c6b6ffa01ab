#include "replies/reply_frame.h"

#include <QByteArray>
#include <algorithm>
#include <cstddef>

namespace tesvaron {

ReplyCheck locateReply(const QByteArray& rx, int rxCount, ReplyFrameBytes& frame)
{
    const qsizetype n = std::min<qsizetype>(rxCount, rx.size());
    if (n < 4) return ReplyCheck::NoFrame;

    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rx.constData());
    const auto* end = bytes + n;
    const auto* header = std::find(bytes, end, ReplyHeader);
    // No header, or the header is the last byte received.
    if (header == end || header == end - 1) return ReplyCheck::NoFrame;

    const auto copied = std::min<qsizetype>(end - (header + 1), ReplyFrameSize);
    std::copy_n(header + 1, copied, frame.begin());

    // The checksum at [L] must be one of the bytes received now, never a leftover of an
    // earlier reply.
    const int length = frame[0];
    if (length == 0 || length > copied - 1 || length > ReplyFrameSize - 1)
        return ReplyCheck::NoFrame;

    std::uint8_t sum = 0;
    for (int k = 0; k < length; ++k)
        sum ^= frame[static_cast<std::size_t>(k)];
    return sum == frame[static_cast<std::size_t>(length)] ? ReplyCheck::Ok
                                                          : ReplyCheck::BadChecksum;
}

RealtimeValue realtimeValue(const ReplyFrameBytes& frame)
{
    return {std::uint16_t(frame[2] << 8 | frame[3]), frame[4], frame[5]};
}

HistoryRecord historyRecord(const ReplyFrameBytes& frame, int index)
{
    const std::uint8_t* record = frame.data() + 2 + 5 * index;
    return {std::uint16_t(record[0] << 8 | record[1]), std::uint16_t(record[2] << 8 | record[3]),
            record[4]};
}

int historyRecordCount(std::uint8_t length)
{
    if (length < 7) return 0;
    // (L - 2) / 5 never ends in .5, so adding 2 before the division rounds to nearest.
    const int records = (length - 2 + 2) / 5;
    // Record i occupies [2 + 5i .. 6 + 5i]; 19 records end at index 96.
    return std::min(records, 19);
}

} // namespace tesvaron
