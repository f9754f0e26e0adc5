#include "weblink/link/audio_reports.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
