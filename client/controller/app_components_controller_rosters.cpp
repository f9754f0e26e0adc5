// The roster map of the meeting components controller: the meeting's
// participants as the web page announces them, kept in the order of their
// roster ids' UTF-16 code units.
#include <string>

#include "client/controller/app_components_controller.h"
#include "common/string_helpers.h"
#include "common/trace_client.h"

namespace {

// The audio status a participant is stored with. A joined participant's 0
// becomes 1 (not applied on updates); an invisible participant is shown as
// 7 (in session, muted or listening) or 8 (anything else).
void ApplyAudioStatus(RosterRecord* roster, bool joined) {
  if (joined && roster->AudioStatus == 0) roster->AudioStatus = 1;
  if (roster->IsInvisible) {
    const int32_t status = roster->AudioStatus;
    roster->AudioStatus = (status == 3 || status == 4 || status == 7) ? 7 : 8;
  }
}

void LogRoster(const RosterRecord& roster, size_t count_before) {
  VZ_LOGW(u"roster id=[%s]", roster.RosterId);
  VZ_COLLECT("count [%d] roster id [%s]", static_cast<int>(count_before), WideToNarrow(roster.RosterId).c_str());
}

// Ids are at most 127 units: the record's id is cut there, so that it stays
// terminated wherever it goes (the map, the video engine, commands).
// Half of a surrogate pair is not left at the cut.
void TerminateId(RosterRecord* roster) {
  constexpr size_t kLast = std::size(RosterRecord{}.RosterId) - 1;
  char16_t* id = roster->RosterId;
  if (id[kLast] == u'\0') return;
  const bool pair_at_cut = (id[kLast - 1] & 0xFC00) == 0xD800 && (id[kLast] & 0xFC00) == 0xDC00;
  id[kLast] = u'\0';
  if (pair_at_cut) id[kLast - 1] = u'\0';
}

// The key of a record: its id up to the terminator.
std::u16string KeyOf(const RosterRecord& roster) { return std::u16string(roster.RosterId); }

}  // namespace

int32_t CAppComponentsController::OnAppCmdUserJoined(RosterRecord* roster) {
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (roster == nullptr) return 0;
  TerminateId(roster);
  LogRoster(*roster, rosters_.size());
  // The table first, with its joins-only row, also for an id already there.
  ApplyAudioStatus(roster, /*joined=*/true);
  const std::u16string key = KeyOf(*roster);
  if (rosters_.count(key) != 0) return OnAppCmdUserUpdated(roster);
  RosterRecord& stored = rosters_.emplace(key, *roster).first->second;
  NotifyRosterStatusChanged(kRosterJoined, &stored);
  if (video_.engine()) video_.engine()->AppRosterJoined(roster, 1);
  return 1;
}

int32_t CAppComponentsController::OnAppCmdUserUpdated(RosterRecord* roster) {
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (roster == nullptr) return 0;
  TerminateId(roster);
  LogRoster(*roster, rosters_.size());
  ApplyAudioStatus(roster, /*joined=*/false);
  const std::u16string key = KeyOf(*roster);
  rosters_.erase(key);
  RosterRecord& stored = rosters_.emplace(key, *roster).first->second;
  if (video_.engine()) video_.engine()->AppRosterUpdated(roster);
  NotifyRosterStatusChanged(kRosterUpdated, &stored);
  return 1;
}

int32_t CAppComponentsController::OnAppCmdUserLeft(RosterRecord* roster) {
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (roster == nullptr) return 0;
  TerminateId(roster);
  LogRoster(*roster, rosters_.size());
  const auto found = rosters_.find(KeyOf(*roster));
  if (found == rosters_.end()) {
    VZ_LOGW_ERROR(u"roster id [%s] not in meet.", roster->RosterId);
    return 0;
  }
  NotifyRosterStatusChanged(kRosterLeft, &found->second);
  if (video_.engine()) video_.engine()->AppRosterLeft(&found->second);
  rosters_.erase(found);
  return 1;
}
