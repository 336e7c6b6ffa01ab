#include "app/command_states.h"

namespace tesvaron {

CommandSet commandsFor(Situation situation, bool realMode, bool comFound)
{
    constexpr Switch Keep = Switch::Keep, Off = Switch::Off, On = Switch::On;
    const Switch onIf = comFound ? On : Keep;
    const Switch readAfterFailure = realMode ? Off : onIf;
    switch (situation) {
    case Situation::Startup:
        return {.read = Off,
                .save = On,
                .clear = Switch::MenuOnly,
                .print = On,
                .help = On,
                .tabs = On};
    case Situation::RealtimeView:
        return {.read = Off, .save = On, .clear = Off, .print = On, .help = On, .tabs = Keep};
    case Situation::HistoryView:
        return {.read = onIf, .save = On, .clear = On, .print = On, .help = On, .tabs = Keep};
    case Situation::Downloading:
        return {.read = Off, .save = Off, .clear = Off, .print = Off, .help = Off, .tabs = Off};
    case Situation::DownloadDone:
        return {.read = realMode ? Off : On,
                .save = On,
                .clear = On,
                .print = On,
                .help = On,
                .tabs = On};
    case Situation::ExchangeFailed:
        return {.read = readAfterFailure,
                .save = On,
                .clear = realMode ? Off : On,
                .print = On,
                .help = On,
                .tabs = On};
    case Situation::InstrumentFound:
        return {.read = realMode ? Switch::MenuOnly : On};
    case Situation::InstrumentLost:
        return {.read = Off};
    }
    return {};
}

} // namespace tesvaron
