#include "weblink/link/sharing_reports.h"

#include <gtest/gtest.h>

namespace {

TEST(SharingReportsTest, TheStartedAndErrorExamplesByteForByte) {
  EXPECT_EQ(DSStatusReport(2, u"12", u"7"),
            R"({"code":0,"codetype":0,"type":"DS_SESSION_RESPONSE_STARTED","action":{"ds_conf":{"conf_id":"12","ds_id":"7"}}})");
  EXPECT_EQ(DSErrorReport(9, 2, u"12", u"7"),
            R"({"type":"DS_SESSION_RESPONSE_ERROR","code":9,"codetype":2,"action":{"ds_conf":{"conf_id":"12","ds_id":"7"}}})");
}

TEST(SharingReportsTest, StatusMapping) {
  const std::string stopped =
      R"({"code":0,"codetype":0,"type":"DS_SESSION_RESPONSE_STOPPED","action":{"ds_conf":{"conf_id":"c","ds_id":"d"}}})";
  EXPECT_EQ(DSStatusReport(0, u"c", u"d"), stopped);
  EXPECT_EQ(DSStatusReport(4, u"c", u"d"), stopped);
  EXPECT_EQ(DSStatusReport(1, u"c", u"d"),
            R"({"code":0,"codetype":0,"type":"DS_SESSION_RESPONSE_CONNECTING","action":{"ds_conf":{"conf_id":"c","ds_id":"d"}}})");
  for (const int32_t none : {3, 5, -1, 1000}) EXPECT_EQ(DSStatusReport(none, u"c", u"d"), "") << none;
}

TEST(SharingReportsTest, NegativeNumbersAreUnsigned32Bit) {
  EXPECT_EQ(DSErrorReport(-1, -2, u"1", u"2"),
            R"({"type":"DS_SESSION_RESPONSE_ERROR","code":4294967295,"codetype":4294967294,"action":{"ds_conf":{"conf_id":"1","ds_id":"2"}}})");
}

TEST(SharingReportsTest, RemoteControlAndStartNotice) {
  EXPECT_EQ(DSRemoteControlReport(2, u"1", u"2"),
            R"({"code":0,"codetype":0,"type":"DS_SESSION_RESPONSE_REMOTECONTROL_APPROVED","action":{"ds_conf":{"conf_id":"1","ds_id":"2"}}})");
  EXPECT_EQ(DSRemoteControlReport(0, u"1", u"2"),
            R"({"code":0,"codetype":0,"type":"DS_SESSION_RESPONSE_REMOTECONTROL_DENIED","action":{"ds_conf":{"conf_id":"1","ds_id":"2"}}})");
  EXPECT_EQ(DSNotifyStartReport(u"12"),
            R"({"code":0,"codetype":0,"type":"DS_SESSION_NOTIFY_START","action":{"av_conf":{"conf_id":"12"}}})");
}

TEST(SharingReportsTest, IdsAreUtf8AndEscapedAndNullIsEmpty) {
  EXPECT_EQ(DSStatusReport(2, nullptr, u""),
            R"({"code":0,"codetype":0,"type":"DS_SESSION_RESPONSE_STARTED","action":{"ds_conf":{"conf_id":"","ds_id":""}}})");
  // An id from the web page cannot end the text or add members.
  EXPECT_EQ(DSStatusReport(2, u"a\"b\\c\n", u"\u00e9\u20ac"),
            "{\"code\":0,\"codetype\":0,\"type\":\"DS_SESSION_RESPONSE_STARTED\",\"action\":{\"ds_conf\":{"
            "\"conf_id\":\"a\\\"b\\\\c\\n\",\"ds_id\":\"\xC3\xA9\xE2\x82\xAC\"}}}");
}

}  // namespace
