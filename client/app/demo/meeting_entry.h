#pragma once
// What the web page sends a participant's programs before any session: the
// start request (upgrades disabled, so vzbridge starts the VelzarHub beside
// it), the meeting config, the meeting's rosters, then a ping whose answer
// says that VelzarHub took all of it.
#include <string>
#include <vector>

#include "client/app/demo/meeting_participant.h"

struct MeetingEntry {
  std::string bridge;                    // the vzbridge program
  std::vector<std::string> environment;  // added to the sandbox's
  std::string meet_id;
  std::string roster;   // this participant's roster id
  std::string rosters;  // the members of the joined rosters' JSON array
  // The web page's language (the start request's "language"), checked by
  // ParseDemoLanguage (demo_options.h): it goes into the JSON as it stands.
  std::string language = "en-us";
};

// False with `why` when a program did not start or an answer did not come
// within `timeout_ms` (each).
bool EnterMeeting(MeetingParticipant& participant, const MeetingEntry& entry, int timeout_ms, std::string* why);
