#include "app/command_states.h"

namespace tesvaron {

CommandSet commandsFor(Situation situation, bool realMode, bool comFound)
{
    constexpr Switch Keep = Switch::Keep, Off = Switch::Off, On = Switch::On;
    const Switch onIf = comFound ? On : Keep;
    switch (situation) {
    case Situation::Startup:
        return {Off, On, Switch::MenuOnly, On, On, On};
    case Situation::RealtimeView:
        return {Off, On, Off, On, On, Keep};
    case Situation::HistoryView:
        return {onIf, On, On, On, On, Keep};
    case Situation::Downloading:
        return {Off, Off, Off, Off, Off, Off};
    case Situation::DownloadDone:
        return {realMode ? Off : On, On, On, On, On, On};
    case Situation::ExchangeFailed:
        return {realMode ? Off : onIf, On, realMode ? Off : On, On, On, On};
    case Situation::InstrumentFound:
        return {realMode ? Switch::MenuOnly : On, Keep, Keep, Keep, Keep, Keep};
    case Situation::InstrumentLost:
        return {Off, Keep, Keep, Keep, Keep, Keep};
    }
    return {};
}

} // namespace tesvaron
