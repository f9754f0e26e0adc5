#include <gtest/gtest.h>

#include "common/log_capture_testlib.h"
#include "weblink/json/json_lookup.h"
#include "weblink/records/record_builders.h"
#include "weblink/records/record_fixture_testlib.h"

namespace {

MeetConfig ParseConf(const std::string& conf_text) {
  auto conf = ParseOrFail(conf_text);
  MeetConfig config;
  ParseMeetConfig(conf ? conf->members() : JsonMembers(), &config);
  return config;
}

TEST(MeetConfigBuilderTest, FixtureGivesGoldenBytes) {
  auto request = LoadFixture("meet_config.json");
  ASSERT_TRUE(request);
  MeetConfig config;
  ParseMeetConfig(JsonGetObject(request->members(), "conf"), &config);
  GoldenBytes golden(40);
  golden.Int(0, 1).Int(4, 0).Int(8, 3).Int(12, 1).Int(16, 1).Int(20, 0);
  golden.Int(24, 0xFFFF8400).Int(28, 0xFFFF0F00).Int(32, 0).Int(36, 1);
  EXPECT_TRUE(SameBytes(&config, sizeof config, golden));
}

TEST(MeetConfigBuilderTest, AbsentKeysKeepTheDefaults) {
  const MeetConfig config = ParseConf("{\"unrelated\":true}");
  GoldenBytes golden(40);
  golden.Int(0, 1).Int(4, 1).Int(8, 1).Int(12, 0).Int(16, 1).Int(20, 1);
  golden.Int(24, 0xFF0084FF).Int(28, 0xFFFFFFFF).Int(32, 1).Int(36, 0);
  EXPECT_TRUE(SameBytes(&config, sizeof config, golden));
}

TEST(MeetConfigBuilderTest, FlagsMustBeBooleansAndNumbersNumbers) {
  MeetConfig config = ParseConf("{\"MEET_WITHOUT_VIDEO\":1,\"MEET_VIDEO_QUALITY\":\"2\",\"MEET_VIDEO_TOOLBAR\":1,"
                                "\"Show_Powered_By_Velzar\":\"true\",\"MEET_WITHOUT_AUDIO\":true}");
  EXPECT_EQ(config.VideoEnabled, 1);
  EXPECT_EQ(config.VideoQuality, 0);  // present but not a number: 0, not the default
  EXPECT_EQ(config.VideoToolbar, 0);
  EXPECT_EQ(config.ShowPoweredBy, 0);
  EXPECT_EQ(config.AudioEnabled, 0);

  config = ParseConf("{\"MEET_VIDEO_QUALITY\":2.9,\"MEET_WITHOUT_SHARING\":false,\"MEET_WITHOUT_META_INFO\":null}");
  EXPECT_EQ(config.VideoQuality, 2);
  EXPECT_EQ(config.SharingEnabled, 1);
  EXPECT_EQ(config.MetaInfoEnabled, 1);
}

struct ColourCase {
  const char* text;
  uint32_t value;
  bool error_logged;
};

const ColourCase kColourCases[] = {
    {"#0084ff", 0xFFFF8400, false},
    {"#ff8400", 0xFF0084FF, false},
    {"#fff", 0xFFFF0F00, false},
    {"#ffffff", 0xFFFFFFFF, false},
    {"#000000", 0xFF000000, false},
    {"#12", 0, true},
    {"", 0, true},
    {"#12g4", 0, true},
    {"#0084ff ", 0, true},
    {"#   ", 0, true},
    {"x0084ff", 0xFFFF8400, false},
    {"#0x0084ff", 0xFFFF8400, false},
    {"# -1", 0xFFFFFFFF, false},
    // Read as a 32-bit long: anything larger clamps to 0x7FFFFFFF.
    {"#ff0084ff", 0xFFFFFFFF, false},
    {"#7f0084ff", 0xFFFF8400, false},
    {"#ffffffffffffffffffff", 0xFFFFFFFF, false},
    {"#-ffffffff", 0xFF000000, false},
};

TEST(MeetConfigBuilderTest, ColourConversionTable) {
  for (const ColourCase& c : kColourCases) {
    vz::LogLineCapture log;
    EXPECT_EQ(convertHexStringToColorValue(c.text), c.value) << "[" << c.text << "]";
    const std::string error = std::string("*** ERROR ****** >") + c.text + " not a hex number< *************";
    EXPECT_EQ(log.Has(error), c.error_logged) << "[" << c.text << "]";
  }
}

TEST(MeetConfigBuilderTest, ColourKeysAreConverted) {
  vz::LogLineCapture log;
  const MeetConfig config = ParseConf("{\"Web_Meet_Header_BgColor\":\"#ffffff\",\"Web_Meet_Header_Text_Color\":5}");
  EXPECT_EQ(config.HeaderBgColor, 0xFFFFFFFFu);
  EXPECT_EQ(config.HeaderTextColor, 0u);  // not a text: too short to be a colour
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].rfind("convertHexStringToColorValue [line# ", 0), 0u);
  EXPECT_TRUE(log.Has(" : *** ERROR ****** > not a hex number< *************"));
}

}  // namespace
