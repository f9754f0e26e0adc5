#pragma once
// Whose holding time a connection spends (SenderHold's account): its
// member's credential (meeting, roster id and role), so that the member's
// reconnections spend one time, for the connections of one kind of session.
// A member's video connection is never what holds a presenter, and its
// queue passes the high mark with each key frame it is sent: it keeps an
// account of its own, so that it spends none of the time the member's
// sharing connection holds its presenter with.
//
// Threads: any; pure.
#include "outside/vzwire/relay/join_request.h"
#include "outside/vzwire/relay/sender_hold.h"

namespace vzrelay {

// The account of a connection joined with `join`. Two joins have one
// account exactly when their meeting, roster id, role and session type are
// the same (each text after its length, so no two read alike).
SenderHold::Account HoldAccountOf(const JoinRequest& join);

}  // namespace vzrelay
