#include "weblink/link/video_reports.h"

#include <gtest/gtest.h>

namespace {

TEST(VideoReportsTest, ThePongAndJoinedExamplesByteForByte) {
  EXPECT_EQ(AppPongReport(u"123"),
            R"({"code":0,"codetype":0,"type":"APP_RESPONSE_PONG","action":{"av_conf":{"conf_id":"123"}}})");
  EXPECT_EQ(AVJoinedReport(1, 4660, u"12"),
            R"({"code":0,"codetype":0,"type":"AV_SESSION_RESPONSE_JOINED","action":{"av_conf":{"conf_id":"12","ssrc":4660,"broadcasted":1}}})");
  EXPECT_EQ(AppPongReport(u""),
            R"({"code":0,"codetype":0,"type":"APP_RESPONSE_PONG","action":{"av_conf":{"conf_id":""}}})");
}

}  // namespace
