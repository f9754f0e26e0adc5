#pragma once
// The session roles the meeting server plays beyond relaying, installed on a
// hub: the sharing server (when the build has the sharing protocol).
#include "outside/vzwire/relay/meeting_hub.h"

namespace vzrelay {

void InstallRelayRoles(MeetingHub& hub);

}  // namespace vzrelay
