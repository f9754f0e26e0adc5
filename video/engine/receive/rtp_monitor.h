#pragma once
// CVseRtpMonitor: receive-side measurement of one remote stream (one SSRC),
// driven by the timing element (id 2) that the sender puts into every media
// and FEC packet: bit rate, counter jitter, delay variation, loss in per
// mille and from these a network class; also the interarrival jitter of the
// RTP time stamps. Monitors are made and owned by CVseRtpMonitorManager
// (rtp_monitor_manager.h), which sends their feedback blocks back to the
// senders while a stream's network class is 2.
//
// What the caller may assume:
// - InputReceivedRtpData never reads past `length`, whatever the bytes say.
//   A packet shorter than an RTP header is refused (VSE_E_INVALIDARG) and
//   counts for nothing; a packet without header extension changes no
//   analysis figure; an extension without a usable timing element (absent,
//   or shorter than its counter and send time) is logged and the packet
//   still counts for the interarrival jitter and the feedback trigger.
// - FEC packets (payload type 110 or 111) feed the analysis, answer -2 and
//   never reach the feedback trigger.
// Threads: InputReceivedRtpData on the transport's receive thread; the
// getters from any thread. The monitor's own lock covers its figures and is
// never held while the manager or the sink is called.
#include <cstdint>
#include <mutex>

#include "video/engine/core/engine_result.h"
#include "video/engine/receive/rtp_feedback_blocks.h"
#include "video/engine/receive/rtp_receive_estimators.h"

// The listen channel's ear for the analysis figures, called on the thread
// that delivers the packet, after each analysed packet, in the order kind 1,
// 2, 0, 3.
class IRtpMonitorSink {
 public:
  enum Kind : int32_t {
    kBitRateKbit = 0,     // bit rate / 1024
    kCounterJitter = 1,   // ms
    kDelayVariation = 2,  // ms
    kLossPerMille = 3,
  };
  virtual void SetReceiveParameter(int32_t kind, uint32_t value) = 0;

 protected:
  ~IRtpMonitorSink() = default;
};

class CVseRtpMonitorManager;

class CVseRtpMonitor {
 public:
  static constexpr VseResult kFecPacket = static_cast<VseResult>(-2);
  static constexpr int kTimingElementId = 2;
  static constexpr int kTimingElementMinLength = 7;  // header, counter, send time

  // `owner` may be null (then every input answers VSE_E_POINTER).
  CVseRtpMonitor(uint32_t ssrc, CVseRtpMonitorManager* owner);
  CVseRtpMonitor(const CVseRtpMonitor&) = delete;
  CVseRtpMonitor& operator=(const CVseRtpMonitor&) = delete;

  // One received packet (media or FEC) at `receive_ms`: VSE_E_POINTER
  // without owner, VSE_E_INVALIDARG for null or shorter than 12 bytes,
  // kFecPacket for FEC, else the manager's OnPacket answer.
  VseResult InputReceivedRtpData(const uint8_t* packet, int32_t length, uint32_t receive_ms);
  // 0 when flag is non-zero and n > 0, else -1.
  static int32_t IsReadyForTesting(int32_t flag, int32_t n) { return flag != 0 && n > 0 ? 0 : -1; }
  // The 16-byte feedback block (send time of the last analysed packet,
  // now - that analysis, delay variation, kbit/s << 8 | loss8) into `buffer`
  // (at least 16 bytes); clears the analysed count. VSE_E_INVALIDARG for a
  // null argument.
  VseResult GetFeedbackBlock(uint32_t* ssrc, uint8_t* buffer, int32_t* length, uint32_t now_ms);
  // Delay class 0 (<= 150 ms), 1 (<= 500 ms) or 2; loss above 200 per mille
  // gives 2, above 100 gives 1, whatever the delay.
  int32_t GetNetworkClass() const;
  uint32_t GetAnalysedCount() const;
  int32_t GetJitter() const;  // interarrival jitter of the RTP time stamps, ms
  // The sink is not referenced; clear it (null) before it goes.
  VseResult SetSink(IRtpMonitorSink* sink);

  uint32_t ssrc() const { return ssrc_; }

  struct Figures {
    uint32_t bit_rate_kbit = 0;
    uint32_t counter_jitter = 0;
    uint32_t delay_variation = 0;
    uint16_t loss = 0;  // per mille
    uint8_t loss8 = 0;  // 1/256 units
  };

  // The class of a delay variation (ms) and a loss (per mille).
  static int32_t NetworkClass(uint32_t delay_variation_ms, uint32_t loss_per_mille);
  static uint8_t Loss8(uint16_t loss_per_mille);

 private:
  // Reads the timing element; false (logged) when the extension has none.
  bool Analyse(const uint8_t* packet, int32_t length, uint32_t receive_ms, Figures* reported);

  const uint32_t ssrc_;
  CVseRtpMonitorManager* const owner_;
  mutable std::mutex lock_;
  IRtpMonitorSink* sink_ = nullptr;
  CJitterEstimator interarrival_;
  CBitRateEstimator bit_rate_;
  CJitterEstimator counter_jitter_;
  CDelayEstimator delay_;
  CLossEstimator loss_;
  Figures figures_;
  uint32_t last_send_time_ = 0;
  uint32_t last_analysis_ms_ = 0;
  uint32_t analysed_ = 0;
};
