#include <gtest/gtest.h>

#include <string>

#include "common/log_capture_testlib.h"
#include "weblink/records/record_builders.h"
#include "weblink/records/record_fixture_testlib.h"

namespace {

constexpr size_t kEdgeBase = 2636;
constexpr size_t kEdgeSize = 328;

struct Built {
  bool ok;
  ACSessionConfig config;
};

Built BuildFrom(const std::string& action_text) {
  auto action = ParseOrFail(action_text);
  Built built{};
  built.ok = ActionObj2ACConfig(action ? action->members() : JsonMembers(), &built.config);
  return built;
}

std::string EdgeServers(int count) {
  std::string text = "[";
  for (int i = 0; i < count; ++i) {
    if (i) text += ",";
    text += "{\"server_addr\":\"edge" + std::to_string(i) + "\"}";
  }
  return text + "]";
}

std::string ZoneAction(const std::string& edge_servers) {
  return "{\"zone\":\"z\",\"ac_state\":{\"id\":\"r\"},\"audio_conf\":{\"port\":1,\"edge_servers\":" + edge_servers + "}}";
}

TEST(AudioConfigBuilderTest, ZoneFixtureGivesGoldenBytes) {
  auto request = LoadFixture("ac_zone_join.json");
  ASSERT_TRUE(request);
  vz::LogLineCapture log;
  ACSessionConfig config;
  ASSERT_TRUE(ActionObj2ACConfig(ActionOf(*request), &config));

  GoldenBytes golden(7892);
  golden.Text(0, u"eu-west").Text(64, u"audio.example.net").Text(576, u"atok").Text(832, u"r-3");
  golden.Text(1088, u"meet-5").Int(1344, 5000).Int(1348, 443).Int(2632, 3);
  golden.Text(kEdgeBase, u"eu-west-1a").Text(kEdgeBase + 64, u"edge1.example.net");
  golden.Int(kEdgeBase + 320, 6000).Int(kEdgeBase + 324, 8443);
  golden.Text(kEdgeBase + kEdgeSize, u"eu-west-1b").Text(kEdgeBase + kEdgeSize + 64, u"192.0.2.11");
  golden.Int(kEdgeBase + kEdgeSize + 320, 5000).Int(kEdgeBase + kEdgeSize + 324, 443);
  golden.Text(kEdgeBase + 2 * kEdgeSize, u"eu-west-1c").Text(kEdgeBase + 2 * kEdgeSize + 64, u"192.0.2.12");
  golden.Int(kEdgeBase + 2 * kEdgeSize + 320, 5000).Int(kEdgeBase + 2 * kEdgeSize + 324, 443);
  golden.Int(7884, 1);
  EXPECT_TRUE(SameBytes(&config, sizeof config, golden));

  EXPECT_TRUE(log.Has(" : >strZone [eu-west]"));
  EXPECT_TRUE(log.Has(" : >pConfig->Zone [eu-west]"));
  EXPECT_TRUE(log.Has(" : *** ERROR ****** >Audio Config Port=0 is wrong, set to default value.< *************"));
}

TEST(AudioConfigBuilderTest, PlainFixtureGivesGoldenBytes) {
  auto request = LoadFixture("ac_plain_join.json");
  ASSERT_TRUE(request);
  ACSessionConfig config;
  ASSERT_TRUE(ActionObj2ACConfig(ActionOf(*request), &config));
  // TcpPort is always 443 and there are no edge servers; "mute" comes from "ac_conf".
  GoldenBytes golden(7892);
  golden.Text(64, u"198.51.100.4").Text(576, u"ptok").Text(832, u"r-4").Text(1088, u"meet-6");
  golden.Int(1344, 5062).Int(1348, 443).Int(7884, 1);
  EXPECT_TRUE(SameBytes(&config, sizeof config, golden));

  ACSessionConfig direct;
  ASSERT_TRUE(ActionObj2ACConfigNoZone(ActionOf(*request), &direct));
  EXPECT_TRUE(SameBytes(&direct, sizeof direct, golden));
}

TEST(AudioConfigBuilderTest, RequiredObjects) {
  vz::LogLineCapture log;
  EXPECT_FALSE(BuildFrom("{\"zone\":\"z\",\"ac_state\":{\"id\":\"r\"}}").ok);
  EXPECT_FALSE(log.Has("ERROR"));
  EXPECT_FALSE(BuildFrom("{\"zone\":\"z\",\"audio_conf\":{\"port\":1}}").ok);
  EXPECT_TRUE(log.Has(" : *** ERROR ****** >There isn't ac_state in JSON!< *************"));
  EXPECT_TRUE(BuildFrom("{\"zone\":\"z\",\"ac_state\":{\"id\":\"r\"},\"audio_conf\":{\"port\":1}}").ok);

  // Plain form: "ac_conf" and "ac_state" are both needed.
  EXPECT_FALSE(BuildFrom("{\"zone\":\"\",\"ac_state\":{\"id\":\"r\"}}").ok);
  EXPECT_FALSE(BuildFrom("{\"ac_conf\":{\"conf_id\":\"m\"}}").ok);
  EXPECT_TRUE(BuildFrom("{\"zone\":7,\"ac_conf\":{\"conf_id\":\"m\"},\"ac_state\":{\"id\":\"r\"}}").ok);
}

TEST(AudioConfigBuilderTest, EdgeServers) {
  Built built = BuildFrom(ZoneAction(EdgeServers(20)));
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.config.EdgeServerCount, 16);
  EXPECT_EQ(std::u16string(built.config.EdgeServers[15].ServerAddr), u"edge15");

  built = BuildFrom(ZoneAction("[{\"server_addr\":\"a\"},{\"server_addr\":\"b\"},\"c\",{\"server_addr\":\"d\"}]"));
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.config.EdgeServerCount, 2);
  EXPECT_EQ(built.config.EdgeServers[2].ServerAddr[0], 0);

  built = BuildFrom(ZoneAction("{\"server_addr\":\"a\"}"));  // not an array
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.config.EdgeServerCount, 0);
}

TEST(AudioConfigBuilderTest, ServerNameIsPreferredWhenItIsANonEmptyText) {
  Built built = BuildFrom(
      "{\"zone\":\"z\",\"ac_state\":{},\"audio_conf\":{\"server_name\":\"name\",\"server_addr\":\"addr\"}}");
  EXPECT_FALSE(built.ok);  // "ac_state" without members
  built = BuildFrom(
      "{\"zone\":\"z\",\"ac_state\":{\"id\":\"r\"},\"audio_conf\":{\"server_name\":\"name\",\"server_addr\":\"addr\"}}");
  EXPECT_EQ(std::u16string(built.config.ServerAddr), u"name");
  built = BuildFrom(
      "{\"zone\":\"z\",\"ac_state\":{\"id\":\"r\"},\"audio_conf\":{\"server_name\":\"\",\"server_addr\":\"addr\"}}");
  EXPECT_EQ(std::u16string(built.config.ServerAddr), u"addr");
}

TEST(AudioConfigBuilderTest, PortDefaultsAndLongTokens) {
  vz::LogLineCapture log;
  Built built = BuildFrom("{\"zone\":\"z\",\"ac_state\":{\"id\":\"r\"},\"audio_conf\":{\"port\":5062,\"token\":\"" +
                          std::string(128, 't') + "\"}}");
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.config.Port, 5062);
  EXPECT_EQ(built.config.TcpPort, 443);
  EXPECT_EQ(built.config.Token[0], 0);
  EXPECT_FALSE(log.Has("Port=0"));
  EXPECT_TRUE(log.Has(">Token is 128 characters, more than the 127 its field holds: left empty<"));

  built = BuildFrom("{\"ac_conf\":{\"conf_id\":\"m\"},\"ac_state\":{\"id\":\"r\"}}");
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.config.Port, 5000);
  EXPECT_EQ(built.config.TcpPort, 443);
  EXPECT_TRUE(log.Has(">Audio Config Port=0 is wrong, set to default value.<"));
}

}  // namespace
