#include "weblink/json/json_lookup.h"
#include "weblink/records/record_builders.h"
#include "weblink/records/wide_field.h"

namespace {

// The audio state, overridden by the telephone's when that is in session.
int32_t AudioStatusOf(const JsonMembers& roster) {
  const JsonMembers audio = JsonGetObject(roster, "audio_status");
  int32_t status = kAudioStatusNotInSession;
  if (JsonGetBool(audio, "is_in_session")) {
    status = JsonGetBool(audio, "is_mute") ? kAudioStatusInSessionMuted : kAudioStatusInSession;
  }
  const JsonMembers telephone = JsonGetObject(roster, "telephone_status");
  if (JsonGetBool(telephone, "is_in_session")) {
    status = JsonGetBool(telephone, "is_mute") ? kAudioStatusTelephoneMuted : kAudioStatusTelephone;
  }
  return status;
}

}  // namespace

void ParseRosterLeftRecord(const JsonMembers& roster, RosterRecord* record) {
  *record = RosterRecord{};
  StoreWideField(record->RosterId, JsonGetString(roster, "id"), "RosterId");
}

void ParseRosterRecord(const JsonMembers& roster, RosterRecord* record) {
  ParseRosterLeftRecord(roster, record);
  const JsonMembers user = JsonGetObject(roster, "user");
  StoreWideField(record->Name, JsonGetString(user, "name"), "Name");
  StoreWideField(record->FirstName, JsonGetString(user, "first_name"), "FirstName");
  StoreWideField(record->LastName, JsonGetString(user, "last_name"), "LastName");
  // Flags come from the element itself, not from "user".
  record->IsHost = JsonGetBool(roster, "is_host") ? 1 : 0;
  record->IsPresenter = JsonGetBool(roster, "is_presenter") ? 1 : 0;
  record->IsInvisible = JsonGetBool(roster, "is_invisible") ? 1 : 0;
  record->AudioStatus = AudioStatusOf(roster);
}
