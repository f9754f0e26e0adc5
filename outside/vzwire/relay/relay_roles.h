#pragma once
// The session roles the meeting server plays beyond relaying, installed on a
// hub: the video server and the sharing server.
#include "outside/vzwire/relay/meeting_hub.h"

namespace vzrelay {

void InstallRelayRoles(MeetingHub& hub);

}  // namespace vzrelay
