#include "platform/desktop_switch.h"

namespace vz {

std::unique_ptr<DesktopSwitchEvents> OpenDesktopSwitchEvents() { return nullptr; }

}  // namespace vz
