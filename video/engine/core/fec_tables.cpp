#include "video/engine/core/fec_tables.h"

#include <array>

#include "contracts/h264_nal_types.h"

namespace fec {
namespace {

struct Anchor {
  int n, value;
};

// Rows are given at a few source-packet counts and drawn as straight lines
// between them (rounded down). Levels 0, 1, 3 and 7 are drawn; 2 lies
// halfway between 1 and 3, and 4 to 6 evenly between 3 and 7, so the
// entries never decrease with the level.
struct Row {
  Anchor anchors[10];
  int count;
};

constexpr Row kDrawn[kProfiles][4] = {
    // profile 0: the strongest
    {{{{1, 0}, {3, 0}, {4, 1}, {8, 1}, {32, 2}, {63, 3}}, 6},
     {{{1, 0}, {2, 0}, {3, 1}, {5, 1}, {6, 2}, {8, 2}, {32, 4}, {63, 6}}, 8},
     {{{1, 1}, {2, 2}, {3, 2}, {4, 3}, {6, 3}, {7, 4}, {8, 4}, {32, 9}, {63, 15}}, 9},
     {{{1, 3}, {8, 10}, {32, 26}, {63, 42}}, 4}},
    // profile 1
    {{{{1, 0}, {5, 0}, {6, 1}, {32, 2}, {63, 3}}, 5},
     {{{1, 0}, {3, 0}, {4, 1}, {8, 2}, {32, 4}, {63, 6}}, 6},
     {{{1, 1}, {8, 4}, {32, 9}, {63, 14}}, 4},
     {{{1, 3}, {8, 10}, {32, 25}, {63, 41}}, 4}},
    // profile 2
    {{{{1, 0}, {10, 0}, {11, 1}, {63, 2}}, 4},
     {{{1, 0}, {4, 0}, {5, 1}, {8, 2}, {32, 4}, {63, 5}}, 6},
     {{{1, 1}, {8, 3}, {32, 8}, {63, 14}}, 4},
     {{{1, 3}, {8, 9}, {32, 24}, {63, 40}}, 4}},
    // profile 3: the weakest
    {{{{1, 0}, {21, 0}, {22, 1}, {63, 1}}, 4},
     {{{1, 0}, {8, 1}, {32, 3}, {63, 5}}, 4},
     {{{1, 1}, {8, 3}, {32, 7}, {63, 13}}, 4},
     {{{1, 2}, {8, 8}, {32, 22}, {63, 39}}, 4}},
};

constexpr int Draw(const Row& row, int n) {
  for (int i = 0; i + 1 < row.count; ++i) {
    const Anchor a = row.anchors[i], b = row.anchors[i + 1];
    if (n >= a.n && n <= b.n) return a.value + (b.value - a.value) * (n - a.n) / (b.n - a.n);
  }
  return 0;
}

using Table = std::array<std::array<std::array<uint8_t, kMaxSourcePackets + 1>, kLevels>, kProfiles>;

constexpr Table MakeTable() {
  Table t{};
  for (int p = 0; p < kProfiles; ++p) {
    for (int n = 1; n <= kMaxSourcePackets; ++n) {
      const int l0 = Draw(kDrawn[p][0], n), l1 = Draw(kDrawn[p][1], n);
      const int l3 = Draw(kDrawn[p][2], n), l7 = Draw(kDrawn[p][3], n);
      const int v[kLevels] = {l0, l1, (l1 + l3) / 2, l3, l3 + (l7 - l3) / 4, l3 + (l7 - l3) * 2 / 4,
                              l3 + (l7 - l3) * 3 / 4, l7};
      for (int level = 0; level < kLevels; ++level) t[p][level][n] = static_cast<uint8_t>(v[level]);
    }
  }
  return t;
}

constexpr Table kRepair = MakeTable();
static_assert(sizeof(kRepair) == 2048);

constexpr int kLossSteps[8] = {20, 50, 70, 120, 170, 220, 250, 300};

}  // namespace

int RepairEntry(int profile, int level, int n) {
  if (profile < 0 || profile >= kProfiles || level < 0 || level >= kLevels || n < 1 || n > kMaxSourcePackets)
    return 0;
  return kRepair[profile][level][n];
}

int PlanRepairPackets(int profile, int n, int* total, uint8_t* levels, int max_level) {
  if (total) *total = 0;
  if (n <= 0 || n > kMaxSourcePackets) return -1;
  if (max_level >= kLevels) return -1;
  if (max_level < 0) return 0;
  if (profile < 0 || profile >= kProfiles) return 0;
  const int sum = kRepair[profile][max_level][n];
  if (total) *total = sum;
  if (levels) {
    int written = 0;
    for (int level = 0; level <= max_level; ++level) {
      const int upto = kRepair[profile][level][n];
      while (written < upto) levels[written++] = static_cast<uint8_t>(level);
    }
  }
  return 0;
}

int MapLayerClass(int temporal_type, int /*unused*/, bool flag, int kind) {
  if (kind == 3) {
    if (temporal_type == 1) return flag ? -1 : 2;
    if (temporal_type > 1) return -1;
    if (temporal_type < 0) return 3;
    kind = 4;  // type 0: as kind 4
  }
  switch (kind) {
    case 1:
    case 2: return (temporal_type == 0 && !flag) ? 0 : -1;
    case 4:
      if (temporal_type == 0) return flag ? 3 : 0;
      if (temporal_type == 1) return flag ? -1 : 1;
      if (temporal_type == 2) return flag ? -1 : 2;
      return temporal_type < 0 ? 3 : -1;
    default: return -1;
  }
}

int LossClass(int loss_per_mille) {
  for (int i = 0; i < 8; ++i) {
    if (kLossSteps[i] > loss_per_mille) return i;
  }
  return 7;
}

int LayerCount(int index) {
  static constexpr int kCounts[3] = {5, 3, 3};
  return (index >= 0 && index <= 2) ? kCounts[index] : -1;
}

int NalType(const uint8_t* header, size_t length) {
  if (header == nullptr || length < 1) return -1;
  return NalTypeOf(header[0]);
}

int SvcTemporalId(const uint8_t* header, size_t length) {
  if (header == nullptr || length < 4) return -1;
  return header[3] >> 5;
}

}  // namespace fec
