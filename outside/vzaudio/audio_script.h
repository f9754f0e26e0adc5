#pragma once
// What the stand-in audio engine is told to do beyond a plain join, for
// tests: a text of items separated by ';', each "key=value":
//
//   join=0                      JoinAudio refuses (returns 0, reports nothing)
//   error=<code>,<code type>    after "connecting" the join fails with this error
//   speakers=<n>,<n>,...        active speakers reported after "joined"
//   networks=<ssrc>:<loss>:<latency>:<jitter>:<quality>,...
//                               network figures reported after "joined"
//   levels=<speaker>,<mic>      device levels reported after "joined"
//   mic=<status>                microphone status reported after "joined"
//
// Numbers are decimal; lists hold 1 to 64 entries.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contracts/ac_report_entries.h"

struct AudioScript {
  bool join_accepted = true;
  std::optional<std::pair<int32_t, int32_t>> join_error;  // code, code type
  std::vector<ACSpeakerEntry> speakers;
  std::vector<ACRosterNetworkEntry> networks;
  std::optional<std::pair<int32_t, int32_t>> levels;  // speaker, microphone
  std::optional<int32_t> mic_status;
};

inline constexpr size_t kMaxAudioScriptListEntries = 64;

// False, with `error` naming the item, for anything malformed; `script` is
// then left as it was.
bool ParseAudioScript(std::string_view text, AudioScript* script, std::string* error);
