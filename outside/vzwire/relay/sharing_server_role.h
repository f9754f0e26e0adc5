#pragma once
// The sharing server's part in a sharing session, over the DsData messages
// the members exchange as binary payloads. The members are not trusted:
// the server speaks for each of them only as the participant it joined as.
// - START from a member that joined as a presenter is answered with code 0,
//   or with code 40 while another presenter is connected (one presenter per
//   session); from any other member with code 10 (an error); JOIN is
//   answered with code 0 and followed by what a late joiner needs to draw:
//   the sharing info, the caches kept (one a message), the latest block of
//   each position and the cursor, the payloads kept once and shared by
//   every member they are queued for, paced so that the member's queue
//   stays short (what the presenter sends meanwhile waits behind the
//   replay, counted toward the member's backlog limit: a member that takes
//   too little of it is dropped there). A JOIN while the member's replay
//   runs is answered and restarts nothing; starting a replay costs the
//   same however many caches are kept (they are walked as they are sent);
// - a member that falls behind (the server reports it: it takes much less
//   than it is sent) no longer gets the presenter's records; once it caught
//   up it gets the screen anew as a late joiner does, of the caches those
//   it missed; the records that passed it by meanwhile count toward its
//   backlog limit;
// - only the presenter sends caches, blocks, sharing info and cursor; the
//   same records from another member are dropped (logged), and so are
//   the fields of those records (caches, sharing info, cursor, blocks) in
//   whatever else it sends (a command keeps the rest). The presenter's
//   are kept and relayed: the latest block of each position (at most
//   kMaxKeptBlocks positions), and the latest cache of each index that an
//   attendee keeps (below kKeptCacheIndexEnd), within kSharingCacheBudget
//   bytes: the oldest that the kept blocks and cursor do not show go
//   first. (The presenter shows a cache it sent long ago again without
//   sending it again, so a cache no block shows now is still needed.)
// - GET_CACHES is answered from the kept caches, each cache named once
//   with one of the blocks naming it, in the order named, up to what the
//   member may be sent (a data frame, kMaxDataPayload, and the room left
//   under its backlog limit, weighed before the answer is built), of the
//   request's first kKeptCacheIndexEnd blocks (an attendee names each
//   cache it misses once, and keeps fewer); the caches past that are not
//   answered, and the member asks again for what it still misses (the
//   attendee's engine does, every second for a while). When some named
//   before that point are not kept, the presenter hears of the request;
//   GET_KEYFRAME goes to the presenter, one at a time: while the presenter
//   has one it sent no blocks since, for up to kKeyFrameRequestWaitMs,
//   later ones are not passed on (counted). What a member sends the presenter (these and
//   commands) reaches it without caches, blocks, a sharing info, a cursor
//   or a code, whatever its type: the presenter's engine would take them
//   as its own screen's, and a code as its session's end;
// - STOP from the presenter sends SERVER_DISCONNECT with code 80 to the
//   others and forgets what was kept; LEAVE and keep-alives end here;
// - a COMMAND is relayed with its sender (src_roster_id) set to the roster
//   id the sending member joined with, whatever it said; it goes only to
//   the members whose roster id its addressee (dst_roster_id) names, and
//   to every other member when none does;
// - codes are the server's: a member's message is relayed without its
//   `code` (the rest of it stands), and a SERVER_DISCONNECT from a member
//   is dropped;
// - a message of a type the protocol does not define (or of none) is
//   dropped (logged), as is a payload that is not a DsData. Text payloads
//   and command records are relayed as they are; RTP and RTCP, which no
//   member of a sharing session reads, are dropped by the hub (Reads).
// Where a field appears more than once, the last one counts, as the
// members' parsers read it.
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
// Cache indices run from 1 to this, less one, as attendees keep them.
constexpr uint64_t kKeptCacheIndexEnd = 5000;
// The block positions kept per session (100 x 100 cells of 128 pixels on
// each of several monitors); blocks of further positions are relayed only.
constexpr size_t kMaxKeptBlocks = 65536;
// A key-frame request passed on to the presenter waits this long for its
// next blocks before a later one is passed on: a presenter that lost or
// ignored one hears the next within a second (as often as an attendee's
// engine asks again for the caches it misses), and however many attendees
// ask, it hears at most one request a second while it sends no blocks.
constexpr uint64_t kKeyFrameRequestWaitMs = 1000;

}  // namespace vzrelay
