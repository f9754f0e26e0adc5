#include "client/app/demo/page_pings.h"

#include <algorithm>

#include "platform/clock.h"

namespace {

constexpr char kPong[] = "APP_RESPONSE_PONG";

}  // namespace

PingFigures PingRoundTrips(const std::vector<uint64_t>& sent, const std::vector<uint64_t>& answered) {
  PingFigures figures;
  figures.sent = sent.size();
  const size_t matched = std::min(sent.size(), answered.size());
  figures.lost = sent.size() - matched;
  std::vector<uint64_t> trips;
  for (size_t i = 0; i < matched; ++i) trips.push_back(answered[i] >= sent[i] ? answered[i] - sent[i] : 0);
  if (trips.empty()) return figures;
  std::sort(trips.begin(), trips.end());
  figures.min_ms = trips.front();
  figures.median_ms = trips[trips.size() / 2];
  figures.max_ms = trips.back();
  return figures;
}

void PagePinger::Start() {
  participant_->TimeArrivals(kPong);
  const std::string ping = "{\"type\":\"APP_REQUEST_PING\",\"action\":{\"conf_id\":\"" + meet_id_ + "\"}}";
  thread_ = std::thread([this, ping] {
    uint64_t next = vz::MonotonicMs();
    while (!stop_) {
      const uint64_t now = vz::MonotonicMs();
      if (now < next) {
        vz::SleepMs(static_cast<uint32_t>(next - now));
        continue;
      }
      // Noted before the write: a write that waits on a full pipe is part
      // of the round trip.
      sent_.push_back(vz::MonotonicMs());
      participant_->Send(ping);
      // A page's timer that fired late fires next a period on, not at once
      // for each period it missed.
      next = std::max(next + every_ms_, vz::MonotonicMs());
    }
  });
}

void PagePinger::StopSending() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

PingFigures PagePinger::Figures(uint64_t grace_ms) {
  const uint64_t deadline = vz::MonotonicMs() + grace_ms;
  while (participant_->Arrivals().size() < sent_.size() && vz::MonotonicMs() < deadline) vz::SleepMs(50);
  return PingRoundTrips(sent_, participant_->Arrivals());
}
