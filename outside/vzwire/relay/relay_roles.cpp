#include "outside/vzwire/relay/relay_roles.h"

#include "outside/vzwire/relay/sharing_server_role.h"
#include "outside/vzwire/relay/video_server_role.h"

namespace vzrelay {

void InstallRelayRoles(MeetingHub& hub) {
  hub.SetRoleFactory(2, &MakeVideoServerRole);
  hub.SetRoleFactory(3, &MakeSharingServerRole);
}

}  // namespace vzrelay
