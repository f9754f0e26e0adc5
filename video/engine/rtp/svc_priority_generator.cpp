#include "video/engine/rtp/svc_priority_generator.h"

#include <algorithm>
#include <cmath>

#include "contracts/h264_nal_types.h"
#include "common/trace_client.h"

using vz::rtp::SvcLayerInfo;
using vz::rtp::SvcScalabilityInfo;

namespace {
// The highest ids an operating point may have: those the layer table covers.
constexpr int kMaxOperatingT = CSvcPriorityGenerator::kMaxT - 1;
constexpr int kMaxOperatingQ = CSvcPriorityGenerator::kMaxQ - 1;
// A layer depends directly on at most this many others.
constexpr int kMaxDirectDependencies = 2;
// The size an output takes when no layer gives one.
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

// Where layer (d, t, q) sits in the layer table; the ids must be covered.
size_t TableSlot(int d, int t, int q) {
  return static_cast<size_t>((d * CSvcPriorityGenerator::kMaxT + t) * CSvcPriorityGenerator::kMaxQ + q);
}
}  // namespace

int CSvcPriorityGenerator::SetOutputs(int count, const SvcOutput* outputs) {
  if (count < 1 || count > kMaxOutputs || outputs == nullptr) return 1;
  outputs_.assign(outputs, outputs + count);
  Rebuild();
  return 0;
}

int CSvcPriorityGenerator::LayerIndex(int d, int t, int q) const {
  if (d < 0 || d >= kMaxD || t < 0 || t >= kMaxT || q < 0 || q >= kMaxQ || index_.empty()) {
    return -1;
  }
  return index_[TableSlot(d, t, q)];
}

int CSvcPriorityGenerator::InputNal(const uint8_t* nal, int length) {
  if (nal == nullptr || length <= 1) return 1;
  const int type = NalTypeOf(nal[0]);
  after_prefix_ = last_type_ == kNalPrefix;
  last_type_ = type;
  switch (type) {
    case kNalSliceNonIdr:
    case kNalSliceIdr:
      non_reference_ = (nal[0] & kNalRefIdcMask) == 0;
      return 0;
    case kNalSei: {
      if (nal[1] != 24 || length <= 2) return 0;  // another SEI message
      if (length > SvcScalabilityInfo::kMaxSeiBytes) return 1;
      SvcScalabilityInfo parsed;
      if (!vz::rtp::ParseScalabilitySei(nal, length, &parsed)) {
        VZ_LOG_WARN("scalability information of %d bytes refused", length);
        return 1;
      }
      info_ = std::move(parsed);
      have_info_ = true;
      Rebuild();
      return 0;
    }
    case kNalPrefix:
    case kNalSvcSlice: {
      if (length < 4) return 1;
      const int q = nal[2] & 0x0F;
      if (q > kMaxQ || nal[3] >= 192) return 1;
      d_ = (nal[2] >> 4) & 7;
      q_ = q;
      t_ = nal[3] >> 5;
      return 0;
    }
    default:
      return 0;
  }
}

void CSvcPriorityGenerator::LayerIdentity(int* d, int* t, int* q) const {
  if (d != nullptr) *d = d_;
  if (t != nullptr) *t = t_;
  if (q != nullptr) *q = q_;
}

int CSvcPriorityGenerator::TemporalLayerCount(int d) const {
  if (d < 0 || d > greatest_d_ || d >= kMaxD) return -1;
  return greatest_t_[d] + 1;
}

void CSvcPriorityGenerator::Rebuild() {
  greatest_d_ = -1;
  greatest_t_.fill(0);
  greatest_q_.fill(0);
  index_.assign(static_cast<size_t>(kMaxD * kMaxT * kMaxQ), -1);
  const auto& layers = info_.layers;
  for (size_t i = 0; i < layers.size(); ++i) {
    const SvcLayerInfo& l = layers[i];
    if (l.dependency_id >= kMaxD) continue;
    greatest_d_ = std::max(greatest_d_, l.dependency_id);
    greatest_t_[l.dependency_id] = std::max(greatest_t_[l.dependency_id], l.temporal_id);
    greatest_q_[l.dependency_id] = std::max(greatest_q_[l.dependency_id], l.quality_id);
    if (l.temporal_id < kMaxT && l.quality_id < kMaxQ) {
      index_[TableSlot(l.dependency_id, l.temporal_id, l.quality_id)] = static_cast<int>(i);
    }
  }
  for (size_t o = 0; o < outputs_.size(); ++o) {
    tables_[o] = OutputTable();
    if (have_info_) tables_[o].ok = BuildOutput(outputs_[o], &tables_[o]);
  }
}

bool CSvcPriorityGenerator::BuildOutput(const SvcOutput& output, OutputTable* table) {
  const int count = static_cast<int>(info_.layers.size());
  if (count == 0 || count > SvcScalabilityInfo::kMaxLayers) return false;
  int size_w = 0, size_h = 0;
  ChooseSize(output, &size_w, &size_h);
  const int chosen = ChooseOperatingLayer(output, size_w, size_h);
  if (chosen < 0) return false;
  const int op_d = info_.layers[chosen].dependency_id;
  const int op_t = info_.layers[chosen].temporal_id;
  if (op_d >= kMaxD || op_t > kMaxOperatingT || greatest_q_[op_d] > kMaxOperatingQ) return false;
  std::vector<std::vector<int>> deps;
  if (!FindDependencies(&deps)) return false;
  std::vector<int>& values = table->values;
  const std::vector<int> needed = MarkNeededLayers(op_d, deps, &values);
  switch (output.priority_mode) {
    case kSvcPriorityQualityFirst:
      if (!NumberQualityFirst(needed, &values)) return false;
      break;
    case kSvcPriorityTemporalFirst:
      if (!NumberTemporalFirst(needed, &values)) return false;
      break;
    case kSvcPriorityByTemporalLevel:
      NumberByTemporalLevel(needed, &values);
      break;
    default:
      break;
  }
  BuildPriorityMap(output, table);
  return true;
}

void CSvcPriorityGenerator::ChooseSize(const SvcOutput& output, int* width, int* height) const {
  // The least |W - w| / W + |H - h| / H; a later layer wins ties.
  const double W = std::max(output.width, 1);
  const double H = std::max(output.height, 1);
  *width = kDefaultWidth;
  *height = kDefaultHeight;
  double best = 0;
  bool found = false;
  for (const SvcLayerInfo& l : info_.layers) {
    if (!l.has_frame_size) continue;
    const int w = (l.width_in_mbs_minus1 + 1) * 16;
    const int h = (l.height_in_mbs_minus1 + 1) * 16;
    const double cost = std::abs(W - w) / W + std::abs(H - h) / H;
    if (!found || cost <= best) {
      best = cost;
      *width = w;
      *height = h;
      found = true;
    }
  }
}

int CSvcPriorityGenerator::ChooseOperatingLayer(const SvcOutput& output, int width, int height) const {
  // The choice only moves forward through the layers.
  const auto& layers = info_.layers;
  const double F = output.frame_rate > 0 ? output.frame_rate : 1.0;
  int chosen = -1;
  double best_rate = 0;
  bool rate_found = false;
  for (int i = 0; i < static_cast<int>(layers.size()); ++i) {
    const SvcLayerInfo& l = layers[i];
    if (!l.has_frame_rate || !l.has_frame_size) {
      chosen = i;
      continue;
    }
    if ((l.width_in_mbs_minus1 + 1) * 16 != width || (l.height_in_mbs_minus1 + 1) * 16 != height) continue;
    const double rate = std::abs(F - l.avg_frame_rate / 256.0) / F;
    if (!rate_found || rate <= best_rate) {
      best_rate = rate;
      rate_found = true;
      chosen = i;
    }
  }
  return chosen;
}

bool CSvcPriorityGenerator::FindDependencies(std::vector<std::vector<int>>* deps) const {
  const auto& layers = info_.layers;
  const int count = static_cast<int>(layers.size());
  deps->assign(static_cast<size_t>(count), {});
  for (int i = 0; i < count; ++i) {
    if (static_cast<int>(layers[i].dependency_deltas.size()) > kMaxDirectDependencies) return false;
    for (uint32_t delta : layers[i].dependency_deltas) {
      const int64_t id = static_cast<int64_t>(layers[i].layer_id) - (static_cast<int64_t>(delta) + 1);
      for (int k = 0; k < count; ++k) {
        if (static_cast<int64_t>(layers[k].layer_id) == id) {
          (*deps)[i].push_back(k);
          break;
        }
      }
    }
  }
  return true;
}

std::vector<int> CSvcPriorityGenerator::MarkNeededLayers(int op_d, const std::vector<std::vector<int>>& deps,
                                                         std::vector<int>* values) const {
  const auto& layers = info_.layers;
  const int count = static_cast<int>(layers.size());
  // Walking down from the highest index: a layer with dependencies is needed
  // with them; the first layer without any ends the walk.
  values->assign(static_cast<size_t>(count), -1);
  for (int i = count - 1; i >= 0; --i) {
    if (layers[i].dependency_id > op_d) continue;
    (*values)[i] = 0;
    if (deps[i].empty()) break;
    for (int k : deps[i]) (*values)[k] = 0;
  }
  std::array<bool, kMaxD> flagged{};
  for (int i = 1; i < count; ++i) {
    if ((*values)[i] == 0) flagged[layers[i].dependency_id] = true;
  }
  std::vector<int> needed;
  for (int d = 0; d < kMaxD; ++d) {
    if (flagged[d]) needed.push_back(d);
  }
  return needed;
}

bool CSvcPriorityGenerator::NumberQualityFirst(const std::vector<int>& needed, std::vector<int>* values) const {
  int running = 0;
  int previous_t = -1;
  for (int d : needed) {
    if (greatest_q_[d] > kMaxQ || greatest_t_[d] > kMaxT) return false;
    for (int q = 0; q <= greatest_q_[d]; ++q) {
      for (int t = 0; t <= greatest_t_[d]; ++t) {
        const int i = LayerIndex(d, t, q);
        if (i < 0 || (*values)[i] == -1) continue;
        (*values)[i] = running;
        if (!(q == 0 && t < previous_t)) ++running;
      }
    }
    previous_t = greatest_t_[d];
  }
  return true;
}

bool CSvcPriorityGenerator::NumberTemporalFirst(const std::vector<int>& needed, std::vector<int>* values) const {
  int running = 0;
  int previous_t = -1;
  for (int d : needed) {
    if (greatest_q_[d] > kMaxQ || greatest_t_[d] > kMaxT) return false;
    for (int t = 0; t <= greatest_t_[d]; ++t) {
      for (int q = 0; q <= greatest_q_[d]; ++q) {
        const int i = LayerIndex(d, t, q);
        if (i < 0 || (*values)[i] == -1) continue;
        const int base = LayerIndex(d, 0, 0);
        if (q == 0 && t >= 1 && t <= previous_t && base >= 0) {
          (*values)[i] = (*values)[base];
        } else {
          (*values)[i] = running++;
        }
      }
    }
    previous_t = greatest_t_[d];
  }
  return true;
}

void CSvcPriorityGenerator::NumberByTemporalLevel(const std::vector<int>& needed, std::vector<int>* values) const {
  const int h = needed.empty() ? 0 : needed.back();
  for (int t = 0; t <= greatest_t_[h]; ++t) {
    for (int d : needed) {
      if (d == h || greatest_t_[d] < t) continue;
      for (int q = 0; q <= greatest_q_[d]; ++q) {
        const int i = LayerIndex(d, t, q);
        if (i >= 0) (*values)[i] = t;
      }
    }
    const int i = LayerIndex(h, t, 0);
    if (i >= 0) (*values)[i] = t;
  }
  int running = greatest_t_[h] + 1;
  for (int t = 0; t <= greatest_t_[h]; ++t) {
    for (int q = 1; q <= greatest_q_[h]; ++q) {
      const int i = LayerIndex(h, t, q);
      if (i >= 0) (*values)[i] = running++;
    }
  }
}

void CSvcPriorityGenerator::BuildPriorityMap(const SvcOutput& output, OutputTable* table) {
  table->greatest = 0;
  for (int v : table->values) table->greatest = std::max(table->greatest, v);
  // value j -> (highest + 1 - lowest) / (G + 2) x j + lowest, rounded half up.
  const int lo = output.lowest_priority;
  const int hi = output.highest_priority;
  const int g = table->greatest;
  table->map.assign(static_cast<size_t>(g + 1), lo);
  for (int j = 1; j <= g; ++j) {
    const float v = static_cast<float>(hi + 1 - lo) / static_cast<float>(g + 2) * static_cast<float>(j) +
                    static_cast<float>(lo);
    table->map[j] = static_cast<int>(v + 0.5f);
  }
}

int CSvcPriorityGenerator::PriorityOf(int o) const {
  const SvcOutput& out = outputs_[o];
  const OutputTable& table = tables_[o];
  const int lo = out.lowest_priority;
  const int hi = out.highest_priority;
  int value = 0;
  if ((last_type_ == 1 || last_type_ == 5) && !after_prefix_) {
    value = non_reference_ ? 1 : 0;
  } else if (last_type_ == 14 || last_type_ == 20 || last_type_ == 1 || last_type_ == 5) {
    const int i = LayerIndex(d_, t_, q_);
    value = (!table.ok || i < 0 || i >= static_cast<int>(table.values.size())) ? -1 : table.values[i];
  } else if (last_type_ == 12) {
    return hi;
  } else {
    return lo;
  }
  const int g = table.greatest;
  if (value < 0 || value > g) return hi + 1;
  if (value == 0 || lo == hi) return lo;
  if (g == 1 && value == 1) return hi / 2;
  const int mapped = value < static_cast<int>(table.map.size()) ? table.map[value] : lo;
  return std::min(mapped < 0 ? lo : mapped, hi);
}

int CSvcPriorityGenerator::Priorities(int* priorities, int count) {
  if (priorities == nullptr || count > kMaxOutputs || count < 0) return 1;
  for (int o = 0; o < count; ++o) {
    priorities[o] = o < static_cast<int>(outputs_.size()) ? PriorityOf(o) : kNotNeeded;
  }
  return 0;
}
