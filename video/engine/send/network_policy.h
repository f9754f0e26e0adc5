#pragma once
// The send channel's network policy: turns each uplink statistics record
// into the send rate. The simple policy takes the record's bandwidth as the
// rate and switches dropping of base-layer frames on under congestion
// (statuses 2, 4, 8 and 64).
//
// Threads: none; the channel calls it under its lock.
#include <cstdint>

class CVzSendController;
struct UplinkStat;

class CSimpleNetworkPolicy {
 public:
  void SetBandwidths(uint32_t default_bw, uint32_t min_bw, uint32_t max_bw) {
    default_ = default_bw;
    min_ = min_bw;
    max_ = max_bw;
  }
  void SetTcpLink(bool tcp) { tcp_ = tcp; }
  // Passes the rate and the drop-P0 switch to the send controller.
  void Update(const UplinkStat& stat, CVzSendController* controller);
  int32_t last_status() const { return status_; }
  uint32_t last_bandwidth() const { return bandwidth_; }

 private:
  uint32_t default_ = 0, min_ = 0, max_ = 0;
  bool tcp_ = false;
  uint32_t bandwidth_ = 0;
  int32_t status_ = 0;
};
