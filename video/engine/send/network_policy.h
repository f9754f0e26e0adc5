#pragma once
// The send channel's network policies: each turns an uplink statistics
// record into the send rate the send controller paces at.
// - Simple (the default): the record's bandwidth is the rate; statuses 2, 4,
//   8 and 64 (congestion) switch dropping of base-layer frames on.
// - Estimator: its own rate (from 524,288 bit/s), cut when the round-trip
//   time and jitter rise or the loss keeps rising, raised slowly while the
//   path stays clean, always within the configured minimum and maximum.
//
// Threads: none; the channel calls them under its lock.
#include <cstdint>
#include <cstddef>
#include <deque>

class CVzSendController;
struct UplinkStat;

class INetworkPolicy {
 public:
  virtual ~INetworkPolicy() = default;
  virtual void SetBandwidths(uint32_t default_bw, uint32_t min_bw, uint32_t max_bw) = 0;
  virtual void SetTcpLink(bool tcp) = 0;
  // `hold` keeps the rate from rising (frames were dropped lately).
  virtual void Update(const UplinkStat& stat, uint32_t now_ms, bool hold, CVzSendController* controller) = 0;
  virtual int32_t last_status() const = 0;
  virtual uint32_t rate() const = 0;
};

class CSimpleNetworkPolicy final : public INetworkPolicy {
 public:
  void SetBandwidths(uint32_t default_bw, uint32_t min_bw, uint32_t max_bw) override {
    default_ = default_bw;
    min_ = min_bw;
    max_ = max_bw;
  }
  void SetTcpLink(bool tcp) override { tcp_ = tcp; }
  void Update(const UplinkStat& stat, uint32_t now_ms, bool hold, CVzSendController* controller) override;
  int32_t last_status() const override { return status_; }
  uint32_t rate() const override { return bandwidth_; }

 private:
  uint32_t default_ = 0, min_ = 0, max_ = 0;
  bool tcp_ = false;
  uint32_t bandwidth_ = 0;
  int32_t status_ = 0;
};

class CEstimatorNetworkPolicy final : public INetworkPolicy {
 public:
  static constexpr uint32_t kStartRate = 524288;
  static constexpr size_t kHistory = 175;
  static constexpr int kDelayAverage = 5;
  static constexpr int kLossAverage = 150;
  static constexpr int kLossRiseLimit = 15;
  static constexpr int32_t kMinRtt = 50;
  enum State { kHold, kDecrease, kIncrease };

  void SetBandwidths(uint32_t default_bw, uint32_t min_bw, uint32_t max_bw) override;
  void SetTcpLink(bool tcp) override { tcp_ = tcp; }
  void Update(const UplinkStat& stat, uint32_t now_ms, bool hold, CVzSendController* controller) override;
  int32_t last_status() const override { return status_; }
  uint32_t rate() const override { return static_cast<uint32_t>(rate_); }
  State state_for_testing() const { return state_; }
  double min_rtt_for_testing() const { return min_rtt_; }

 private:
  struct Record {
    int32_t rtt, jitter, loss, delay;
    bool flagged;
  };
  void Cut(double to, uint32_t now_ms);

  bool tcp_ = false;
  int32_t status_ = 0;
  double rate_ = kStartRate;
  double min_ = 0, max_ = 1e12;
  double remembered_ = 0;
  std::deque<Record> history_;
  bool first_ = true;
  double smoothed_rtt_ = 0, reference_rtt_ = 0, min_rtt_ = 0, smoothed_jitter_ = 0;
  double high_mark_ = 0, higher_mark_ = 0;
  int32_t previous_rtt_ = 0;
  int rise_count_ = 0;
  double smoothed_loss_ = 0;
  int loss_rise_ = 0;
  bool cut_once_ = false, loss_cut_once_ = false, raised_once_ = false;
  uint32_t last_cut_ = 0, last_loss_cut_ = 0, last_raise_ = 0;
  State state_ = kHold;
};
