#include "weblink/link/sharing_reports.h"

#include <gtest/gtest.h>

namespace {

TEST(SharingReportsTest, TheStartedAndErrorExamplesByteForByte) {
  EXPECT_EQ(DSStatusReport(2, u"12", u"7"),
            R"({"code":0,"codetype":0,"type":"DS_SESSION_RESPONSE_STARTED","action":{"ds_conf":{"conf_id":"12","ds_id":"7"}}})");
  EXPECT_EQ(DSErrorReport(9, 2, u"12", u"7"),
            R"({"type":"DS_SESSION_RESPONSE_ERROR","code":9,"codetype":2,"action":{"ds_conf":{"conf_id":"12","ds_id":"7"}}})");
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
