#pragma once
// How often one credential (meeting, roster id and role) may join: every
// join of a roster id replaces that member's last connection, and the
// others are told of the change, so a member that connects anew without
// end would keep every other member's program busy. Each credential may
// join `burst` times at once, then once more for every `refill_ms`; a join
// past that is refused (the connection it would replace stays). An honest
// member joins once a session and again only when its connection is lost.
//
// Entries are kept only while a credential has spent some of its budget,
// so the table stays as small as the credentials joining right now.
//
// Threads: not thread-safe; the hub's caller.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "outside/vzwire/relay/join_request.h"
#include "common/log_budget.h"

namespace vzrelay {

// 20 joins at once, then five a second: the transport reconnects once per
// lost connection, and a member uses two sessions.
constexpr uint32_t kJoinBurst = 20;
constexpr uint64_t kJoinRefillMs = 200;

// The credential a join names: meeting, roster id and role, each text after
// its length, so no two credentials read alike.
std::string CredentialOf(const JoinRequest& join);

class JoinBudget {
 public:
  JoinBudget(uint32_t burst = kJoinBurst, uint64_t refill_ms = kJoinRefillMs);

  // True when `credential` may join at `now_ms` (a monotonic clock), and
  // the join is counted; false when it has joined too often of late.
  bool Take(const std::string& credential, uint64_t now_ms);
  size_t SizeForTesting() const { return spent_.size(); }

 private:
  struct Spent {
    vz::LogBudget budget;  // a token bucket: its "lines" are joins here
    uint64_t last_ms = 0;
  };
  // Forgets the credentials whose budget is whole again.
  void Prune(uint64_t now_ms);

  const uint32_t burst_;
  const uint64_t refill_ms_;
  std::map<std::string, Spent> spent_;
  size_t prune_above_ = 64;
};

}  // namespace vzrelay
