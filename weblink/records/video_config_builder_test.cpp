#include <gtest/gtest.h>

#include <string>

#include "common/log_capture_testlib.h"
#include "weblink/records/record_builders.h"
#include "weblink/records/record_fixture_testlib.h"

namespace {

AVSessionConfig BuildFrom(const std::string& action_text) {
  auto action = ParseOrFail(action_text);
  AVSessionConfig config;
  ActionObj2AVConfig(action ? action->members() : JsonMembers(), &config);
  return config;
}

TEST(VideoConfigBuilderTest, FixtureGivesGoldenBytes) {
  auto request = LoadFixture("av_join.json");
  ASSERT_TRUE(request);
  AVSessionConfig config;
  ActionObj2AVConfig(ActionOf(*request), &config);
  GoldenBytes golden(7904);
  golden.Text(64, u"video.example.net").Text(576, u"vtok").Text(832, u"r-9").Text(1088, u"meet-8");
  golden.Int(1344, 7000).Int(1348, 7443).Int(7884, 1).Int(7892, 2);
  EXPECT_TRUE(SameBytes(&config, sizeof config, golden));
}

TEST(VideoConfigBuilderTest, PortDefaults) {
  vz::LogLineCapture log;
  AVSessionConfig config = BuildFrom("{\"av_conf\":{\"server_addr\":\"addr\"},\"av_state\":{\"id\":\"r\"}}");
  EXPECT_EQ(config.Port, 5000);
  EXPECT_EQ(config.TcpPort, 443);
  EXPECT_EQ(std::u16string(config.ServerAddr), u"addr");
  EXPECT_TRUE(log.Has(" : *** ERROR ****** >Video Config Port=0 is wrong, set to default value.< *************"));
  EXPECT_TRUE(log.Has(" : *** ERROR ****** >Video Config TcpPort=0 is wrong, set to default value.< *************"));
}

TEST(VideoConfigBuilderTest, MissingObjects) {
  vz::LogLineCapture log;
  AVSessionConfig config = BuildFrom("{\"av_state\":{\"id\":\"r\"}}");
  EXPECT_TRUE(SameBytes(&config, sizeof config, GoldenBytes(7904)));

  // Without "av_state" the numbers read after it stay 0.
  config = BuildFrom("{\"av_conf\":{\"conf_id\":\"m\",\"port\":1,\"tcp_port\":2,\"broadcast\":1,\"layout\":3}}");
  EXPECT_EQ(std::u16string(config.MeetId), u"m");
  EXPECT_EQ(config.Broadcast, 0);
  EXPECT_EQ(config.Layout, 0);
  EXPECT_TRUE(log.Has(" : *** ERROR ****** >There isn't av_state in JSON!< *************"));
}

}  // namespace
