#include "video/engine/rtp/svc_priority_generator.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/engine/rtp/svc_nal_generator_testlib.h"
#include "video/engine/rtp/svc_scalability_info.h"

using namespace vz::rtp;
using namespace vz::rtp::test_support;

namespace {

SvcOutput Output(int index, int width, int height, float fps, int mode) {
  SvcOutput o;
  o.index = index;
  o.width = width;
  o.height = height;
  o.frame_rate = fps;
  o.priority_mode = mode;
  return o;
}

int Input(CSvcPriorityGenerator& g, const std::vector<uint8_t>& nal) {
  return g.InputNal(nal.data(), static_cast<int>(nal.size()));
}

TEST(ScalabilitySei, ParsesTheGeneratedLayerGrid) {
  const auto nal = MakeScalabilitySei(ThreeByThreeLayers());
  SvcScalabilityInfo info;
  ASSERT_TRUE(ParseScalabilitySei(nal.data(), static_cast<int>(nal.size()), &info));
  ASSERT_EQ(info.layers.size(), 9u);
  const SvcLayerInfo& l = info.layers[5];
  EXPECT_EQ(l.dependency_id, 1);
  EXPECT_EQ(l.temporal_id, 2);
  EXPECT_EQ((l.width_in_mbs_minus1 + 1) * 16, 640);
  EXPECT_EQ((l.height_in_mbs_minus1 + 1) * 16, 368);
  EXPECT_EQ(l.avg_frame_rate, 30 * 256);
  EXPECT_EQ(l.dependency_deltas, (std::vector<uint32_t>{0, 2}));
  // The bit-rate zeros needed emulation prevention bytes.
  EXPECT_NE(RemoveEmulationPrevention(nal.data(), static_cast<int>(nal.size())).size(), nal.size());
}

TEST(ScalabilitySei, TruncatedOrForeignMessagesAreRefused) {
  const auto nal = MakeScalabilitySei(ThreeByThreeLayers());
  SvcScalabilityInfo info;
  info.layers.resize(2);
  for (int cut : {3, 10, static_cast<int>(nal.size()) / 2, static_cast<int>(nal.size()) - 3}) {
    EXPECT_FALSE(ParseScalabilitySei(nal.data(), cut, &info)) << cut;
  }
  EXPECT_EQ(info.layers.size(), 2u);  // untouched
  auto other = nal;
  other[1] = 5;  // another payload type
  EXPECT_FALSE(ParseScalabilitySei(other.data(), static_cast<int>(other.size()), &info));
  // 320 layers is one too many.
  BitWriter w;
  w.Bits(0, 3);
  w.Ue(320);
  auto body = w.Finish();
  std::vector<uint8_t> many = {0x06, 24, static_cast<uint8_t>(body.size())};
  many.insert(many.end(), body.begin(), body.end());
  EXPECT_FALSE(ParseScalabilitySei(many.data(), static_cast<int>(many.size()), &info));
  // An Exp-Golomb code of more than 31 leading zeros.
  std::vector<uint8_t> zeros = {0x06, 24, 8, 0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x00, 0x01};
  EXPECT_FALSE(ParseScalabilitySei(zeros.data(), static_cast<int>(zeros.size()), &info));
}

TEST(SvcPriorityGenerator, SvcHeaderIdentity) {
  CSvcPriorityGenerator g;
  const std::vector<uint8_t> prefix = {0x6E, 0x80, 0x23, 0x40};
  EXPECT_EQ(Input(g, prefix), 0);
  int d, t, q;
  g.LayerIdentity(&d, &t, &q);
  EXPECT_EQ(d, 2);
  EXPECT_EQ(q, 3);
  EXPECT_EQ(t, 2);
  EXPECT_EQ(Input(g, {0x6E, 0x80, 0x23, 0xC0}), 1);  // T = 6
  EXPECT_EQ(Input(g, {0x74, 0x80, 0x29, 0x00}), 1);  // Q = 9
  EXPECT_EQ(Input(g, {0x6E, 0x80, 0x23}), 1);        // too short
  EXPECT_EQ(Input(g, {0x65}), 1);
}

struct GridFixture : ::testing::Test {
  void SetUp() override { ASSERT_EQ(Input(g, MakeScalabilitySei(ThreeByThreeLayers())), 0); }
  CSvcPriorityGenerator g;
};

TEST_F(GridFixture, NumberingModesForTheSameLayers) {
  const SvcOutput outputs[] = {
      Output(0, 640, 360, 30, kSvcPriorityQualityFirst), Output(1, 640, 360, 30, kSvcPriorityTemporalFirst),
      Output(2, 640, 360, 30, kSvcPriorityByTemporalLevel), Output(3, 640, 360, 30, 9)};  // 9: no such mode
  ASSERT_EQ(g.SetOutputs(4, outputs), 0);
  // 640 x 360 picks the 640 x 368 layers; 30 fps the top temporal layer.
  EXPECT_EQ(g.LayerValuesForTesting(0), (std::vector<int>{0, 1, 2, 3, 3, 3, -1, -1, -1}));
  EXPECT_EQ(g.LayerValuesForTesting(1), (std::vector<int>{0, 1, 2, 3, 3, 3, -1, -1, -1}));
  EXPECT_EQ(g.LayerValuesForTesting(2), (std::vector<int>{0, 1, 2, 0, 1, 2, -1, -1, -1}));
  EXPECT_EQ(g.LayerValuesForTesting(3), (std::vector<int>{0, 0, 0, 0, 0, 0, -1, -1, -1}));
  EXPECT_EQ(g.GreatestValueForTesting(0), 3);
  EXPECT_EQ(g.TemporalLayerCount(1), 3);
  EXPECT_EQ(g.TemporalLayerCount(3), -1);
  EXPECT_EQ(g.SetOutputs(5, outputs), 1);
  EXPECT_EQ(g.SetOutputs(0, outputs), 1);
}

TEST_F(GridFixture, PrioritiesPerNalUnitAndClass) {
  const SvcOutput outputs[] = {Output(0, 640, 360, 30, 0), Output(1, 320, 180, 7.5f, 0)};
  ASSERT_EQ(g.SetOutputs(2, outputs), 0);
  int p[4];
  // Values 1, 2, 3 map to 3, 6, 9 with G = 3.
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(testing::Message() << "temporal layer " << t);
    ASSERT_EQ(Input(g, MakeSvcNal(14, 0, 0, t, 4)), 0);
    ASSERT_EQ(Input(g, MakeAvcSlice(t == 0, true, 100)), 0);  // base slice after its prefix
    ASSERT_EQ(g.Priorities(p, 2), 0);
    EXPECT_EQ(p[0], 3 * t) << t;
  }
  // The second class (320 x 176 at 7.5 fps) keeps every temporal layer of
  // D = 0 (the needed-layer walk follows dependencies, not T): G = 2, so
  // value 2 maps to 15 / 4 x 2 = 7.5, rounded half up.
  EXPECT_EQ(p[1], 8);
  ASSERT_EQ(Input(g, MakeSvcNal(20, 1, 0, 2, 100)), 0);
  ASSERT_EQ(g.Priorities(p, 2), 0);
  EXPECT_EQ(p[0], 9);
  EXPECT_EQ(p[1], 15);
  // D = 2 is needed by neither.
  ASSERT_EQ(Input(g, MakeSvcNal(20, 2, 0, 0, 100)), 0);
  ASSERT_EQ(g.Priorities(p, 2), 0);
  EXPECT_EQ(p[0], 15);
  // T = 5 and Q = 8 pass the header check but lie beyond the layer table.
  ASSERT_EQ(Input(g, MakeSvcNal(20, 1, 8, 5, 100)), 0);
  ASSERT_EQ(g.Priorities(p, 2), 0);
  EXPECT_EQ(p[0], 15);
  // Plain slices without a prefix: 0 for reference, 1 for non-reference.
  ASSERT_EQ(Input(g, MakeAvcSlice(false, true, 50)), 0);
  ASSERT_EQ(Input(g, MakeAvcSlice(false, true, 50)), 0);
  ASSERT_EQ(g.Priorities(p, 2), 0);
  EXPECT_EQ(p[0], 0);
  // Filler takes the highest priority value, other types the lowest.
  ASSERT_EQ(Input(g, {0x0C, 0xFF}), 0);
  ASSERT_EQ(g.Priorities(p, 2), 0);
  EXPECT_EQ(p[0], 14);
  ASSERT_EQ(Input(g, {0x67, 0x42}), 0);
  ASSERT_EQ(g.Priorities(p, 2), 0);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(g.Priorities(p, 5), 1);
}

TEST_F(GridFixture, ABadSeiLeavesThePreviousTables) {
  const SvcOutput outputs[] = {Output(0, 640, 360, 30, 0)};
  ASSERT_EQ(g.SetOutputs(1, outputs), 0);
  const std::vector<int> before = g.LayerValuesForTesting(0);
  auto sei = MakeScalabilitySei(ThreeByThreeLayers());
  sei.resize(sei.size() / 2);
  EXPECT_EQ(Input(g, sei), 1);
  EXPECT_EQ(g.LayerValuesForTesting(0), before);
  std::vector<uint8_t> huge(2001, 0x11);
  huge[0] = 0x06;
  huge[1] = 24;
  EXPECT_EQ(Input(g, huge), 1);
  EXPECT_EQ(Input(g, {0x06, 0x05, 0x01, 0x00}), 0);  // another SEI message passes unparsed
}

TEST(SvcPriorityGenerator, FallbackSizeAndZeroRates) {
  CSvcPriorityGenerator g;
  // Without size information the choice falls back to 640 x 480 and the
  // last layer without rate or size information.
  ASSERT_EQ(Input(g, MakeScalabilitySei(ThreeByThreeLayers(), false, false)), 0);
  const SvcOutput outputs[] = {Output(0, 0, 0, 0, 0)};  // nothing to divide by
  ASSERT_EQ(g.SetOutputs(1, outputs), 0);
  EXPECT_EQ(g.LayerValuesForTesting(0).size(), 9u);
}

}  // namespace
