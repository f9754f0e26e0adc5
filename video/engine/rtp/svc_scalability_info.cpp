#include "video/engine/rtp/svc_scalability_info.h"

#include "contracts/h264_nal_types.h"
#include "video/engine/rtp/bit_reader.h"

namespace vz::rtp {

namespace {

constexpr int kMaxDependentLayers = 320;
constexpr uint32_t kMaxSpsIds = 32;
constexpr uint32_t kMaxPpsIds = 256;
constexpr uint32_t kMaxPriorityDependencyIds = 8;
constexpr uint32_t kMaxPriorityIds = 64;
constexpr uint32_t kMaxRois = 8160;  // macroblocks of the largest picture

bool SkipUeList(BitReader& r, uint32_t count) {
  for (uint32_t j = 0; j < count && r.ok(); ++j) r.Ue();
  return r.ok();
}

bool ParseLayer(BitReader& r, std::vector<SvcLayerInfo>& layers, int index) {
  SvcLayerInfo& layer = layers[index];
  layer.layer_id = r.Ue();
  layer.priority_id = static_cast<int>(r.Bits(6));
  layer.discardable = r.Flag();
  layer.dependency_id = static_cast<int>(r.Bits(3));
  layer.quality_id = static_cast<int>(r.Bits(4));
  layer.temporal_id = static_cast<int>(r.Bits(3));
  const bool sub_pic_layer = r.Flag();
  const bool sub_region_layer = r.Flag();
  const bool iroi_division = r.Flag();
  const bool profile_level = r.Flag();
  const bool bitrate = r.Flag();
  layer.has_frame_rate = r.Flag();
  layer.has_frame_size = r.Flag();
  const bool layer_dependency = r.Flag();
  const bool parameter_sets = r.Flag();
  const bool bitstream_restriction = r.Flag();
  r.Flag();  // exact_inter_layer_pred_flag
  if (sub_pic_layer || iroi_division) r.Flag();  // exact_sample_value_match_flag
  const bool layer_conversion = r.Flag();
  r.Flag();  // layer_output_flag
  if (profile_level) r.Bits(24);
  if (bitrate) {
    for (int i = 0; i < 4; ++i) r.Bits(16);
  }
  if (layer.has_frame_rate) {
    r.Bits(2);  // constant_frm_rate_idc
    layer.avg_frame_rate = static_cast<int>(r.Bits(16));
  }
  if (layer.has_frame_size || iroi_division) {
    layer.width_in_mbs_minus1 = static_cast<int>(r.Ue());
    layer.height_in_mbs_minus1 = static_cast<int>(r.Ue());
  }
  if (sub_region_layer) {
    r.Ue();  // base_region_layer_id
    if (!r.Flag()) {  // dynamic_rect_flag
      for (int i = 0; i < 4; ++i) r.Bits(16);
    }
  }
  if (sub_pic_layer) r.Ue();  // roi_id
  if (iroi_division) {
    if (r.Flag()) {  // iroi_grid_flag
      r.Ue();
      r.Ue();
    } else {
      const uint32_t rois = r.Ue();
      if (rois >= kMaxRois) return false;
      for (uint32_t j = 0; j <= rois && r.ok(); ++j) {
        r.Ue();
        r.Ue();
        r.Ue();
      }
    }
  }
  if (layer_dependency) {
    const uint32_t count = r.Ue();
    if (count > kMaxDependentLayers) return false;
    for (uint32_t j = 0; j < count && r.ok(); ++j) layer.dependency_deltas.push_back(r.Ue());
  } else {
    // The dependency list is that of an earlier layer.
    const uint32_t delta = r.Ue();
    if (delta > static_cast<uint32_t>(index)) return false;
    if (delta > 0) layer.dependency_deltas = layers[index - delta].dependency_deltas;
  }
  if (parameter_sets) {
    const uint32_t sps = r.Ue();
    if (sps > kMaxSpsIds || !SkipUeList(r, sps)) return false;
    const uint32_t subset = r.Ue();
    if (subset > kMaxSpsIds || !SkipUeList(r, subset)) return false;
    const uint32_t pps = r.Ue();
    if (pps >= kMaxPpsIds || !SkipUeList(r, pps + 1)) return false;
  } else {
    const uint32_t delta = r.Ue();
    if (delta > static_cast<uint32_t>(index)) return false;
  }
  if (bitstream_restriction) {
    r.Flag();
    for (int i = 0; i < 6; ++i) r.Ue();
  }
  if (layer_conversion) {
    r.Ue();  // conversion_type_idc
    for (int j = 0; j < 2; ++j) {
      if (r.Flag()) {
        r.Bits(24);
        r.Bits(16);
        r.Bits(16);
      }
    }
  }
  return r.ok();
}

}  // namespace

std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, int length) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(length > 0 ? length : 0));
  int zeros = 0;
  for (int i = 0; i < length; ++i) {
    if (zeros >= 2 && data[i] == 0x03) {
      zeros = 0;
      continue;
    }
    zeros = data[i] == 0 ? zeros + 1 : 0;
    out.push_back(data[i]);
  }
  return out;
}

bool ParseScalabilitySei(const uint8_t* nal, int length, SvcScalabilityInfo* info) {
  if (nal == nullptr || info == nullptr || length <= 2 || length > SvcScalabilityInfo::kMaxSeiBytes ||
      NalTypeOf(nal[0]) != kNalSei) {
    return false;
  }
  const std::vector<uint8_t> rbsp = RemoveEmulationPrevention(nal + 1, length - 1);
  size_t at = 0;
  int type = 0;
  while (at < rbsp.size() && rbsp[at] == 0xFF) type += rbsp[at++];
  if (at >= rbsp.size()) return false;
  type += rbsp[at++];
  if (type != 24) return false;
  size_t size = 0;
  while (at < rbsp.size() && rbsp[at] == 0xFF) size += rbsp[at++];
  if (at >= rbsp.size()) return false;
  size += rbsp[at++];
  if (size > rbsp.size() - at) return false;

  BitReader r(rbsp.data() + at, size);
  SvcScalabilityInfo parsed;
  parsed.temporal_id_nesting = r.Flag();
  const bool priority_layer_info = r.Flag();
  const bool priority_id_setting = r.Flag();
  const uint32_t layers_minus1 = r.Ue();
  if (!r.ok() || layers_minus1 >= SvcScalabilityInfo::kMaxLayers) return false;
  parsed.layers.resize(layers_minus1 + 1);
  for (int i = 0; i <= static_cast<int>(layers_minus1); ++i) {
    if (!ParseLayer(r, parsed.layers, i)) return false;
  }
  if (priority_layer_info) {
    const uint32_t dids = r.Ue();
    if (dids >= kMaxPriorityDependencyIds) return false;
    for (uint32_t i = 0; i <= dids && r.ok(); ++i) {
      r.Bits(3);
      const uint32_t ids = r.Ue();
      if (ids >= kMaxPriorityIds) return false;
      for (uint32_t j = 0; j <= ids && r.ok(); ++j) {
        r.Ue();
        r.Bits(24);
        r.Bits(16);
        r.Bits(16);
      }
    }
  }
  if (priority_id_setting) {
    int uri = 0;
    while (r.ok() && r.Bits(8) != 0) {
      if (++uri > SvcScalabilityInfo::kMaxUriBytes) return false;
    }
  }
  if (!r.ok()) return false;
  *info = std::move(parsed);
  return true;
}

}  // namespace vz::rtp
