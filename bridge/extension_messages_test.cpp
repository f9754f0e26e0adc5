#include "bridge/extension_messages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ExtensionMessages, HaveCodeThenTypeThenTheirKeys) {
  EXPECT_EQ(StatusMessageText(0, "MEET_APP_STARTED"), "{\"code\":0,\"type\":\"MEET_APP_STARTED\"}");
  EXPECT_EQ(StatusMessageText(-5, "PLUGIN_RESPONSE_SYSTEMERROR"),
            "{\"code\":4294967291,\"type\":\"PLUGIN_RESPONSE_SYSTEMERROR\"}");
  EXPECT_EQ(ProgressMessageText(40), "{\"code\":0,\"type\":\"MEET_APP_UPGRADE_PROGRESS\",\"percent\":40}");
  EXPECT_EQ(Base64DataMessageText(7, "QUJD/+=="),
            "{\"code\":0,\"type\":\"MEET_APP_BASE64DATA\",\"datatype\":7,\"datacode\":\"QUJD/+==\"}");
  EXPECT_EQ(LogMessageText("a/b"), "{\"code\":0,\"type\":\"MEET_APP_LOG\",\"log\":\"a\\/b\"}");
  // A payload that is not base64 still gives valid JSON.
  EXPECT_EQ(Base64DataMessageText(1, "a\"b\\c\n"),
            "{\"code\":0,\"type\":\"MEET_APP_BASE64DATA\",\"datatype\":1,\"datacode\":\"a\\\"b\\\\c\\n\"}");
}

TEST(ExtensionMessages, CrashReportsNeedAStarBeforeTheReport) {
  std::string text;
  ASSERT_EQ(CrashReportMessageText("native.crash.exception*line 1\nline \"2\"", &text), CrashReportText::kWhole);
  EXPECT_EQ(text,
            "{\"code\":0,\"type\":\"MEET_APP_CRASHREPORT\",\"filename\":\"native.crash.exception\","
            "\"report\":\"native.crash.exception*line 1\\nline \\\"2\\\"\"}");
  EXPECT_EQ(CrashReportMessageText("no file name here", &text), CrashReportText::kNoFileName);
  ASSERT_EQ(CrashReportMessageText("*", &text), CrashReportText::kWhole);
  EXPECT_EQ(text, "{\"code\":0,\"type\":\"MEET_APP_CRASHREPORT\",\"filename\":\"\",\"report\":\"*\"}");
}

TEST(ExtensionMessages, ACrashReportIsCutAfterEscapingAtAWholeEscapeOrCharacter) {
  const std::string head = "{\"code\":0,\"type\":\"MEET_APP_CRASHREPORT\",\"filename\":\"f\",\"report\":\"";
  std::string text;
  // The whole message is the head, "f*", two escapes, one character, "x" and the tail.
  const std::string payload = std::string("f*") + "\x01\n" + "\xe2\x82\xac" + "x";
  const std::string whole = head + "f*\\u0001\\n\xe2\x82\xacx\"}";
  ASSERT_EQ(CrashReportMessageText(payload, &text, whole.size()), CrashReportText::kWhole);
  EXPECT_EQ(text, whole);
  ASSERT_EQ(CrashReportMessageText(payload, &text, whole.size() - 1), CrashReportText::kCut);
  EXPECT_EQ(text, head + "f*\\u0001\\n\xe2\x82\xac\"}");
  // One byte short of the euro sign's three: the sign goes whole.
  ASSERT_EQ(CrashReportMessageText(payload, &text, whole.size() - 2), CrashReportText::kCut);
  EXPECT_EQ(text, head + "f*\\u0001\\n\"}");
  ASSERT_EQ(CrashReportMessageText(payload, &text, head.size() + 2 + 2 + 5), CrashReportText::kCut);
  EXPECT_EQ(text, head + "f*\"}");  // never half of "\u0001"
  EXPECT_EQ(CrashReportMessageText(payload, &text, head.size() + 1), CrashReportText::kTooLong);
}

TEST(ExtensionTextEscape, EscapesTheShortFormsAndEveryOtherControlByte) {
  EXPECT_EQ(EscapeExtensionText("\" \\ / \b \f \n \r \t"), "\\\" \\\\ \\/ \\b \\f \\n \\r \\t");
  EXPECT_EQ(EscapeExtensionText(std::string("a\x01" "b\x1b[0m\x1f\x7f", 9)), "a\\u0001b\\u001b[0m\\u001f\x7f");
  EXPECT_EQ(EscapeExtensionText(std::string("nul\0end", 7)), "nul\\u0000end");
  EXPECT_EQ(EscapeExtensionText("plain text stays"), "plain text stays");
}

TEST(ExtensionTextEscape, KeepsValidUtf8AndReplacesMalformedBytes) {
  EXPECT_EQ(EscapeExtensionText("gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x98\x80"),
            "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x98\x80");
  const std::string replacement = "\xef\xbf\xbd";
  EXPECT_EQ(EscapeExtensionText("a\xff" "b"), "a" + replacement + "b");
  EXPECT_EQ(EscapeExtensionText("cut \xe2\x82"), "cut " + replacement);
  EXPECT_EQ(EscapeExtensionText("overlong \xc0\xaf"), "overlong " + replacement + replacement);
  EXPECT_EQ(EscapeExtensionText("surrogate \xed\xa0\x80!").find('!'), std::string("surrogate ").size() + 9);
}

}  // namespace
