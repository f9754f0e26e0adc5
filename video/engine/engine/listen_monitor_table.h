#pragma once
// The engine's per-SSRC stream monitors, made when a listen channel is made
// and removed with it. The table is locked on its own, so creating and
// removing monitors is safe beside the transport thread's use.
//
// CPlainMonitorTable makes monitors that measure the RFC 3550 interarrival
// jitter of the RTP time stamps and nothing else.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "video/engine/core/engine_result.h"
#include "video/engine/receive/listen_decoder.h"

class IListenMonitorTable {
 public:
  virtual ~IListenMonitorTable() = default;
  // The SSRC's monitor, made on the first call; null when none can be made.
  virtual IListenRtpMonitor* CreateMonitor(uint32_t ssrc) = 0;
  // VSE_E_FAIL for an SSRC without monitor.
  virtual VseResult RemoveMonitor(uint32_t ssrc) = 0;
  virtual size_t MonitorCount() = 0;
};

class CPlainMonitorTable final : public IListenMonitorTable {
 public:
  CPlainMonitorTable();
  ~CPlainMonitorTable() override;
  IListenRtpMonitor* CreateMonitor(uint32_t ssrc) override;
  VseResult RemoveMonitor(uint32_t ssrc) override;
  size_t MonitorCount() override;

 private:
  class Monitor;
  std::mutex lock_;
  std::map<uint32_t, std::unique_ptr<Monitor>> monitors_;
};
