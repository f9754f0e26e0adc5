#pragma once
// The send channel's FEC level from the uplink loss: the smoothed loss of
// the last 16 updates chooses a loss class; after more than 60 updates in a
// row without loss FEC goes off (-1); the level never falls by more than one
// per update, and a loss brings it back at once.
//
// Threads: none; the channel calls it under its lock.
#include <cstdint>

class CFecLevelState {
 public:
  static constexpr int kHistory = 16;
  static constexpr int kZeroLossRun = 60;

  // One statistics update; `loss` in per mille. Returns the new level.
  int Update(int32_t loss);
  // FEC switched off, or a TCP link: -1 from now on until Update runs.
  void Off() { level_ = -1; }
  int level() const { return level_; }

 private:
  int level_ = -1;
  int zero_loss_ = kZeroLossRun;
  double smoothed_ = 0;
  double history_[kHistory] = {};
  int next_ = 0;
};
