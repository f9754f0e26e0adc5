#include "video/engine/core/fec_tables.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> Row(int profile, int level, int from, int to) {
  std::vector<int> v;
  for (int n = from; n <= to; ++n) v.push_back(fec::RepairEntry(profile, level, n));
  return v;
}

TEST(FecTablesTest, TheTellingRowsOfTheStrongestProfile) {
  EXPECT_EQ(Row(0, 0, 1, 8), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(Row(0, 1, 1, 8), (std::vector<int>{0, 0, 1, 1, 1, 2, 2, 2}));
  EXPECT_EQ(Row(0, 3, 1, 8), (std::vector<int>{1, 2, 2, 3, 3, 3, 4, 4}));
  EXPECT_EQ(Row(0, 7, 1, 8), (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10}));
  const int at32[] = {2, 4, -1, 9, -1, -1, -1, 26}, at63[] = {3, 6, -1, 15, -1, -1, -1, 42};
  for (int level : {0, 1, 3, 7}) {
    EXPECT_EQ(fec::RepairEntry(0, level, 32), at32[level]) << level;
    EXPECT_EQ(fec::RepairEntry(0, level, 63), at63[level]) << level;
  }
  EXPECT_EQ(fec::RepairEntry(3, 7, 32), 22);
  EXPECT_EQ(fec::RepairEntry(3, 7, 63), 39);
  EXPECT_EQ(fec::RepairEntry(3, 0, 21), 0);
  EXPECT_EQ(fec::RepairEntry(3, 0, 22), 1);
}

TEST(FecTablesTest, EntriesNeverDecreaseWithTheLevelAndWeakerProfilesProtectLess) {
  for (int p = 0; p < fec::kProfiles; ++p) {
    for (int n = 1; n <= fec::kMaxSourcePackets; ++n) {
      for (int level = 1; level < fec::kLevels; ++level) {
        ASSERT_GE(fec::RepairEntry(p, level, n), fec::RepairEntry(p, level - 1, n)) << p << "/" << level << "/" << n;
      }
      if (p > 0) {
        ASSERT_LE(fec::RepairEntry(p, 7, n), fec::RepairEntry(p - 1, 7, n)) << p << "/" << n;
      }
    }
    EXPECT_GT(fec::RepairEntry(p, 7, 63), fec::RepairEntry(p, 7, 1)) << "rows grow with n";
  }
}

TEST(FecTablesTest, PlanGivesCumulativeLevelsLowestFirst) {
  int total = -1;
  uint8_t levels[64];
  ASSERT_EQ(fec::PlanRepairPackets(0, 8, &total, levels, 3), 0);
  EXPECT_EQ(total, 4);
  // 1 packet of level 0, 1 more of level 1, 0 of level 2 (entry 2 at n = 8 is 3), then level 3.
  EXPECT_EQ(std::vector<int>(levels, levels + total), (std::vector<int>{0, 1, 2, 3}));
  ASSERT_EQ(fec::PlanRepairPackets(0, 63, &total, levels, 7), 0);
  EXPECT_EQ(total, 42) << "the largest plan fits a 42-byte level buffer";
  for (int i = 1; i < total; ++i) ASSERT_LE(levels[i - 1], levels[i]) << "packet " << i;
}

TEST(FecTablesTest, PlanRefusesWhatHasNoRow) {
  int total = -1;
  uint8_t levels[64];
  EXPECT_EQ(fec::PlanRepairPackets(0, 0, &total, levels, 3), -1);
  EXPECT_EQ(fec::PlanRepairPackets(0, 64, &total, levels, 3), -1) << "no row holds 64 source packets";
  EXPECT_EQ(total, 0);
  EXPECT_EQ(fec::PlanRepairPackets(0, 66, &total, levels, 7), -1);
  EXPECT_EQ(fec::PlanRepairPackets(0, 8, &total, levels, 8), -1);
  EXPECT_EQ(total, 0);
  total = -1;
  EXPECT_EQ(fec::PlanRepairPackets(0, 8, &total, levels, -1), 0);
  EXPECT_EQ(total, 0);
  total = -1;
  EXPECT_EQ(fec::PlanRepairPackets(4, 8, &total, levels, 3), 0);
  EXPECT_EQ(total, 0);
}

TEST(FecTablesTest, LossClassAtEachBoundary) {
  EXPECT_EQ(fec::LossClass(0), 0);
  EXPECT_EQ(fec::LossClass(19), 0);
  EXPECT_EQ(fec::LossClass(20), 1);
  EXPECT_EQ(fec::LossClass(49), 1);
  EXPECT_EQ(fec::LossClass(50), 2);
  EXPECT_EQ(fec::LossClass(169), 4);
  EXPECT_EQ(fec::LossClass(220), 6);
  EXPECT_EQ(fec::LossClass(250), 7);
  EXPECT_EQ(fec::LossClass(299), 7);
  EXPECT_EQ(fec::LossClass(300), 7);
  EXPECT_EQ(fec::LossClass(1000), 7);
}

TEST(FecTablesTest, LayerClassesAndCounts) {
  // kind 4: the base layer, temporal layers 1 and 2.
  EXPECT_EQ(fec::MapLayerClass(0, 0, false, 4), 0);
  EXPECT_EQ(fec::MapLayerClass(0, 0, true, 4), 3);
  EXPECT_EQ(fec::MapLayerClass(1, 0, false, 4), 1);
  EXPECT_EQ(fec::MapLayerClass(2, 0, false, 4), 2);
  EXPECT_EQ(fec::MapLayerClass(2, 0, true, 4), -1);
  EXPECT_EQ(fec::MapLayerClass(3, 0, false, 4), -1);
  EXPECT_EQ(fec::MapLayerClass(-2, 0, false, 4), 3);
  // kind 3
  EXPECT_EQ(fec::MapLayerClass(1, 0, false, 3), 2);
  EXPECT_EQ(fec::MapLayerClass(1, 0, true, 3), -1);
  EXPECT_EQ(fec::MapLayerClass(2, 0, false, 3), -1);
  EXPECT_EQ(fec::MapLayerClass(0, 0, true, 3), 3);
  // kinds 1 and 2, and others
  EXPECT_EQ(fec::MapLayerClass(0, 0, false, 1), 0);
  EXPECT_EQ(fec::MapLayerClass(0, 0, true, 2), -1);
  EXPECT_EQ(fec::MapLayerClass(1, 0, false, 2), -1);
  EXPECT_EQ(fec::MapLayerClass(0, 0, false, 5), -1);
  EXPECT_EQ(fec::LayerCount(0), 5);
  EXPECT_EQ(fec::LayerCount(2), 3);
  EXPECT_EQ(fec::LayerCount(3), -1);
  EXPECT_EQ(fec::LayerCount(-1), -1);
}

TEST(FecTablesTest, HeaderReadersCheckTheLength) {
  const uint8_t prefix[] = {0x6E, 0x80, 0x00, 0x40};  // type 14, temporal id 2
  EXPECT_EQ(fec::NalType(prefix, sizeof prefix), 14);
  EXPECT_EQ(fec::SvcTemporalId(prefix, sizeof prefix), 2);
  EXPECT_EQ(fec::SvcTemporalId(prefix, 3), -1);
  EXPECT_EQ(fec::NalType(prefix, 0), -1);
  EXPECT_EQ(fec::NalType(nullptr, 4), -1);
}

}  // namespace
