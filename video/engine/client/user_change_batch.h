#pragma once
// The participants' changes (entered, updated, left) that wait together for
// one turn of the controller's owner thread, merged so that the panel takes
// each participant once however many times it changed meanwhile: a member
// that reconnects in a loop costs one layout a turn, not one a reconnection.
//
// Merging keeps what the panel would have ended with had it taken every
// change: the last record wins; a participant that left or stopped its
// video in between and came back is given as that going, then the return
// (its renderers must be made again: its channel is new); and the changes
// come out in the order the panel would have added its tiles.
//
// Not thread-safe: the controller guards it with its own lock.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "video/engine/client/video_roster_info.h"

// One change as the panel takes it: the message (WMVC_USER_ENTER, _UPDATED
// or _LEFT), a copy of the record and the message's argument.
struct UserChange {
  uint32_t msg = 0;
  VideoRosterInfo user;
  intptr_t arg = 0;
};

class UserChangeBatch {
 public:
  void Add(UserChange change);
  bool empty() const { return entries_.empty(); }
  // The merged changes: for each participant the last removal of its tile
  // (when one came before its last state) and that state, ordered by when
  // each began.
  std::vector<UserChange> Take();

 private:
  struct Step {
    UserChange change;
    uint64_t order = 0;
  };
  struct Entry {
    std::optional<Step> removal;  // the last leave, or stop of its video
    std::optional<Step> last;     // the state since, begun at `order`
  };

  std::map<std::string, Entry> entries_;
  uint64_t next_order_ = 0;
};
