#pragma once
// The encode level tables: a generator expands a small table of rows (one
// top-layer size each, with a start bit rate, a step and a level count) into
// the ordered list of levels, and answers the encode controller's questions
// about them. Levels are ordered by total bit rate; a row's last level and
// the next row's first share their total.
//
// Generator types: 0 single layer 16:9 (44 levels); 1, 2 and every unknown
// value SVC 16:9 (38 levels); 3 SVC for a portrait camera (38 levels).
//
// Threads: none; the encode controller owns one and calls it under its lock.
#include <cstdint>
#include <vector>

#include "video/engine/core/engine_result.h"
#include "video/engine/send/encode_level.h"

// One row of a level table.
struct EncodeLevelRow {
  int top_index;  // spatial index of the top layer (the rate formula's index in the single-layer table)
  int width;
  int height;
  int32_t start_bitrate;
  int32_t step;
  int levels;
  float min_frame_rate;
  float max_frame_rate;
};

// What a generator type is made of.
struct EncodeLevelTable {
  int type = 1;
  bool single_layer = false;
  std::vector<EncodeLevelRow> rows;
  int base_widths[4] = {};
  int base_heights[4] = {};
  // The fixed lower layers of SVC levels, per spatial index 0..2.
  int lower_widths[3] = {};
  int lower_heights[3] = {};
  float lower_frame_rates[3] = {};
  int32_t lower_bitrates[3] = {};
  int max_performance = 5;
};

class CVseBaseEncodeParamGenerator {
 public:
  static constexpr int kSpatialIndexCount = 4;
  static constexpr int kMinPerformance = 3;
  static constexpr float kPixelExponent = 0.8f;
  static constexpr int32_t kReferenceBitrates[4] = {64000, 180000, 520000, 1500000};
  static constexpr float kReferenceFrameRates[4] = {6, 12, 24, 24};

  explicit CVseBaseEncodeParamGenerator(EncodeLevelTable table);
  virtual ~CVseBaseEncodeParamGenerator() = default;

  // Direction 1 raises by one, 3 lowers by one (the single-layer table drops
  // 7 to 5), -1 resets to 3, 0 sets the maximum; others keep `current`.
  // Bounds 3..max. Stores and returns (new level << 8) | (1 when changed).
  int32_t AdjustPerformanceLevel(int direction, int current);
  bool IsPerformanceReducedForTesting() const { return performance_ > kMinPerformance; }
  VseResult SetRateControl(int level, int32_t value);
  int32_t GetRateControl(int level) const;
  int GetRowCount() const { return static_cast<int>(table_.rows.size()); }
  int GetSpatialIndexCountForTesting() const { return kSpatialIndexCount; }
  int GetLevelCount() const { return static_cast<int>(levels_.size()); }
  // VSE_E_INVALIDARG for an invalid level or a null out.
  VseResult GetLevel(int level, EncodeLevel* out) const;
  // Sum of the level's layer bit rates; 0 for an invalid level.
  int32_t GetLevelBitrate(int level) const;
  // The highest level whose total does not exceed `bitrate`; 0 when none.
  int GetLevelForBitrate(int32_t bitrate) const;
  // min(highest level of the index, last level of the row numbered by the
  // performance level). An invalid index: 0 (single layer: VSE_E_INVALIDARG).
  int32_t GetCappedHighestLevel(int index) const;
  int GetHighestLevel(int index) const;
  int GetDefaultLevel(int index) const;
  int GetPerformanceLevel() const { return performance_; }
  // The performance level a level needs.
  int GetPerformanceLevelForLevelForTesting(int level) const;
  // Expands the rows; 0, or VSE_E_INVALIDARG without rows.
  VseResult Generate();
  // 700,000 for type 0, 900,000 for SVC 16:9; the stored value (0) for the
  // portrait table.
  int32_t GetHDVideoBWThreshold();
  bool IsLastLevelOfRow(int level) const;
  // Both valid and in the same row.
  bool IsSameRow(int a, int b) const;
  int GetLastLevelOfRow(int row) const;

  int type() const { return table_.type; }

 private:
  bool ValidLevel(int level) const { return level >= 0 && level < static_cast<int>(levels_.size()); }
  int RowOf(int level) const;
  static float TopFrameRate(int32_t bitrate, int width, int height, int base_width, int base_height, int index,
                            float min_rate, float max_rate);

  EncodeLevelTable table_;
  std::vector<EncodeLevel> levels_;
  std::vector<int> last_of_row_;
  int highest_[kSpatialIndexCount] = {};
  int default_[kSpatialIndexCount] = {};
  int performance_ = kMinPerformance;
  int32_t hd_threshold_ = 0;
};

class CVseEncodeParamFactory {
 public:
  // A generated generator of the type, or null (logged) when it cannot be
  // made. The caller deletes it.
  static CVseBaseEncodeParamGenerator* Create(int type);
  // The table of a type (unknown types: SVC 16:9).
  static EncodeLevelTable Table(int type);
};
