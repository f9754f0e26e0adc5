#include "outside/vzwire/link_meter.h"

#include <algorithm>
#include <cmath>

namespace vzwire {

void LinkMeter::OnPong(uint64_t rtt_us, uint32_t dropped_total, uint32_t offered_total) {
  const double rtt = static_cast<double>(rtt_us) / 1000.0;
  if (!have_rtt_) {
    rtt_ms_ = rtt;
    have_rtt_ = true;
  } else {
    // The usual smoothing of round trips: 1/8 of each new sample, and 1/4
    // of its deviation for the jitter.
    jitter_ms_ += (std::fabs(rtt - rtt_ms_) - jitter_ms_) / 4;
    rtt_ms_ += (rtt - rtt_ms_) / 8;
  }
  dropped_total_ = dropped_total;
  offered_total_ = offered_total;
}

LinkReport LinkMeter::Report(uint64_t now_ms, uint64_t backlog, bool reconnecting) {
  LinkReport report;
  const uint64_t elapsed = last_report_ms_ == 0 || now_ms <= last_report_ms_ ? 1000 : now_ms - last_report_ms_;
  last_report_ms_ = now_ms;
  const auto rate = [elapsed](uint64_t bytes) {
    const double bits = static_cast<double>(bytes) * 8000.0 / static_cast<double>(elapsed);
    return bits > 2147483647.0 ? 2147483647 : static_cast<int32_t>(bits);
  };
  const int64_t sent_bytes_per_s = rate(sent_) / 8;
  if (reconnecting) {
    // Nothing was measured: the estimate stands.
  } else if (backlog > kCongestedBacklog) {
    estimate_ = static_cast<int32_t>(std::max<int64_t>(kMinBandwidth, sent_bytes_per_s * 85 / 100));
  } else {
    const int64_t base = std::max<int64_t>(estimate_, sent_bytes_per_s);
    estimate_ = static_cast<int32_t>(std::min<int64_t>(kMaxBandwidth, base + base / 4));
  }
  report.bandwidth = estimate_;
  report.totalbw = rate(sent_ + received_);
  report.rtt = static_cast<int32_t>(std::lround(rtt_ms_));
  report.jitter = static_cast<int32_t>(std::lround(jitter_ms_));
  // Both counts come from one pong, so they cover the same packets. They
  // only grow within one connection; a fresh connection starts them again.
  const bool restarted = offered_total_ < offered_at_report_ || dropped_total_ < dropped_at_report_;
  const uint32_t dropped = restarted ? dropped_total_ : dropped_total_ - dropped_at_report_;
  const uint32_t offered = restarted ? offered_total_ : offered_total_ - offered_at_report_;
  dropped_at_report_ = dropped_total_;
  offered_at_report_ = offered_total_;
  report.lossrate = offered == 0 ? 0.0f : static_cast<float>(dropped) / static_cast<float>(offered);
  if (reconnecting) {
    report.state = 2;
  } else if (backlog > kCongestedBacklog || report.lossrate > 0.05f) {
    report.state = 1;
  }
  sent_ = received_ = 0;
  return report;
}

}  // namespace vzwire
