#include "outside/vzwire/relay/relay_roles.h"

#include "contracts/transport_session_types.h"
#include "outside/vzwire/relay/sharing_server_role.h"
#include "outside/vzwire/relay/video_server_role.h"

namespace vzrelay {

void InstallRelayRoles(MeetingHub& hub) {
  hub.SetRoleFactory(kTransportSessionVideo, &MakeVideoServerRole);
  hub.SetRoleFactory(kTransportSessionSharing, &MakeSharingServerRole);
}

}  // namespace vzrelay
