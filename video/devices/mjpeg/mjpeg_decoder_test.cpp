#include "video/devices/mjpeg/mjpeg_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "video/devices/mjpeg/mjpeg_testlib.h"

namespace nsVZVP {
namespace {

using mjpeg_testing::Compare;
using mjpeg_testing::EncodeFrame;
using mjpeg_testing::EncodeOptions;
using mjpeg_testing::Form;
using mjpeg_testing::ReferenceI420;

// The transform here and the reference's differ in rounding only.
constexpr int kMaxDifference = 3;
constexpr double kMaxMeanDifference = 0.35;

struct OracleCase {
  int width;
  int height;
  Form form;
  bool strip_tables;
  int restart;  // 0: none; -1: one MCU row (divides the count); else MCUs
};

std::string CaseName(const testing::TestParamInfo<OracleCase>& info) {
  const OracleCase& c = info.param;
  std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) +
                     (c.form == Form::k420 ? "_420" : "_422") + (c.strip_tables ? "_noDHT" : "_DHT");
  if (c.restart == -1) name += "_rowRestart";
  if (c.restart > 0) name += "_restart" + std::to_string(c.restart);
  return name;
}

class MjpegOracleTest : public testing::TestWithParam<OracleCase> {};

// Each frame decodes, into a buffer of exactly its I420 size (so ASan sees
// any store past the edge MCUs), to libjpeg-turbo's planes within rounding.
TEST_P(MjpegOracleTest, MatchesReferenceDecode) {
  const OracleCase& c = GetParam();
  EncodeOptions options;
  options.width = c.width;
  options.height = c.height;
  options.form = c.form;
  options.restart_interval = c.restart == -1 ? (c.width + 15) / 16 : c.restart;
  std::vector<uint8_t> frame = EncodeFrame(options);
  if (c.strip_tables) frame = mjpeg_testing::StripSegments(frame, 0xC4);
  const std::vector<uint8_t> reference = ReferenceI420(EncodeFrame(options), c.width, c.height, c.form);
  ASSERT_FALSE(reference.empty());

  CMjpegDecoder decoder;
  uint32_t size = 0;
  int32_t height = 0, width = 0, planes = 0, progressive = 0, reserved = 7;
  ASSERT_EQ(CMjpegDecoder::kOk, decoder.Probe(static_cast<uint32_t>(frame.size()), frame.data(), &size, &height,
                                              &width, &planes, &progressive, &reserved));
  EXPECT_EQ(c.width, width);
  EXPECT_EQ(c.height, height);
  ASSERT_EQ(reference.size(), size);
  std::vector<uint8_t> output(size);
  ASSERT_EQ(CMjpegDecoder::kOk,
            decoder.Decode(static_cast<uint32_t>(frame.size()), frame.data(), output.data(), size));
  const mjpeg_testing::Difference d = Compare(output, reference);
  EXPECT_LE(d.max, kMaxDifference);
  EXPECT_LE(d.mean, kMaxMeanDifference);
}

std::vector<OracleCase> OracleCases() {
  std::vector<OracleCase> cases;
  const int sizes[][2] = {{640, 360}, {1280, 720}, {1920, 1080}, {424, 240}};
  for (const auto& size : sizes) {
    for (Form form : {Form::k420, Form::k422}) {
      for (bool strip : {false, true}) {
        for (int restart : {0, -1, 7}) cases.push_back({size[0], size[1], form, strip, restart});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, MjpegOracleTest, testing::ValuesIn(OracleCases()), CaseName);

}  // namespace
}  // namespace nsVZVP
