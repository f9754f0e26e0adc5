#include "outside/vzwire/relay/relay_roles.h"

namespace vzrelay {

// Built without the sharing protocol: every session only relays.
void InstallRelayRoles(MeetingHub&) {}

}  // namespace vzrelay
