#include "video/engine/client/user_change_batch.h"

#include <algorithm>

#include "video/engine/client/video_controller.h"

namespace {

// The panel drops a participant's tile and renderers for these: what comes
// after them needs new ones (a member that left comes back with a new
// channel). An entry without video drops nothing: there was nothing.
bool Removes(const UserChange& change) {
  if (change.msg == WMVC_USER_LEFT) return true;
  return change.msg == WMVC_USER_UPDATED && (change.user.videoStatus != 1 || change.user.head.IsInvisible != 0);
}

}  // namespace

void UserChangeBatch::Add(UserChange change) {
  Entry& entry = entries_[change.user.rosterId];
  const uint64_t order = next_order_++;
  if (Removes(change)) {
    entry.removal = Step{std::move(change), order};
    entry.last.reset();
    return;
  }
  if (!entry.last) {
    entry.last = Step{std::move(change), order};
    return;
  }
  // Still there: the newest record, at the place where it began. An entry
  // stays one (its tile is new); one updated before the panel saw it asks
  // for the refresh the update would have made.
  UserChange& kept = entry.last->change;
  if (kept.msg == WMVC_USER_ENTER) {
    change.arg = kept.arg != 0 || change.arg != 0 || change.msg == WMVC_USER_UPDATED ? 1 : 0;
    change.msg = WMVC_USER_ENTER;
  } else {
    change.msg = WMVC_USER_UPDATED;
  }
  kept = std::move(change);
}

std::vector<UserChange> UserChangeBatch::Take() {
  std::vector<Step> steps;
  for (auto& [id, entry] : entries_) {
    if (entry.removal) steps.push_back(std::move(*entry.removal));
    if (entry.last) steps.push_back(std::move(*entry.last));
  }
  entries_.clear();
  std::sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return a.order < b.order; });
  std::vector<UserChange> out;
  out.reserve(steps.size());
  for (Step& step : steps) out.push_back(std::move(step.change));
  return out;
}
