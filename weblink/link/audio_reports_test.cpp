#include "weblink/link/audio_reports.h"

#include <gtest/gtest.h>

namespace {

TEST(AudioReportsTest, TheSpeakersAndNetworksExamplesByteForByte) {
  const ACSpeakerEntry speakers[] = {{1, 5, 2}, {3, 9, 4}};
  EXPECT_EQ(ACSpeakersReport(speakers, 2, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_SPEAKERS","action":{"ac_conf":{"conf_id":"12","speakers":[5,9]}}})");
  const ACRosterNetworkEntry network[] = {{100, 2, 40, 3, 1}};
  EXPECT_EQ(ACNetworksReport(network, 1, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_NETWORKS","action":{"ac_conf":{"conf_id":"12","rosters":[{"ssrc":100,"lossrate":2,"latency":40,"jitter":3,"quality":"medium"}]}}})");
}

TEST(AudioReportsTest, SpeakerListsOfEverySize) {
  const ACSpeakerEntry three[] = {{0, 5, 0}, {0, 9, 0}, {0, 12, 0}};
  EXPECT_EQ(ACSpeakersReport(three, 3, u"c"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_SPEAKERS","action":{"ac_conf":{"conf_id":"c","speakers":[5,9,12]}}})");
  const ACSpeakerEntry largest[] = {{0, 4294967295u, 0}};
  EXPECT_EQ(ACSpeakersReport(largest, 1, u"c"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_SPEAKERS","action":{"ac_conf":{"conf_id":"c","speakers":[4294967295]}}})");
  EXPECT_EQ(ACSpeakersReport(three, 0, u"c"), "");
  EXPECT_EQ(ACSpeakersReport(three, -1, u"c"), "");
  EXPECT_EQ(ACSpeakersReport(nullptr, 2, u"c"), "");
}

TEST(AudioReportsTest, QualityWordsComeOnlyFromTheClass) {
  const ACRosterNetworkEntry entries[] = {{1, 0, 0, 0, 3}, {2, 0, 0, 0, 4}, {3, 0, 0, 0, 0xFFFFFFFFu}};
  EXPECT_EQ(ACNetworksReport(entries, 3, u"c"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_NETWORKS","action":{"ac_conf":{"conf_id":"c","rosters":[)"
            R"({"ssrc":1,"lossrate":0,"latency":0,"jitter":0,"quality":"bad"},)"
            R"({"ssrc":2,"lossrate":0,"latency":0,"jitter":0,"quality":""},)"
            R"({"ssrc":3,"lossrate":0,"latency":0,"jitter":0,"quality":""}]}}})");
  EXPECT_STREQ(AudioQualityWord(0), "good");
  EXPECT_STREQ(AudioQualityWord(2), "weak");
  EXPECT_EQ(ACNetworksReport(entries, 0, u"c"), "");
}

TEST(AudioReportsTest, SessionReports) {
  EXPECT_EQ(ACJoinedReport(1, 7, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_JOINED","action":{"ac_conf":{"conf_id":"12","ssrc":7,"muted":1}}})");
  EXPECT_EQ(ACStatusReport(4, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_LEFT","action":{"ac_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(ACStatusReport(0, u"12"), ACStatusReport(4, u"12"));
  EXPECT_EQ(ACStatusReport(1, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_CONNECTING","action":{"ac_conf":{"conf_id":"12"}}})");
  for (const int32_t none : {2, 3, 5}) EXPECT_EQ(ACStatusReport(none, u"12"), "") << none;
  EXPECT_EQ(ACErrorReport(-1, 3, u"12"),
            R"({"type":"AC_SESSION_RESPONSE_ERROR","code":4294967295,"codetype":3,"action":{"ac_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(ACMutedReport(5, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_MUTED","action":{"ac_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(ACMutedReport(0, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_UNMUTED","action":{"ac_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(ACMicStatusReport(-1, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_MIC_STATUS","action":{"ac_conf":{"conf_id":"12","status":4294967295}}})");
  EXPECT_EQ(ACDeviceLevelReport(30, 70, u"12"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_RESPONSE_DEVICELEVEL","action":{"ac_conf":{"conf_id":"12","speaker":30,"microphone":70}}})");
}

TEST(AudioReportsTest, Notices) {
  EXPECT_EQ(ACNoticeReport(ACNotice::kJoin, u"m"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_NOTIFY_JOIN","action":{"ac_conf":{"conf_id":"m"}}})");
  EXPECT_EQ(ACNoticeReport(ACNotice::kLeave, u"m"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_NOTIFY_LEAVE","action":{"ac_conf":{"conf_id":"m"}}})");
  EXPECT_EQ(ACNoticeReport(ACNotice::kMute, u"m"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_NOTIFY_MUTE","action":{"ac_conf":{"conf_id":"m"}}})");
  EXPECT_EQ(ACNoticeReport(ACNotice::kUnmute, u"m"),
            R"({"code":0,"codetype":0,"type":"AC_SESSION_NOTIFY_UNMUTE","action":{"ac_conf":{"conf_id":"m"}}})");
}

}  // namespace
