#pragma once
// The video server's part in a video session, over the AvData signalling
// messages that members send in command records (kind 7):
// - a member that joins (with the SSRC the hub gave it) gets a roster
//   change "entered" (rosterType 1) listing every member, itself included,
//   with status, spotlight, active and SSRC; the others get one naming it.
//   When it leaves, the others get "left" (2); a roster id is held by one
//   connection at a time, so a reconnection is a leave, then an entry;
// - START_VIDEO and STOP_VIDEO set the member's status and are passed to
//   the others under the sender's roster id;
// - SUBSCRIBE and UNSUBSCRIBE are kept (by roster id, so they outlive a
//   reconnection) and passed to the participants they name, as the client
//   reads them: roster_id the subscriber, one entry {the target, size}; a
//   member that joins later is told of the subscriptions to it;
// - RTP is forwarded only to the members that subscribed to its sender;
// - RTCP feedback (PSFB, RTPFB: key-frame and loss requests) goes to the
//   member whose SSRC it names; other RTCP is relayed to everyone;
// - a KEY_FRAME_REQUEST message naming a participant (roster_id or ssrc)
//   reaches that participant as an RTCP picture-loss request;
// - SET_SPOTLIGHT, UNSET_SPOTLIGHT and ACTIVE_SPEAKER go to every member;
//   UPDATE_VIDEO_SIZE is kept; a KEEPALIVE_REQUEST is answered;
// - text payloads, which no member of a video session reads, are dropped by
//   the hub (Reads, counted); binary payloads are relayed as they are;
// - anything else, a record that is not a command or bytes that are not an
//   AvData, is dropped and logged. Requests are never relayed as sent: the
//   server speaks for the sender with the roster id it joined with.
// Faults injected on media (FaultOptions) apply to what this role sends as
// RTP and RTCP, never to signalling.
#include <memory>

#include "outside/vzwire/relay/meeting_hub.h"

namespace vzrelay {

std::unique_ptr<SessionRole> MakeVideoServerRole(MeetingHub& hub);

}  // namespace vzrelay
