#pragma once
// The scalability information SEI message (payload type 24) of an H.264 SVC
// stream, as far as the priority generator uses it: per layer its ids,
// frame size and rate and its direct dependencies. Parsing is all or
// nothing: a message that runs out of data or breaks a bound is refused and
// the record passed in is left as it was.
//
// Threads: none; functions of their arguments.
#include <cstdint>
#include <vector>

namespace vz::rtp {

struct SvcLayerInfo {
  uint32_t layer_id = 0;
  int priority_id = 0;
  bool discardable = false;
  int dependency_id = 0;  // D, 3 bits
  int quality_id = 0;     // Q, 4 bits
  int temporal_id = 0;    // T, 3 bits
  bool has_frame_rate = false;
  int avg_frame_rate = 0;  // 1/256 frames per second
  bool has_frame_size = false;
  int width_in_mbs_minus1 = 0;
  int height_in_mbs_minus1 = 0;
  std::vector<uint32_t> dependency_deltas;  // directly_dependent_layer_id_delta_minus1
};

struct SvcScalabilityInfo {
  static constexpr int kMaxLayers = 320;
  static constexpr int kMaxSeiBytes = 2000;
  static constexpr int kMaxUriBytes = 20;
  bool temporal_id_nesting = false;
  std::vector<SvcLayerInfo> layers;
};

// Parses a whole SEI NAL unit (header byte first). False when it is not a
// scalability information message or cannot be read whole.
bool ParseScalabilitySei(const uint8_t* nal, int length, SvcScalabilityInfo* info);

// Removes emulation prevention bytes (a 0x03 after two zero bytes).
std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, int length);

}  // namespace vz::rtp
