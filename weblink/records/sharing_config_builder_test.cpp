#include <gtest/gtest.h>

#include <string>

#include "common/log_capture_testlib.h"
#include "weblink/records/record_builders.h"
#include "weblink/records/record_fixture_testlib.h"

namespace {

DSSessionConfig BuildFrom(const std::string& action_text) {
  auto action = ParseOrFail(action_text);
  DSSessionConfig config;
  ActionObj2DSConfig(action ? action->members() : JsonMembers(), &config);
  return config;
}

TEST(SharingConfigBuilderTest, FixtureGivesGoldenBytes) {
  auto request = LoadFixture("ds_start.json");
  ASSERT_TRUE(request);
  vz::LogLineCapture log;
  DSSessionConfig config;
  ActionObj2DSConfig(ActionOf(*request), &config);

  GoldenBytes golden(7892);
  golden.Text(64, u"share.example.net").Text(576, u"VDS m\u00E9et-42:tok\u20AC").Text(832, u"roster-7");
  golden.Text(1088, u"m\u00E9et-42").Int(1348, 8443).Text(1352, u"ds-99").Text(1608, u"10.1.2.3");
  golden.Int(7884, 1);
  EXPECT_TRUE(SameBytes(&config, sizeof config, golden));

  EXPECT_TRUE(log.Has(" : >strMeetId [m\xC3\xA9" "et-42]"));
  EXPECT_TRUE(log.Has(" : >pConfig->MeetId [m\xC3\xA9" "et-42]"));
  // The token is stored whole but never logged in clear.
  EXPECT_TRUE(log.Has(" : >strToken [***]"));
  EXPECT_TRUE(log.Has(" : >pConfig->Token [***]"));
  EXPECT_FALSE(log.Has("tok\xE2\x82\xAC"));
  EXPECT_TRUE(log.Has(" : >strDSId [ds-99]"));
  EXPECT_TRUE(log.Has(" : >pConfig->ServerIp [10.1.2.3]"));
  EXPECT_TRUE(log.Has("ActionObj2DSConfig [line# "));
  EXPECT_TRUE(log.Has(" : >pConfig->IsPresenter [1]"));
}

TEST(SharingConfigBuilderTest, TokenAlwaysCarriesThePrefix) {
  DSSessionConfig config = BuildFrom("{\"ds_conf\":{\"conf_id\":\"meet\"},\"ds_state\":{\"id\":\"r\"}}");
  EXPECT_EQ(std::u16string(config.Token), u"VDS meet:");
  config = BuildFrom("{\"ds_conf\":{\"token\":\"t\"}}");
  EXPECT_EQ(std::u16string(config.Token), u"VDS :t");
}

TEST(SharingConfigBuilderTest, OverlongCombinedTokenLeavesTheFieldEmpty) {
  // 4 + 100 + 1 + 22 = 127 characters still fit; one more does not.
  const std::string meet(100, 'm');
  vz::LogLineCapture log;
  DSSessionConfig config = BuildFrom("{\"ds_conf\":{\"conf_id\":\"" + meet + "\",\"token\":\"" + std::string(22, 't') +
                                     "\"},\"ds_state\":{\"id\":\"roster\"}}");
  EXPECT_EQ(std::u16string(config.Token).size(), 127u);
  EXPECT_FALSE(log.Has("ERROR"));

  config = BuildFrom("{\"ds_conf\":{\"conf_id\":\"" + meet + "\",\"token\":\"" + std::string(23, 't') +
                     "\"},\"ds_state\":{\"id\":\"roster\"}}");
  GoldenBytes golden(7892);
  golden.Text(832, u"roster").Text(1088, std::u16string(100, u'm')).Int(1348, 443);
  EXPECT_TRUE(SameBytes(&config, sizeof config, golden));  // Token empty, RosterId and MeetId untouched
  EXPECT_TRUE(log.Has("*** ERROR ****** >the combined token is 128 characters, more than the 127 its field holds"));

  // The token alone, a typical signed token of 511 characters, never fits either.
  config = BuildFrom("{\"ds_conf\":{\"conf_id\":\"m\",\"token\":\"" + std::string(511, 't') + "\"}}");
  EXPECT_EQ(config.Token[0], 0);
}

TEST(SharingConfigBuilderTest, TokenOver511CharactersCountsAsEmpty) {
  vz::LogLineCapture log;
  const DSSessionConfig config = BuildFrom("{\"ds_conf\":{\"conf_id\":\"m\",\"token\":\"" + std::string(512, 't') + "\"}}");
  EXPECT_EQ(std::u16string(config.Token), u"VDS m:");
  EXPECT_TRUE(log.Has(">token is 512 characters, more than the 511 its field holds: left empty<"));
}

TEST(SharingConfigBuilderTest, PortsAndFlags) {
  DSSessionConfig config = BuildFrom("{\"ds_conf\":{\"port\":0},\"ds_state\":{\"is_presenter\":true}}");
  EXPECT_EQ(config.TcpPort, 443);
  EXPECT_EQ(config.Port, 0);
  EXPECT_EQ(config.IsPresenter, 0);  // a number is expected
  config = BuildFrom("{\"ds_conf\":{\"conf_id\":\"m\"},\"ds_state\":{\"is_presenter\":2}}");
  EXPECT_EQ(config.TcpPort, 443);
  EXPECT_EQ(config.Port, 0);
  EXPECT_EQ(config.IsPresenter, 2);
  EXPECT_EQ(config.IsWebAttendee, 0);
}

TEST(SharingConfigBuilderTest, MissingObjects) {
  vz::LogLineCapture log;
  // Without "ds_conf" the record stays all zero, even with a "ds_state".
  DSSessionConfig config = BuildFrom("{\"ds_state\":{\"id\":\"r\"}}");
  EXPECT_TRUE(SameBytes(&config, sizeof config, GoldenBytes(7892)));
  EXPECT_TRUE(log.lines().empty());

  // Without "ds_state" the "ds_conf" part is kept and the error logged.
  config = BuildFrom("{\"ds_conf\":{\"conf_id\":\"m\",\"ds_state\":{\"id\":\"r\"}}}");
  EXPECT_EQ(std::u16string(config.MeetId), u"m");
  EXPECT_EQ(config.RosterId[0], 0);
  EXPECT_TRUE(log.Has(" : *** ERROR ****** >There isn't ds_state in JSON!< *************"));
}

}  // namespace
