#include "outside/vzh264/scalability_sei_writer.h"

#include <cmath>

#include "common/bit_writer.h"

namespace vzh264 {
namespace {

using vz::BitWriter;

// Profile and level of every layer: Scalable Baseline (83), constraint
// flags 0, level 3.1.
constexpr uint32_t kProfileLevel = (83u << 16) | 31u;

void WriteLayer(BitWriter& w, uint32_t layer_id, int d, int t, int temporal_levels, const SeiSpatialLayer& layer) {
  w.Ue(layer_id);
  w.Bits(static_cast<uint32_t>(d * temporal_levels + t) & 63u, 6);  // priority_id
  w.Flag(t == temporal_levels - 1 && t > 0);                       // discardable_flag
  w.Bits(static_cast<uint32_t>(d), 3);                              // dependency_id
  w.Bits(0, 4);                                                     // quality_id
  w.Bits(static_cast<uint32_t>(t), 3);                              // temporal_id
  w.Flag(false);  // sub_pic_layer_flag
  w.Flag(false);  // sub_region_layer_flag
  w.Flag(false);  // iroi_division_info_present_flag
  w.Flag(true);   // profile_level_info_present_flag
  w.Flag(false);  // bitrate_info_present_flag
  w.Flag(true);   // frm_rate_info_present_flag
  w.Flag(true);   // frm_size_info_present_flag
  w.Flag(true);   // layer_dependency_info_present_flag
  w.Flag(false);  // parameter_sets_info_present_flag
  w.Flag(false);  // bitstream_restriction_info_present_flag
  w.Flag(false);  // exact_inter_layer_pred_flag
  w.Flag(false);  // layer_conversion_flag
  w.Flag(true);   // layer_output_flag
  w.Bits(kProfileLevel, 24);
  // Frame rate: constant_frm_rate_idc 1, avg_frm_rate in 1/256 fps.
  const double rate = layer.frame_rate / std::pow(2.0, temporal_levels - 1 - t);
  w.Bits(1, 2);
  w.Bits(static_cast<uint32_t>(std::lround(rate * 256)) & 0xFFFFu, 16);
  w.Ue(static_cast<uint32_t>((layer.width + 15) / 16 - 1));
  w.Ue(static_cast<uint32_t>((layer.height + 15) / 16 - 1));
  // Direct dependencies as layer id deltas minus 1: (d, t - 1) is one id
  // back, (d - 1, t) one row of temporal levels back.
  const int count = (t > 0 ? 1 : 0) + (d > 0 ? 1 : 0);
  w.Ue(static_cast<uint32_t>(count));
  if (t > 0) w.Ue(0);
  if (d > 0) w.Ue(static_cast<uint32_t>(temporal_levels - 1));
  w.Ue(0);  // parameter_sets_info_src_layer_id_delta
}

}  // namespace

std::vector<uint8_t> WriteScalabilitySei(const std::vector<SeiSpatialLayer>& spatial, int temporal_levels) {
  if (spatial.empty() || spatial.size() > 4 || temporal_levels < 1 || temporal_levels > 4) return {};
  const int layers = static_cast<int>(spatial.size()) * temporal_levels;
  BitWriter w;
  w.Flag(false);  // temporal_id_nesting_flag
  w.Flag(false);  // priority_layer_info_present_flag
  w.Flag(false);  // priority_id_setting_flag
  w.Ue(static_cast<uint32_t>(layers - 1));
  for (int d = 0; d < static_cast<int>(spatial.size()); ++d) {
    for (int t = 0; t < temporal_levels; ++t) {
      WriteLayer(w, static_cast<uint32_t>(d * temporal_levels + t), d, t, temporal_levels, spatial[d]);
    }
  }
  const std::vector<uint8_t> payload = w.Finish();

  std::vector<uint8_t> rbsp = {24};  // payload type
  size_t size = payload.size();
  while (size >= 255) {
    rbsp.push_back(0xFF);
    size -= 255;
  }
  rbsp.push_back(static_cast<uint8_t>(size));
  rbsp.insert(rbsp.end(), payload.begin(), payload.end());
  rbsp.push_back(0x80);  // rbsp_trailing_bits

  std::vector<uint8_t> nal = {0, 0, 0, 1, 0x06};
  int zeros = 0;
  for (uint8_t b : rbsp) {
    if (zeros >= 2 && b <= 3) {  // emulation prevention
      nal.push_back(0x03);
      zeros = 0;
    }
    nal.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return nal;
}

}  // namespace vzh264
