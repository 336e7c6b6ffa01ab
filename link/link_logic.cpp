#include "link/link_logic.h"

namespace tesvaron {

bool instrumentGone(bool noSuchPort, std::string_view foundDevice, std::string_view device)
{
    if (noSuchPort) return true;
    // Where no device name is known either way, only a missing port tells.
    if (foundDevice.empty() || device.empty()) return false;
    return foundDevice != device;
}

} // namespace tesvaron
