#include "video/engine/engine/listen_monitor_table.h"

#include <atomic>
#include <cstdlib>

class CPlainMonitorTable::Monitor final : public IListenRtpMonitor {
 public:
  ~Monitor() override = default;
  int32_t InputReceivedRtpData(const uint8_t* data, int32_t length, uint32_t receive_ms) override {
    if (data == nullptr || length < 12) return -1;
    const uint32_t ts = (uint32_t(data[4]) << 24) | (uint32_t(data[5]) << 16) | (uint32_t(data[6]) << 8) | data[7];
    const int64_t arrival = int64_t(receive_ms) * 90;  // in RTP units
    if (have_) {
      const int64_t d = (arrival - last_arrival_) - int64_t(static_cast<int32_t>(ts - last_ts_));
      jitter_ += (std::llabs(d) - jitter_) / 16.0;
    }
    have_ = true;
    last_arrival_ = arrival;
    last_ts_ = ts;
    jitter_ms_ = static_cast<int32_t>(jitter_ / 90);
    return 0;
  }
  int32_t InterarrivalJitterMs() override { return jitter_ms_.load(); }
  void SetParameterSink(IListenParameterSink* /*sink*/) override {}

 private:
  bool have_ = false;
  int64_t last_arrival_ = 0;
  uint32_t last_ts_ = 0;
  double jitter_ = 0;
  std::atomic<int32_t> jitter_ms_{0};
};

CPlainMonitorTable::CPlainMonitorTable() = default;
CPlainMonitorTable::~CPlainMonitorTable() = default;

IListenRtpMonitor* CPlainMonitorTable::CreateMonitor(uint32_t ssrc) {
  std::lock_guard<std::mutex> lock(lock_);
  std::unique_ptr<Monitor>& slot = monitors_[ssrc];
  if (!slot) slot = std::make_unique<Monitor>();
  return slot.get();
}

VseResult CPlainMonitorTable::RemoveMonitor(uint32_t ssrc) {
  std::lock_guard<std::mutex> lock(lock_);
  return monitors_.erase(ssrc) == 1 ? VSE_S_OK : VSE_E_FAIL;
}

size_t CPlainMonitorTable::MonitorCount() {
  std::lock_guard<std::mutex> lock(lock_);
  return monitors_.size();
}
