#pragma once
// Faults the relay injects on media (RTP and RTCP) on the way to one member,
// so that tests can prove loss recovery, jitter buffers and reconnection:
// a loss rate, a fixed delay, random jitter on top, and occasional
// reordering. Without reordering, jitter never lets a packet overtake an
// earlier one. Deterministic for a given seed.
#include <cstdint>
#include <string>

namespace vzrelay {

struct FaultOptions {
  double loss_rate = 0.0;     // 0..1, share of media packets dropped
  uint32_t delay_ms = 0;      // added to every media packet
  uint32_t jitter_ms = 0;     // uniform 0..jitter_ms more
  double reorder_rate = 0.0;  // 0..1, share of packets held back behind later ones
  uint32_t cut_after_s = 0;   // connections are cut this long after the first join of a member it
                              // reaches (0: never)
  uint32_t cut_for_s = 2;     // and connections are refused for this long after a cut
  std::string cut_roster;     // the cut reaches only members joined with this roster id (empty: every one)

  bool AffectsMedia() const {
    return loss_rate > 0 || delay_ms > 0 || jitter_ms > 0 || reorder_rate > 0;
  }
};

class MediaFaultInjector {
 public:
  MediaFaultInjector(const FaultOptions& options, uint64_t seed);
  // The fate of one media packet offered at now_ms: false to drop it, or
  // true with the time it is due for sending.
  bool Admit(uint64_t now_ms, uint64_t* due_ms);
  uint64_t Dropped() const { return dropped_; }

 private:
  double NextUnit();  // uniform in [0, 1)

  FaultOptions options_;
  uint64_t state_;
  uint64_t last_due_ = 0;
  uint64_t dropped_ = 0;
};

}  // namespace vzrelay
