#pragma once
// CVseRtpMonitorManager: the engine's set of receive monitors, one per
// remote SSRC, and the sender of their feedback: when a packet arrives more
// than 300 ms after the last feedback and its stream's network class is 2,
// every monitor with analysed packets gets an RTCP transport-layer feedback
// packet (type 205, format 2, the monitor's 16-byte block as FCI, the local
// SSRC as sender), sixteen to a compound packet, each compound given to the
// packet-out interface with kind 0.
//
// Ownership: the manager owns its monitors. A monitor handed out by
// CreateMonitor lives until RemoveMonitor of its SSRC, a later CreateMonitor
// of the same SSRC, or the manager's end; its feeder stops before that.
// Threads: create and remove on the engine's thread, OnPacket and the
// feedback on the transport's receive thread; the manager's own lock covers
// the map and the feedback walk, so neither depends on a lock of the caller.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "video/engine/core/engine_result.h"
#include "video/engine/receive/rtp_monitor.h"

// Where RTCP bytes leave the engine (the engine's transport sink).
class IRtpPacketOut {
 public:
  virtual VseResult SendPacket(const uint8_t* data, int32_t length, int32_t kind) = 0;

 protected:
  ~IRtpPacketOut() = default;
};

class CVseRtpMonitorManager {
 public:
  static constexpr uint32_t kFeedbackIntervalMs = 300;
  static constexpr int kItemsPerCompound = 16;
  static constexpr int kItemBytes = 100;
  static constexpr int kCompoundBytes = 2048;
  static constexpr int kFeedbackFormat = 2;
  static constexpr int32_t kPacketKind = 0;

  // VSE_E_INVALIDARG for a null out; VSE_E_OUTOFMEMORY when it cannot be made.
  // `out` may be null (nothing is sent then).
  static VseResult Create(IRtpPacketOut* out, std::unique_ptr<CVseRtpMonitorManager>* manager);

  explicit CVseRtpMonitorManager(IRtpPacketOut* out);
  ~CVseRtpMonitorManager();
  CVseRtpMonitorManager(const CVseRtpMonitorManager&) = delete;
  CVseRtpMonitorManager& operator=(const CVseRtpMonitorManager&) = delete;

  // A new monitor for `ssrc` (an existing one is deleted first).
  // VSE_E_INVALIDARG for a null out; -1 when it cannot be made.
  VseResult CreateMonitor(uint32_t ssrc, CVseRtpMonitor** out);
  // -1 when there is none.
  VseResult RemoveMonitor(uint32_t ssrc);
  CVseRtpMonitor* FindMonitorForTesting(uint32_t ssrc);
  size_t size_for_testing();

  // The feedback trigger, called by a monitor for each media packet with
  // its receive time. VSE_E_INVALIDARG for null or empty arguments, else 0.
  VseResult OnPacket(CVseRtpMonitor* monitor, const uint8_t* packet, int32_t length, uint32_t now_ms);

  // The sender SSRC of the feedback packets (0 until set).
  void SetLocalSsrcForTesting(uint32_t ssrc);

 private:
  void SendFeedbackLocked();
  void FlushItems(uint8_t items[][kItemBytes], const int* sizes, int count);

  IRtpPacketOut* const out_;
  std::mutex lock_;
  std::map<uint32_t, std::unique_ptr<CVseRtpMonitor>> monitors_;
  bool has_last_feedback_ = false;
  uint32_t last_feedback_ms_ = 0;
  uint32_t local_ssrc_ = 0;
};
