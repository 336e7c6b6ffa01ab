#pragma once
// Which commands the window offers in each situation. Each command is a button and its menu
// item (for Help: the top-level menu) switched together; MenuOnly leaves the button off and the
// menu item on, as at start-up (Clear) and when the search finds the instrument in the realtime
// view (Read, whose handler then refuses to run there). Close is never switched.

#include <cstdint>

namespace tesvaron {

enum class Switch : std::uint8_t { Keep, Off, On, MenuOnly };

enum class Situation {
    Startup,         // the window has just opened
    RealtimeView,    // the realtime tab was chosen
    HistoryView,     // the history tab was chosen
    Downloading,     // Read was pressed: only Close is left
    DownloadDone,    // the last block came, or the instrument holds no records
    ExchangeFailed,  // the reply timeout, or a download that ended early
    InstrumentFound, // the search has found the instrument
    InstrumentLost,  // the instrument no longer answers where it was found; searching again
};

struct CommandSet
{
    Switch read = Switch::Keep;
    Switch save = Switch::Keep;
    Switch clear = Switch::Keep;
    Switch print = Switch::Keep;
    Switch help = Switch::Keep;
    Switch tabs = Switch::Keep;
    friend bool operator==(const CommandSet&, const CommandSet&) = default;
};

CommandSet commandsFor(Situation situation, bool realMode, bool comFound);

} // namespace tesvaron
