#include "video/engine/send/encode_param_generator.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<CVseBaseEncodeParamGenerator> Make(int type) {
  return std::unique_ptr<CVseBaseEncodeParamGenerator>(CVseEncodeParamFactory::Create(type));
}

EncodeLevel Level(const CVseBaseEncodeParamGenerator& g, int index) {
  EncodeLevel level;
  EXPECT_EQ(g.GetLevel(index, &level), VSE_S_OK) << "level " << index;
  return level;
}

TEST(EncodeLevelTables, SvcTableFirstAndLastLevels) {
  auto g = Make(1);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->GetLevelCount(), 38);
  EXPECT_EQ(g->GetRowCount(), 6);
  EXPECT_EQ(g->GetSpatialIndexCountForTesting(), 4);

  const EncodeLevel first = Level(*g, 0);
  EXPECT_EQ(first.layer_count, 1);
  EXPECT_EQ(first.widths[0], 160);
  EXPECT_EQ(first.heights[0], 90);
  EXPECT_EQ(first.bitrates[0], 44000);
  EXPECT_FLOAT_EQ(first.frame_rates[0], 6.0f);  // 6 x (44/64)^2 = 2.8, raised to the row's 6
  EXPECT_EQ(first.rate_control, 1);
  EXPECT_EQ(first.long_term_reference, 0);

  const EncodeLevel last = Level(*g, 37);
  ASSERT_EQ(last.layer_count, 4);
  const int widths[4] = {160, 320, 640, 1280};
  const int32_t rates[3] = {64000, 180000, 520000};
  const float fps[3] = {6, 12, 24};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(last.widths[i], widths[i]) << "layer " << i;
    EXPECT_EQ(last.layer_flags[i], 1) << "layer " << i;
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(last.bitrates[i], rates[i]) << "layer " << i;
    EXPECT_FLOAT_EQ(last.frame_rates[i], fps[i]) << "layer " << i;
  }
  EXPECT_EQ(last.heights[3], 720);
  EXPECT_EQ(last.bitrates[3], 1934000 + 10 * 80000 - 764000);
  EXPECT_EQ(g->GetLevelBitrate(37), 1934000 + 10 * 80000);
  EXPECT_FLOAT_EQ(last.frame_rates[3], 30.0f);
  // Out of range.
  EncodeLevel none;
  EXPECT_EQ(g->GetLevel(38, &none), VSE_E_INVALIDARG);
  EXPECT_EQ(g->GetLevel(-1, &none), VSE_E_INVALIDARG);
  EXPECT_EQ(g->GetLevel(0, nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(g->GetLevelBitrate(38), 0);
}

TEST(EncodeLevelTables, SingleLayerAndPortraitTables) {
  auto single = Make(0);
  ASSERT_TRUE(single);
  EXPECT_EQ(single->GetLevelCount(), 44);
  EXPECT_EQ(single->GetRowCount(), 8);
  const EncodeLevel first = Level(*single, 0);
  EXPECT_EQ(first.layer_count, 1);
  EXPECT_EQ(first.bitrates[0], 38000);
  EXPECT_EQ(first.long_term_reference, 1);
  const EncodeLevel last = Level(*single, 43);
  EXPECT_EQ(last.layer_count, 1);
  EXPECT_EQ(last.widths[0], 1280);
  EXPECT_EQ(last.bitrates[0], 1180000 + 10 * 80000);
  EXPECT_EQ(single->GetHDVideoBWThreshold(), 700000);

  auto portrait = Make(3);
  ASSERT_TRUE(portrait);
  EXPECT_EQ(portrait->GetLevelCount(), 38);
  const EncodeLevel p0 = Level(*portrait, 0);
  EXPECT_EQ(p0.widths[0], 96);
  EXPECT_EQ(p0.heights[0], 150);
  EXPECT_EQ(p0.bitrates[0], 44001);
  const EncodeLevel p19 = Level(*portrait, 19);  // last of the 384x600 row
  ASSERT_EQ(p19.layer_count, 3);
  EXPECT_EQ(p19.widths[1], 192);
  EXPECT_EQ(p19.heights[2], 600);
  EXPECT_EQ(portrait->GetHDVideoBWThreshold(), 0);

  auto svc = Make(2);
  EXPECT_EQ(svc->GetHDVideoBWThreshold(), 900000);
}

TEST(EncodeLevelTables, UnknownTypeBuildsTheSvcTable) {
  auto known = Make(1);
  auto unknown = Make(7);
  ASSERT_EQ(unknown->GetLevelCount(), known->GetLevelCount());
  for (int i = 0; i < known->GetLevelCount(); ++i) {
    EXPECT_EQ(unknown->GetLevelBitrate(i), known->GetLevelBitrate(i)) << "level " << i;
  }
  EXPECT_EQ(unknown->GetHDVideoBWThreshold(), 900000);
}

TEST(EncodeLevelTables, LevelForBitrateTakesTheLaterLevelAtARowBoundary) {
  auto g = Make(1);
  EXPECT_EQ(g->GetLevelForBitrate(0), 0);
  EXPECT_EQ(g->GetLevelForBitrate(-5), 0);
  EXPECT_EQ(g->GetLevelForBitrate(30000), 0);  // below level 0's 44,000
  // 644,000 closes row 2 (level 12) and opens row 3 (level 13).
  EXPECT_EQ(g->GetLevelBitrate(12), 644000);
  EXPECT_EQ(g->GetLevelBitrate(13), 644000);
  EXPECT_EQ(g->GetLevelForBitrate(644000), 13);
  EXPECT_EQ(g->GetLevelForBitrate(643999), 11);
  EXPECT_EQ(g->GetLevelForBitrate(1934000), 27);
  EXPECT_EQ(g->GetLevelForBitrate(100000000), 37);
  EXPECT_TRUE(g->IsLastLevelOfRow(12));
  EXPECT_FALSE(g->IsLastLevelOfRow(13));
  EXPECT_TRUE(g->IsSameRow(13, 19));
  EXPECT_FALSE(g->IsSameRow(12, 13));
  EXPECT_FALSE(g->IsSameRow(0, 38));
  EXPECT_EQ(g->GetLastLevelOfRow(3), 19);
  EXPECT_EQ(g->GetLastLevelOfRow(9), 0);
}

TEST(EncodeLevelTables, DefaultAndHighestLevelsPerSpatialIndex) {
  auto g = Make(1);
  // The level whose top layer is nearest the index's reference bit rate.
  EXPECT_EQ(g->GetDefaultLevel(0), 1);   // 64,000
  EXPECT_EQ(g->GetDefaultLevel(1), 5);   // 180,000
  EXPECT_EQ(g->GetDefaultLevel(2), 16);  // 520,000
  EXPECT_EQ(g->GetDefaultLevel(3), 31);  // 1,490,000 beside 1,500,000
  EXPECT_EQ(Level(*g, 16).bitrates[2], 520000);
  // Indexes 0 and 1 top out at their default, 2 and 3 at their last row.
  EXPECT_EQ(g->GetHighestLevel(0), 1);
  EXPECT_EQ(g->GetHighestLevel(1), 5);
  EXPECT_EQ(g->GetHighestLevel(2), 19);
  EXPECT_EQ(g->GetHighestLevel(3), 37);
  EXPECT_EQ(g->GetHighestLevel(4), 0);
}

TEST(EncodeLevelTables, PerformanceCapsAndAdjustments) {
  auto g = Make(1);
  EXPECT_EQ(g->GetPerformanceLevel(), 3);
  EXPECT_FALSE(g->IsPerformanceReducedForTesting());
  // Performance 3 keeps the top inside the 640x360 row.
  EXPECT_EQ(g->GetCappedHighestLevel(3), 19);
  EXPECT_EQ(Level(*g, 19).widths[2], 640);
  EXPECT_EQ(g->GetCappedHighestLevel(1), 5);
  EXPECT_EQ(g->GetCappedHighestLevel(4), 0);
  EXPECT_EQ(g->AdjustPerformanceLevel(1, 3), (4 << 8) | 1);
  EXPECT_EQ(g->GetCappedHighestLevel(3), 26);
  EXPECT_EQ(g->AdjustPerformanceLevel(0, 4), (5 << 8) | 1);
  EXPECT_EQ(g->GetCappedHighestLevel(3), 37);
  EXPECT_EQ(g->AdjustPerformanceLevel(1, 5), 5 << 8);  // at the maximum
  EXPECT_TRUE(g->IsPerformanceReducedForTesting());
  EXPECT_EQ(g->AdjustPerformanceLevel(-1, 5), (3 << 8) | 1);
  EXPECT_EQ(g->AdjustPerformanceLevel(3, 3), 3 << 8);  // never below 3
  EXPECT_EQ(g->AdjustPerformanceLevel(9, 4), 4 << 8);  // unknown direction keeps it
  EXPECT_EQ(g->GetPerformanceLevelForLevelForTesting(19), 3);
  EXPECT_EQ(g->GetPerformanceLevelForLevelForTesting(20), 4);
  EXPECT_EQ(g->GetPerformanceLevelForLevelForTesting(37), 5);

  auto single = Make(0);
  EXPECT_EQ(single->AdjustPerformanceLevel(3, 7), (5 << 8) | 1);  // 7 drops to 5
  EXPECT_EQ(single->AdjustPerformanceLevel(3, 6), (5 << 8) | 1);
  EXPECT_EQ(single->AdjustPerformanceLevel(0, 3), (7 << 8) | 1);
  EXPECT_EQ(single->GetCappedHighestLevel(3), 43);
  EXPECT_EQ(static_cast<uint32_t>(single->GetCappedHighestLevel(4)), VSE_E_INVALIDARG);
  EXPECT_EQ(single->GetPerformanceLevelForLevelForTesting(0), 5);  // the lowest levels need 5 too
  EXPECT_EQ(single->GetPerformanceLevelForLevelForTesting(single->GetLastLevelOfRow(3)), 5);
  EXPECT_EQ(single->GetPerformanceLevelForLevelForTesting(single->GetLastLevelOfRow(5)), 5);
  EXPECT_EQ(single->GetPerformanceLevelForLevelForTesting(single->GetLastLevelOfRow(5) + 1), 6);
  EXPECT_EQ(single->GetPerformanceLevelForLevelForTesting(43), 7);
}

TEST(EncodeLevelTables, RateControlWordPerLevel) {
  auto g = Make(1);
  EXPECT_EQ(g->SetRateControl(5, 0), VSE_S_OK);
  EXPECT_EQ(g->GetRateControl(5), 0);
  EXPECT_EQ(g->GetRateControl(6), 1);
  EXPECT_EQ(g->SetRateControl(38, 0), VSE_E_INVALIDARG);
  EXPECT_EQ(g->GetRateControl(-1), 0);
  CVseBaseEncodeParamGenerator empty{EncodeLevelTable{}};
  EXPECT_EQ(empty.Generate(), VSE_E_INVALIDARG);
  EXPECT_EQ(empty.GetLevelCount(), 0);
}

}  // namespace
