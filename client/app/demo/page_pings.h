#pragma once
// The web page's pings of one participant's programs (APP_REQUEST_PING,
// answered by VelzarHub's UI thread through vzbridge), sent at a steady
// pace by a thread of their own, and their round trips. The answers name
// no ping: they come back in the order the pings went, so the n-th answer
// is the n-th ping's.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "client/app/demo/meeting_participant.h"

struct PingFigures {
  size_t sent = 0;
  size_t lost = 0;  // sent, never answered
  uint64_t min_ms = 0, median_ms = 0, max_ms = 0;
};

// Round trips of pings sent at `sent` answered at `answered` (both
// vz::MonotonicMs, in order); answers past the pings are ignored.
PingFigures PingRoundTrips(const std::vector<uint64_t>& sent, const std::vector<uint64_t>& answered);

class PagePinger {
 public:
  PagePinger(MeetingParticipant* participant, std::string meet_id, uint64_t every_ms)
      : participant_(participant), meet_id_(std::move(meet_id)), every_ms_(every_ms) {}
  ~PagePinger() { StopSending(); }

  void Start();
  void StopSending();
  // After StopSending: waits up to `grace_ms` for the answers still due.
  PingFigures Figures(uint64_t grace_ms);

 private:
  MeetingParticipant* participant_;
  std::string meet_id_;
  uint64_t every_ms_;
  std::vector<uint64_t> sent_;  // the thread's until Stop joins it
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
