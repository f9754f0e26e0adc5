#pragma once
// Test support: a member's join carrying a token of the test's choosing
// (a member token under the test relay's secret, a plain one, a wrong one
// or none), for any meeting and session.
#include <string>

#include "outside/vzwire/relay/join_request.h"
#include "outside/vzwire/relay/raw_member_testlib.h"

namespace vzrelay_test {

// A join of `meeting` (by default meet-1) with `token`, into `session` (by
// default ds-1 for sharing, the meeting's id for video).
inline vzrelay::JoinRequest Joining(uint8_t type, const std::string& roster, const std::string& token,
                                    bool presenter = false, const std::string& meeting = "meet-1",
                                    const std::string& session = "") {
  vzrelay::JoinRequest join =
      PlainJoin(roster, type, !session.empty() ? session : type == kSharing ? "ds-1" : meeting, meeting, presenter);
  join.token = token;
  return join;
}

}  // namespace vzrelay_test
