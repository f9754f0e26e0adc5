#pragma once
// What the packer asks of the SVC priority generator for each NAL unit:
// whether it may be sent, its layer identity and a drop priority per
// receiver class. The generator implements it; tests give fixed answers.
//
// Threads: the packer's encoding thread.
#include <cstdint>

class ISvcPrioritySource {
 public:
  static constexpr int kMaxOutputs = 4;
  virtual ~ISvcPrioritySource() = default;
  // 0 when the NAL unit (from its header byte) may be sent; non-zero refuses it.
  virtual int InputNal(const uint8_t* nal, int length) = 0;
  // One priority (0..15) per configured output; non-zero on failure.
  virtual int Priorities(int* priorities, int count) = 0;
  // Dependency, temporal and quality id of the last SVC header.
  virtual void LayerIdentity(int* d, int* t, int* q) const = 0;
  // Temporal layers of dependency id d, or -1.
  virtual int TemporalLayerCount(int d) const = 0;
};
