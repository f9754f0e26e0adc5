#pragma once
// What a transport sends to join a session, taken from the session's config
// record: the session it names, the token that admits it and who it is.
#include <cstdint>
#include <string>
#include <vector>

#include "contracts/transport_session_types.h"

namespace vzrelay {

struct JoinRequest {
  uint8_t session_type = 0;    // kTransportSessionVideo or kTransportSessionSharing
  bool presenter = false;
  bool web_attendee = false;
  uint32_t previous_ssrc = 0;  // kept across a reconnection when still free
  std::string session_id;      // sharing: the DS id; video: the meeting id
  std::string meet_id;
  std::string token;
  std::string roster_id;
  std::string application_name;
  std::string join_parameters;
};

// The longest text a join carries (bytes of UTF-8).
constexpr size_t kMaxJoinText = 1024;

std::vector<uint8_t> EncodeJoinRequest(const JoinRequest& request);
// False for a payload that is short, too long in a text or has bytes left.
bool DecodeJoinRequest(const uint8_t* data, size_t size, JoinRequest* request);

}  // namespace vzrelay
