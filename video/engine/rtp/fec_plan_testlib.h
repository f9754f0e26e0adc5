#pragma once
// A repair plan of the shape the engine's planning table has (cumulative
// over eight levels, growing with n, up to 63 media packets), for tests of
// the packer and the loopback; and the class minimums 5, 3, 3.
#include <cstdint>

#include "video/engine/rtp/rtp_packer.h"

namespace vz::rtp::test_support {

inline int TestPlanRepairPackets(int profile, int n, int* total, uint8_t* levels, int max_level) {
  if (total == nullptr || n <= 0) return -1;
  *total = 0;
  if (max_level >= 8) return -1;
  if (max_level < 0 || profile < 0 || profile > 3 || n > 63) return 0;
  // Percent of n per level, less for higher profiles.
  static const int kPercent[8] = {5, 10, 15, 20, 30, 40, 55, 67};
  int previous = 0;
  for (int level = 0; level <= max_level; ++level) {
    int count = (n * (kPercent[level] - 2 * profile) + 99) / 100;
    if (level == 0 && n < 4) count = 0;
    if (count < previous) count = previous;
    for (int i = previous; i < count; ++i) levels[i] = static_cast<uint8_t>(level);
    previous = count;
  }
  *total = previous;
  return 0;
}

inline int TestLayerCount(int index) {
  static const int kCounts[3] = {5, 3, 3};
  return index >= 0 && index <= 2 ? kCounts[index] : -1;
}

inline FecPlanning TestFecPlanning() {
  FecPlanning planning;
  planning.plan = TestPlanRepairPackets;
  planning.layer_count = TestLayerCount;
  return planning;
}

}  // namespace vz::rtp::test_support
