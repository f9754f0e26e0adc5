#include "video/engine/send/encode_param_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

#include "common/trace_client.h"

namespace {

EncodeLevelTable SingleLayerTable() {
  EncodeLevelTable t;
  t.type = 0;
  t.single_layer = true;
  t.rows = {
      {0, 160, 90, 38000, 26000, 3, 6, 12},        {1, 320, 180, 90000, 30000, 6, 6, 18},
      {2, 480, 270, 240000, 40000, 5, 12, 18},     {2, 640, 360, 400000, 40000, 7, 15, 30},
      {3, 768, 432, 640000, 60000, 4, 15, 18},     {3, 896, 504, 820000, 60000, 4, 15, 18},
      {3, 1024, 576, 1000000, 60000, 4, 15, 18},   {3, 1280, 720, 1180000, 80000, 11, 15, 30},
  };
  const int bw[4] = {160, 320, 640, 1280}, bh[4] = {90, 180, 360, 720};
  std::copy(bw, bw + 4, t.base_widths);
  std::copy(bh, bh + 4, t.base_heights);
  t.max_performance = 7;
  return t;
}

EncodeLevelTable SvcTable(int type) {
  EncodeLevelTable t;
  t.type = type;
  t.rows = {
      {0, 160, 90, 44000, 20000, 3, 6, 12},      {1, 320, 180, 184000, 30000, 5, 6, 18},
      {2, 480, 270, 484000, 40000, 5, 12, 18},   {2, 640, 360, 644000, 40000, 7, 12, 30},
      {3, 960, 540, 1514000, 70000, 7, 15, 18},  {3, 1280, 720, 1934000, 80000, 11, 15, 30},
  };
  const int bw[4] = {160, 320, 640, 1280}, bh[4] = {90, 180, 360, 720};
  std::copy(bw, bw + 4, t.base_widths);
  std::copy(bh, bh + 4, t.base_heights);
  const int lw[3] = {160, 320, 640}, lh[3] = {90, 180, 360};
  std::copy(lw, lw + 3, t.lower_widths);
  std::copy(lh, lh + 3, t.lower_heights);
  const float lf[3] = {6, 12, 24};
  const int32_t lb[3] = {64000, 180000, 520000};
  std::copy(lf, lf + 3, t.lower_frame_rates);
  std::copy(lb, lb + 3, t.lower_bitrates);
  t.max_performance = 5;
  return t;
}

EncodeLevelTable PortraitTable() {
  EncodeLevelTable t = SvcTable(3);
  const int sizes[6][2] = {{96, 150}, {192, 300}, {288, 450}, {384, 600}, {960, 540}, {1280, 720}};
  const int32_t starts[6] = {44001, 184001, 484001, 644001, 1514000, 1934000};
  for (size_t r = 0; r < t.rows.size(); ++r) {
    t.rows[r].width = sizes[r][0];
    t.rows[r].height = sizes[r][1];
    t.rows[r].start_bitrate = starts[r];
  }
  const int bw[4] = {96, 192, 384, 1280}, bh[4] = {150, 300, 600, 720};
  std::copy(bw, bw + 4, t.base_widths);
  std::copy(bh, bh + 4, t.base_heights);
  std::copy(bw, bw + 3, t.lower_widths);
  std::copy(bh, bh + 3, t.lower_heights);
  return t;
}

}  // namespace

CVseBaseEncodeParamGenerator::CVseBaseEncodeParamGenerator(EncodeLevelTable table) : table_(std::move(table)) {}

int32_t CVseBaseEncodeParamGenerator::AdjustPerformanceLevel(int direction, int current) {
  const int max = table_.max_performance;
  int next = current;
  switch (direction) {
    case 1:
      next = std::min(current + 1, max);
      break;
    case 3:
      next = table_.single_layer && current == 7 ? 5 : current - 1;
      next = std::max(next, static_cast<int>(kMinPerformance));
      break;
    case -1:
      next = kMinPerformance;
      break;
    case 0:
      next = max;
      break;
    default:
      break;
  }
  performance_ = next;
  return static_cast<int32_t>((static_cast<uint32_t>(next) << 8) | (next != current ? 1u : 0u));
}

VseResult CVseBaseEncodeParamGenerator::SetRateControl(int level, int32_t value) {
  if (!ValidLevel(level)) return VSE_E_INVALIDARG;
  levels_[static_cast<size_t>(level)].rate_control = value;
  return VSE_S_OK;
}

int32_t CVseBaseEncodeParamGenerator::GetRateControl(int level) const {
  return ValidLevel(level) ? levels_[static_cast<size_t>(level)].rate_control : 0;
}

VseResult CVseBaseEncodeParamGenerator::GetLevel(int level, EncodeLevel* out) const {
  if (!ValidLevel(level) || out == nullptr) return VSE_E_INVALIDARG;
  *out = levels_[static_cast<size_t>(level)];
  return VSE_S_OK;
}

int32_t CVseBaseEncodeParamGenerator::GetLevelBitrate(int level) const {
  return ValidLevel(level) ? levels_[static_cast<size_t>(level)].TotalBitrate() : 0;
}

int CVseBaseEncodeParamGenerator::GetLevelForBitrate(int32_t bitrate) const {
  int found = 0;
  if (bitrate < 0) return 0;
  for (int i = 0; i < GetLevelCount(); ++i) {
    if (levels_[static_cast<size_t>(i)].TotalBitrate() <= bitrate) found = i;
  }
  return found;
}

int32_t CVseBaseEncodeParamGenerator::GetCappedHighestLevel(int index) const {
  if (index < 0 || index >= kSpatialIndexCount) {
    return table_.single_layer ? static_cast<int32_t>(VSE_E_INVALIDARG) : 0;
  }
  const int row = std::clamp(performance_, 0, GetRowCount() - 1);
  return std::min(highest_[index], GetLastLevelOfRow(row));
}

int CVseBaseEncodeParamGenerator::GetHighestLevel(int index) const {
  return index >= 0 && index < kSpatialIndexCount ? highest_[index] : 0;
}

int CVseBaseEncodeParamGenerator::GetDefaultLevel(int index) const {
  return index >= 0 && index < kSpatialIndexCount ? default_[index] : 0;
}

int CVseBaseEncodeParamGenerator::GetPerformanceLevelForLevelForTesting(int level) const {
  // Single-layer levels need 5 up to row 5, 6 up to row 6, else 7; the
  // layered ones 3, 4, else 5.
  const int first = table_.single_layer ? 5 : kMinPerformance;
  const int last = table_.single_layer ? 6 : 4;
  for (int row = first; row <= last; ++row) {
    if (level <= GetLastLevelOfRow(row)) return row;
  }
  return last + 1;
}

float CVseBaseEncodeParamGenerator::TopFrameRate(int32_t bitrate, int width, int height, int base_width,
                                                 int base_height, int index, float min_rate, float max_rate) {
  const double area = (double(width) * height) / (double(base_width) * base_height);
  const double scaled = kReferenceBitrates[index] * std::pow(area, double(kPixelExponent));
  const double ratio = bitrate / scaled;
  const double rate = kReferenceFrameRates[index] * ratio * ratio;
  return std::clamp(static_cast<float>(rate), min_rate, max_rate);
}

VseResult CVseBaseEncodeParamGenerator::Generate() {
  if (table_.rows.empty()) return VSE_E_INVALIDARG;
  levels_.clear();
  last_of_row_.clear();
  int32_t best_distance[kSpatialIndexCount];
  std::fill(best_distance, best_distance + kSpatialIndexCount, INT32_MAX);
  for (const EncodeLevelRow& row : table_.rows) {
    const int top = std::clamp(row.top_index, 0, kSpatialIndexCount - 1);
    int32_t lower_sum = 0;
    if (!table_.single_layer) {
      for (int i = 0; i < top; ++i) lower_sum += table_.lower_bitrates[i];
    }
    for (int k = 0; k < row.levels; ++k) {
      EncodeLevel level;
      level.rate_control = 1;
      level.long_term_reference = table_.single_layer ? 1 : 0;
      int slot = 0;
      if (!table_.single_layer) {
        for (; slot < top; ++slot) {
          level.widths[slot] = table_.lower_widths[slot];
          level.heights[slot] = table_.lower_heights[slot];
          level.frame_rates[slot] = table_.lower_frame_rates[slot];
          level.bitrates[slot] = table_.lower_bitrates[slot];
          level.layer_flags[slot] = 1;
        }
      }
      const int32_t top_bitrate = row.start_bitrate + k * row.step - lower_sum;
      level.widths[slot] = row.width;
      level.heights[slot] = row.height;
      level.bitrates[slot] = top_bitrate;
      level.layer_flags[slot] = 1;
      level.frame_rates[slot] = TopFrameRate(top_bitrate, row.width, row.height, table_.base_widths[top],
                                             table_.base_heights[top], top, row.min_frame_rate, row.max_frame_rate);
      level.layer_count = slot + 1;
      const int index = static_cast<int>(levels_.size());
      const int32_t distance = std::abs(top_bitrate - kReferenceBitrates[top]);
      if (distance < best_distance[top]) {
        best_distance[top] = distance;
        default_[top] = index;
      }
      levels_.push_back(level);
    }
    const int last = static_cast<int>(levels_.size()) - 1;
    last_of_row_.push_back(last);
    highest_[top] = top <= 1 ? default_[top] : last;
  }
  return VSE_S_OK;
}

int32_t CVseBaseEncodeParamGenerator::GetHDVideoBWThreshold() {
  if (table_.type == 0) {
    hd_threshold_ = 700000;
  } else if (table_.type != 3) {
    hd_threshold_ = 900000;
  }
  if (hd_threshold_ < 0) VZ_LOG_ERROR("m_nHDVideoBWThreshold>=0");
  return hd_threshold_;
}

int CVseBaseEncodeParamGenerator::RowOf(int level) const {
  for (size_t r = 0; r < last_of_row_.size(); ++r) {
    if (level <= last_of_row_[r]) return static_cast<int>(r);
  }
  return -1;
}

bool CVseBaseEncodeParamGenerator::IsLastLevelOfRow(int level) const {
  return ValidLevel(level) && std::find(last_of_row_.begin(), last_of_row_.end(), level) != last_of_row_.end();
}

bool CVseBaseEncodeParamGenerator::IsSameRow(int a, int b) const {
  return ValidLevel(a) && ValidLevel(b) && RowOf(a) == RowOf(b);
}

int CVseBaseEncodeParamGenerator::GetLastLevelOfRow(int row) const {
  if (row < 0 || row >= static_cast<int>(last_of_row_.size())) return 0;
  return last_of_row_[static_cast<size_t>(row)];
}

EncodeLevelTable CVseEncodeParamFactory::Table(int type) {
  if (type == 0) return SingleLayerTable();
  if (type == 3) return PortraitTable();
  return SvcTable(type == 2 ? 2 : 1);
}

CVseBaseEncodeParamGenerator* CVseEncodeParamFactory::Create(int type) {
  auto* generator = new (std::nothrow) CVseBaseEncodeParamGenerator(Table(type));
  if (generator == nullptr) {
    VZ_LOG_ERROR("pParam");
    return nullptr;
  }
  if (generator->Generate() != VSE_S_OK) {
    VZ_LOG_ERROR("pParam");
    delete generator;
    return nullptr;
  }
  return generator;
}
