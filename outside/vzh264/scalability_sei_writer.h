#pragma once
// Writes the H.264 SVC scalability information SEI message (payload type
// 24) that describes a stream of spatial x temporal layers, for receivers
// and packers that rank NAL units by layer. The encoder underneath does not
// write this message itself.
//
// Threads: none; a function of its arguments.
#include <cstdint>
#include <vector>

namespace vzh264 {

struct SeiSpatialLayer {
  int width = 0;  // pixels
  int height = 0;
  float frame_rate = 0;  // of the highest temporal level
};

// The whole SEI NAL unit behind a 4-byte start code. Layer ids run
// d x temporal_levels + t; layer (d, t) depends directly on (d, t - 1) and
// (d - 1, t); temporal level t runs at frame_rate / 2^(levels - 1 - t).
// Empty when the layout is out of range (1..4 spatial, 1..4 temporal).
std::vector<uint8_t> WriteScalabilitySei(const std::vector<SeiSpatialLayer>& spatial, int temporal_levels);

}  // namespace vzh264
