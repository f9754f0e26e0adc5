#pragma once
// Reads what a join needs from the session record the system hands to Join:
// a sharing session's DSSessionConfig or a video session's AVSessionConfig.
// The record arrives as bytes of a layout the contracts fix (wide UTF-16
// text fields and 32-bit integers at fixed offsets); each text is read up to
// its NUL or its field's end, whichever comes first.
#include <cstdint>
#include <string>

#include "outside/vzwire/relay/join_request.h"

namespace vzwire {

// Where to join: the in-process server ("loopback") or vzrelay's TCP port.
struct JoinTarget {
  bool loopback = false;
  uint16_t port = 0;
  vzrelay::JoinRequest request;
};

// The server address that selects the in-process loopback server.
constexpr char kLoopbackServerAddress[] = "loopback";

// False with `error` set when the record is unusable: no session id, a
// server that is not on this machine, or no port.
bool ReadSessionConfig(uint8_t session_type, const void* config, JoinTarget* target, std::string* error);

}  // namespace vzwire
