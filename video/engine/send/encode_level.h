#pragma once
// One encode level: a whole SVC layout (up to four spatial layers, lowest
// first) as the level tables give it and the encoder wrapper codes it.
// Copied by value between the level generator, the encode controller, the
// send channel and the encoder.
#include <cstdint>

struct EncodeLevel {
  static constexpr int kMaxLayers = 4;
  int32_t layer_count = 0;  // 1..4
  int32_t widths[kMaxLayers] = {};
  int32_t heights[kMaxLayers] = {};
  float frame_rates[kMaxLayers] = {};
  int32_t bitrates[kMaxLayers] = {};     // bit/s
  int32_t layer_flags[kMaxLayers] = {};  // 1 for every generated layer
  int32_t rate_control = 0;              // 1 at generation; the controller changes it
  float padding = 0.0f;                  // read by the send adaptor as dynamic distribution
  int32_t periodic_intra = 0;
  int32_t long_term_reference = 0;  // 1 in the single-layer table
  int32_t multi_slice = 0;

  int32_t TotalBitrate() const {
    int32_t total = 0;
    for (int i = 0; i < layer_count && i < kMaxLayers; ++i) total += bitrates[i];
    return total;
  }
};
static_assert(sizeof(EncodeLevel) == 26 * 4);

// What the encode controller hands the send channel and the channel the
// encoder: the codec type, the camera format's type word, the below-HD flag
// and the level to code.
struct EncodeParams {
  int32_t codec_type = 1;
  int32_t camera_type = 0;
  int32_t below_hd = 0;
  EncodeLevel level;
};
