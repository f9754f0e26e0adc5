#pragma once
// Test-side H.264 SVC NAL units without a codec: the scalability
// information SEI of a grid of spatial x temporal layers, prefix NAL units,
// SVC slices (type 20) and AVC base slices, so every layer path of the
// priority generator and the packer runs.
#include <cstdint>
#include <vector>

#include "common/bit_writer.h"

namespace vz::rtp::test_support {

using vz::BitWriter;

struct GridLayer {
  int d, t, q;
  int width, height;  // pixels, multiples of 16
  double fps;
  std::vector<uint32_t> dependency_deltas;
};

// Spatial layers 320x176, 640x368, 1280x720 by temporal layers of 7.5, 15
// and 30 frames per second; layer id = d x 3 + t; (d, t) depends on
// (d, t - 1) and (d - 1, t).
inline std::vector<GridLayer> ThreeByThreeLayers() {
  const int sizes[3][2] = {{320, 176}, {640, 368}, {1280, 720}};
  const double rates[3] = {7.5, 15, 30};
  std::vector<GridLayer> layers;
  for (int d = 0; d < 3; ++d) {
    for (int t = 0; t < 3; ++t) {
      GridLayer l{d, t, 0, sizes[d][0], sizes[d][1], rates[t], {}};
      if (t > 0) l.dependency_deltas.push_back(0);
      if (d > 0) l.dependency_deltas.push_back(2);
      layers.push_back(l);
    }
  }
  return layers;
}

// The NAL header 0x06, payload type 24, its size, the message, and the
// trailing bits, with emulation prevention bytes inserted.
inline std::vector<uint8_t> MakeScalabilitySei(const std::vector<GridLayer>& layers,
                                               bool with_sizes = true, bool with_rates = true) {
  BitWriter w;
  w.Flag(false);  // temporal_id_nesting_flag
  w.Flag(false);  // priority_layer_info_present_flag
  w.Flag(false);  // priority_id_setting_flag
  w.Ue(static_cast<uint32_t>(layers.size() - 1));
  for (size_t i = 0; i < layers.size(); ++i) {
    const GridLayer& l = layers[i];
    w.Ue(static_cast<uint32_t>(i));  // layer_id
    w.Bits(0, 6);                    // priority_id
    w.Flag(false);                   // discardable_flag
    w.Bits(static_cast<uint32_t>(l.d), 3);
    w.Bits(static_cast<uint32_t>(l.q), 4);
    w.Bits(static_cast<uint32_t>(l.t), 3);
    w.Flag(false);  // sub_pic_layer_flag
    w.Flag(false);  // sub_region_layer_flag
    w.Flag(false);  // iroi_division_info_present_flag
    w.Flag(true);   // profile_level_info_present_flag
    w.Flag(true);   // bitrate_info_present_flag
    w.Flag(with_rates);
    w.Flag(with_sizes);
    w.Flag(true);   // layer_dependency_info_present_flag
    w.Flag(false);  // parameter_sets_info_present_flag
    w.Flag(false);  // bitstream_restriction_info_present_flag
    w.Flag(false);  // exact_inter_layer_pred_flag
    w.Flag(false);  // layer_conversion_flag
    w.Flag(true);   // layer_output_flag
    w.Bits(0x53001F, 24);
    for (int b = 0; b < 4; ++b) w.Bits(0, 16);  // bit rates: zeros exercise emulation prevention
    if (with_rates) {
      w.Bits(0, 2);
      w.Bits(static_cast<uint32_t>(l.fps * 256), 16);
    }
    if (with_sizes) {
      w.Ue(static_cast<uint32_t>(l.width / 16 - 1));
      w.Ue(static_cast<uint32_t>(l.height / 16 - 1));
    }
    w.Ue(static_cast<uint32_t>(l.dependency_deltas.size()));
    for (uint32_t delta : l.dependency_deltas) w.Ue(delta);
    w.Ue(0);  // parameter_sets_info_src_layer_id_delta
  }
  const std::vector<uint8_t> message = w.Finish();
  std::vector<uint8_t> rbsp = {24};
  size_t size = message.size();
  while (size >= 255) {
    rbsp.push_back(0xFF);
    size -= 255;
  }
  rbsp.push_back(static_cast<uint8_t>(size));
  rbsp.insert(rbsp.end(), message.begin(), message.end());
  rbsp.push_back(0x80);  // rbsp trailing bits
  std::vector<uint8_t> nal = {0x06};
  int zeros = 0;
  for (uint8_t b : rbsp) {
    if (zeros >= 2 && b <= 3) {
      nal.push_back(0x03);
      zeros = 0;
    }
    nal.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return nal;
}

// Prefix (type 14) or SVC slice (type 20) header bytes with D, Q and T.
inline std::vector<uint8_t> MakeSvcNal(int type, int d, int q, int t, int size) {
  std::vector<uint8_t> nal(static_cast<size_t>(size < 4 ? 4 : size), 0x5A);
  nal[0] = static_cast<uint8_t>(0x60 | type);
  nal[1] = 0x80;  // svc_extension_flag
  nal[2] = static_cast<uint8_t>(((d & 7) << 4) | (q & 15));
  nal[3] = static_cast<uint8_t>(((t & 7) << 5) | 0x03);
  return nal;
}

inline std::vector<uint8_t> MakeAvcSlice(bool idr, bool reference, int size) {
  std::vector<uint8_t> nal(static_cast<size_t>(size < 2 ? 2 : size), 0xA5);
  nal[0] = static_cast<uint8_t>((reference ? 0x60 : 0x00) | (idr ? 5 : 1));
  return nal;
}

}  // namespace vz::rtp::test_support
