#pragma once
// The sharing server's part in a sharing session, over the DsData messages
// the members exchange as binary payloads:
// - START from the presenter is answered with code 0, or with code 40 while
//   another presenter is connected (one presenter per session); JOIN is
//   answered with code 0 and followed by what a late joiner needs to draw:
//   the sharing info, every cache kept, the latest block of each index and
//   the cursor;
// - the presenter's caches, blocks, sharing info and cursor are kept (caches
//   by index, within a byte budget) and relayed;
// - GET_CACHES is answered from the kept caches with the same blocks; what
//   is not kept is asked of the presenter;
// - STOP from the presenter sends SERVER_DISCONNECT with code 80 to the
//   others and forgets what was kept; LEAVE and keep-alives end here;
// - a COMMAND goes only to the members whose roster id its addressee
//   (dst_roster_id) names, and to every other member when none does;
// - everything else is relayed unchanged. A payload that is not a DsData is
//   dropped (logged). Text payloads (a web attendee's) are relayed as they are.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "outside/vzwire/relay/meeting_hub.h"

namespace vzrelay {

std::unique_ptr<SessionRole> MakeSharingServerRole(MeetingHub& hub);

// The byte budget of the caches kept per session; the oldest go first.
constexpr size_t kSharingCacheBudget = 64u << 20;

}  // namespace vzrelay
