#pragma once
// The in-process simulated instrument behind a scripted serial line, and its records as the
// history table must show them.

#include "replies/measure_format.h"
#include "sim/instrument.h"
#include "tests/support/form_rig.h"

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

// A window whose COM `com` opens onto the simulated instrument; no other number opens.
struct SimRig : FormRig
{
    sim::Instrument instrument;

    explicit SimRig(sim::SimConfig config = {}, ReplyFilter filter = {}, int com = 1)
        : instrument(std::move(config))
    {
        serial->setOutcome(com, OpenOutcome::Opened);
        serial->setResponder(instrumentOn(com, instrument, std::move(filter)));
    }

    // Runs the port search until it has ended with the instrument found.
    bool found()
    {
        return clock.advanceUntil([this] { return !form->Timer_findcom->Enabled(); },
                                  std::chrono::seconds(10)) &&
               form->ComFound;
    }
};

// What columns 1..3 of a history row must hold for a record.
inline QStringList recordTexts(const sim::Record& r)
{
    const MeasureTexts t = historyTexts(r.voltage, r.current, r.code);
    return {t.ground, t.line, t.current};
}

} // namespace tesvaron::test
