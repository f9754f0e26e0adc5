#include "outside/vzwire/relay/hold_account.h"

#include <string>

namespace vzrelay {

SenderHold::Account HoldAccountOf(const JoinRequest& join) {
  return std::to_string(join.meet_id.size()) + ":" + join.meet_id + std::to_string(join.roster_id.size()) + ":" +
         join.roster_id + (join.presenter ? "presenter" : "attendee") + " " + std::to_string(join.session_type);
}

}  // namespace vzrelay
