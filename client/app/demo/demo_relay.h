#pragma once
// vzrelay, the local meeting server of the demonstrations, on a free
// loopback port. The process ends (and is reaped) with the PipedChild.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/piped_child_testlib.h"

// Starts `bin`/vzrelay with `extra` arguments after "--port 0" and reads
// the port from its first line (within 10 s). False with `why` when it did
// not start or said something else.
bool StartDemoRelay(const std::string& bin, const std::vector<std::string>& extra, vz::PipedChild* relay,
                    int32_t* port, std::string* why);

// The token the web page hands one member, made in this process from the
// meeting's secret (kept in `secret_file`, read as vzrelay reads it).
// False with `why` when the secret cannot be read or no token was made.
bool DemoMemberToken(const std::string& secret_file, const std::string& meeting, const std::string& roster,
                     bool presenter, std::string* token, std::string* why);

// A member of a demonstration's meeting, as its token names it.
struct DemoMember {
  std::string roster;
  bool presenter = false;
};

// vzrelay for one meeting whose members each join with their own token: a
// fresh secret in `work`/meeting-secret (readable by its owner only), then
// each member's token into `tokens` (roster id -> token). False with `why`
// when the relay did not start or a token was not made.
bool StartDemoMeetingRelay(const std::string& bin, const std::string& work, const std::vector<std::string>& extra,
                           const std::string& meeting, const std::vector<DemoMember>& members, vz::PipedChild* relay,
                           int32_t* port, std::map<std::string, std::string>* tokens, std::string* why);

// The relay's stage line: "vzrelay (process N) on 127.0.0.1:PORT".
std::string DemoRelayDetail(const vz::PipedChild& relay, int32_t port);
