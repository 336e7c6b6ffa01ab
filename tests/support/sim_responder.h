#pragma once
// Connects the in-process simulated instrument to a scripted serial line on one COM number.

#include "sim/instrument.h"
#include "tests/support/scripted_serial.h"

#include <functional>

namespace tesvaron::test {

// `filter` may replace or drop what the instrument answers (return the chunks to send).
using ReplyFilter = std::function<std::vector<ScriptedSerial::Chunk>(
    const QByteArray& request, std::vector<ScriptedSerial::Chunk> reply)>;

inline ScriptedSerial::Responder instrumentOn(int com, sim::Instrument& instrument,
                                              ReplyFilter filter = {})
{
    return [com, &instrument, filter](int at, const QByteArray& written) {
        std::vector<ScriptedSerial::Chunk> out;
        if (at != com) return out;
        for (const sim::ReplyChunk& c : instrument.receive(written))
            out.push_back({c.delay, c.bytes});
        return filter ? filter(written, std::move(out)) : out;
    };
}

} // namespace tesvaron::test
