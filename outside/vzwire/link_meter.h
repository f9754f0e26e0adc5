#pragma once
// Measures a transport's link for the periodic network report: the uplink
// bandwidth the sender may use, the rate sent and received, round trip and
// its jitter from the pings, and the share of media the server could not
// deliver to me. Pure bookkeeping with times passed in, so tests drive it
// without a clock.
//
// The bandwidth is an estimate of what the link carries, not what was sent:
// a sender that sized its output to the rate it sent last would only ever
// shrink (an encoder that sends little would be told that little is all
// there is). It grows a quarter a second while the send queue stays short
// and falls to what actually went out when the queue backs up.
#include <cstdint>

namespace vzwire {

struct LinkReport {
  uint8_t state = 0;        // 0 good, 1 congested or lossy, 2 reconnecting
  int32_t bandwidth = 0;    // bytes/s the uplink is estimated to carry
  int32_t jitter = 0;       // ms, mean deviation of the round trip
  float lossrate = 0;       // 0..1
  int32_t rtt = 0;          // ms, smoothed
  int32_t totalbw = 0;      // bits/s sent and received
};

class LinkMeter {
 public:
  // A send backlog above this many bytes counts as congestion.
  static constexpr uint64_t kCongestedBacklog = 16000;
  // The uplink estimate, bytes/s: where it starts, its floor and ceiling.
  static constexpr int32_t kStartBandwidth = 100000;  // 800 kbit/s
  static constexpr int32_t kMinBandwidth = 8000;
  static constexpr int32_t kMaxBandwidth = 1250000;  // 10 Mbit/s

  void OnSent(uint64_t bytes) { sent_ += bytes; }
  void OnReceived(uint64_t bytes) { received_ += bytes; }
  // A pong: the round trip, and the server's running counts of the media
  // it dropped for me and of all the media meant for me.
  void OnPong(uint64_t rtt_us, uint32_t dropped_total, uint32_t offered_total);
  // The report for the interval since the last call (at most one a second
  // is meant; any interval works).
  LinkReport Report(uint64_t now_ms, uint64_t backlog, bool reconnecting);

 private:
  uint64_t sent_ = 0;
  uint64_t received_ = 0;
  uint32_t dropped_total_ = 0;
  uint32_t offered_total_ = 0;
  uint32_t dropped_at_report_ = 0;
  uint32_t offered_at_report_ = 0;
  bool have_rtt_ = false;
  double rtt_ms_ = 0;
  double jitter_ms_ = 0;
  uint64_t last_report_ms_ = 0;
  int32_t estimate_ = kStartBandwidth;
};

}  // namespace vzwire
