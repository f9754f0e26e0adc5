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

TEST(VideoReportsTest, SessionReports) {
  EXPECT_EQ(AVStatusReport(4, u"12"),
            R"({"code":0,"codetype":0,"type":"AV_SESSION_RESPONSE_LEFT","action":{"av_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(AVStatusReport(0, u"12"), AVStatusReport(4, u"12"));
  EXPECT_EQ(AVStatusReport(1, u"12"),
            R"({"code":0,"codetype":0,"type":"AV_SESSION_RESPONSE_CONNECTING","action":{"av_conf":{"conf_id":"12"}}})");
  for (const int32_t none : {2, 3, 5}) EXPECT_EQ(AVStatusReport(none, u"12"), "") << none;
  EXPECT_EQ(AVErrorReport(9, 2, u"12"),
            R"({"type":"AV_SESSION_RESPONSE_ERROR","code":9,"codetype":2,"action":{"av_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(AVBroadcastedReport(5, u"12"),
            R"({"code":0,"codetype":0,"type":"AV_SESSION_RESPONSE_BROADCASTED","action":{"av_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(AVBroadcastedReport(0, u"12"),
            R"({"code":0,"codetype":0,"type":"AV_SESSION_RESPONSE_UNBROADCASTED","action":{"av_conf":{"conf_id":"12"}}})");
  EXPECT_EQ(AVNotifyJoinReport(u"12"),
            R"({"code":0,"codetype":0,"type":"AV_SESSION_NOTIFY_JOIN","action":{"av_conf":{"conf_id":"12"}}})");
}

}  // namespace
