#include "common/trace_client.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/trace_client_test_hooks.h"
#include "platform/platform_log.h"
#include "platform/wide_format.h"

namespace {

// What the recording writer saw; the tests run on one thread.
struct Recorded {
  int log_a_calls = 0;
  int log_w_calls = 0;
  int collect_calls = 0;
  std::string tag;
  std::string format;
  std::string text;
  std::u16string wide_tag;
  std::u16string wide_format;
  std::u16string wide_text;
  std::string app_info;
  std::string meet_info;
};
Recorded g_seen;

std::string FormatNarrow(const char* format, va_list args) {
  char buffer[4096];
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  return buffer;
}

void RecordLogA(const char* tag, const char* format, va_list args) {
  ++g_seen.log_a_calls;
  g_seen.tag = tag;
  g_seen.format = format;
  g_seen.text = FormatNarrow(format, args);
}

void RecordLogW(const char16_t* tag, const char16_t* format, va_list args) {
  ++g_seen.log_w_calls;
  g_seen.wide_tag = tag;
  g_seen.wide_format = format;
  g_seen.wide_text = vz::FormatWideStringV(format, args);
}

// Reads the arguments of TraceW(u"%s|%d|%S", wide, int, narrow) one by one,
// so their arrival does not depend on any formatter.
void TakeWideArguments(const char16_t*, const char16_t* format, va_list args) {
  ++g_seen.log_w_calls;
  g_seen.wide_format = format;
  g_seen.wide_text = va_arg(args, const char16_t*);
  const int number = va_arg(args, int);
  const char* narrow = va_arg(args, const char*);
  g_seen.text = std::to_string(number) + "|" + narrow;
}

void RecordCollect(const char* tag, const char* format, va_list args) {
  ++g_seen.collect_calls;
  g_seen.tag = tag;
  g_seen.format = format;
  g_seen.text = FormatNarrow(format, args);
}

void RecordAppInfo(const char* name, const char* version) { g_seen.app_info = std::string(name) + "/" + version; }
void RecordMeetInfo(const char* meet, const char* roster) { g_seen.meet_info = std::string(meet) + "/" + roster; }

// A writer that itself runs into a platform failure while writing.
void FailingLogA(const char* tag, const char* format, va_list args) {
  RecordLogA(tag, format, args);
  vz::PlatformLog("log file write failed");
}

class TraceClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen = Recorded();
    entries_.log_a = RecordLogA;
    entries_.log_w = RecordLogW;
    entries_.set_app_info = RecordAppInfo;
    entries_.collect_a = RecordCollect;
    entries_.set_meet_info = RecordMeetInfo;
    vz::BindTracerForTest(&entries_);
  }
  void TearDown() override { vz::RestoreTracerForTest(); }

  vz::TracerEntries entries_;
};

TEST_F(TraceClientTest, MissingWriterOrOrdinalsDoNothing) {
  vz::BindTracerForTest(nullptr);
  EXPECT_FALSE(IsTracerLoaded());
  TraceA("%s %d", "text", 1);
  TraceW(u"%s", u"text");
  TraceCollectA("%s", "text");
  TraceSetAppInfo("VelzarHub", "1.0");
  TraceSetMeetInfo("meet", "roster");
  VZ_LOG("x");
  VZ_LOG_ERROR("x");
  VZ_LOGW(u"x");
  EXPECT_EQ(vz::TracerOrdinal(4), nullptr);
  EXPECT_EQ(vz::TracerOrdinal(5), nullptr);
  EXPECT_EQ(g_seen.log_a_calls + g_seen.log_w_calls + g_seen.collect_calls, 0);
  EXPECT_TRUE(g_seen.app_info.empty());
  EXPECT_TRUE(g_seen.meet_info.empty());

  // A writer without some ordinals: only the bound ones are called.
  vz::TracerEntries only_wide;
  only_wide.log_w = RecordLogW;
  vz::BindTracerForTest(&only_wide);
  EXPECT_TRUE(IsTracerLoaded());
  TraceA("narrow");
  TraceCollectA("collect");
  TraceSetAppInfo("VelzarHub", "1.0");
  TraceW(u"wide");
  EXPECT_EQ(g_seen.log_a_calls + g_seen.collect_calls, 0);
  EXPECT_TRUE(g_seen.app_info.empty());
  EXPECT_EQ(g_seen.log_w_calls, 1);
}

TEST_F(TraceClientTest, FormatAndArgumentsArriveIntact) {
  TraceA("%s=%d %u %08X", "count", -7, 4294967295u, 0xBEEFu);
  EXPECT_EQ(g_seen.tag, "");
  EXPECT_EQ(g_seen.format, "%s=%d %u %08X");
  EXPECT_EQ(g_seen.text, "count=-7 4294967295 0000BEEF");

  TraceW(u"%s %d", u"a\u00E9\U0001F600", 3);
  EXPECT_EQ(g_seen.wide_tag, u"");
  EXPECT_EQ(g_seen.wide_format, u"%s %d");
  EXPECT_EQ(g_seen.wide_text, u"a\u00E9\U0001F600 3");

  TraceCollectA("roster %s", "r1");  // to the collect entry only
  EXPECT_EQ(g_seen.collect_calls, 1);
  EXPECT_EQ(g_seen.log_a_calls, 1);
  EXPECT_EQ(g_seen.text, "roster r1");

  entries_.log_w = TakeWideArguments;
  vz::BindTracerForTest(&entries_);
  TraceW(u"%s|%d|%S", u"\u4F1A\u8B70", 42, "narrow");
  EXPECT_EQ(g_seen.wide_text, u"\u4F1A\u8B70");
  EXPECT_EQ(g_seen.text, "42|narrow");
}

TEST_F(TraceClientTest, IdentityEntriesAreLookedUpAtEachCall) {
  TraceSetAppInfo("VelzarHub", "1.0.3");
  TraceSetMeetInfo("m-1", "r-2");
  EXPECT_EQ(g_seen.app_info, "VelzarHub/1.0.3");
  EXPECT_EQ(g_seen.meet_info, "m-1/r-2");
  EXPECT_EQ(vz::TracerOrdinal(3), reinterpret_cast<void*>(RecordAppInfo));
  EXPECT_EQ(vz::TracerOrdinal(8), nullptr);

  entries_.set_meet_info = nullptr;  // ordinal 7 gone from the same writer
  TraceSetMeetInfo("m-9", "r-9");
  EXPECT_EQ(g_seen.meet_info, "m-1/r-2");
}

TEST_F(TraceClientTest, LineShapes) {
  const char* const kFunction = "TraceClientTest_LineShapes_Test::TestBody";

  VZ_LOG(); const int entry_line = __LINE__;
  EXPECT_EQ(g_seen.format, "%s [line# %d] : >");
  EXPECT_EQ(g_seen.text, std::string(kFunction) + " [line# " + std::to_string(entry_line) + "] : >");

  VZ_LOG("joined %d", 2); const int line = __LINE__;
  EXPECT_EQ(g_seen.format, "%s [line# %d] : >joined %d");
  EXPECT_EQ(g_seen.text, std::string(kFunction) + " [line# " + std::to_string(line) + "] : >joined 2");

  VZ_LOG_ERROR("code %d", 9);
  EXPECT_EQ(g_seen.format, "%s [line# %d] : *** ERROR ****** >code %d< *************");
  EXPECT_NE(g_seen.text.find(" : *** ERROR ****** >code 9< *************"), std::string::npos);

  VZ_LOG_WARN("slow");
  EXPECT_EQ(g_seen.format, "%s [line# %d] : *** WARN ******* >slow< *************");

  VZ_COLLECT("relay %s", "on");
  EXPECT_EQ(g_seen.collect_calls, 1);
  EXPECT_EQ(g_seen.format, "%s [line# %d] : >relay %s");

  VZ_LOGW(u"name %s", u"\u00E9"); const int wide_line = __LINE__;
  EXPECT_EQ(g_seen.wide_format, u"%S [line# %d] : >name %s");
  EXPECT_EQ(g_seen.wide_text, vz::FormatWideString(u"%S [line# %d] : >name \u00E9", kFunction, wide_line));

  VZ_LOGW_ERROR(u"bad");
  EXPECT_EQ(g_seen.wide_format, u"%S [line# %d] : *** ERROR ****** >bad< *************");
}

struct LoggingObject {
  void Log() { VZ_LOG_OBJ("Stop begin"); }
};

TEST_F(TraceClientTest, ObjectShapeCarriesTheAddress) {
  LoggingObject object;
  object.Log();
  EXPECT_EQ(g_seen.format, "%s [line# %d] : [0x%016llX] >Stop begin");
  char address[32];
  std::snprintf(address, sizeof(address), "[0x%016llX]",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&object)));
  EXPECT_EQ(g_seen.text.rfind("LoggingObject::Log [line# ", 0), 0u) << g_seen.text;
  EXPECT_NE(g_seen.text.find(std::string(" : ") + address + " >Stop begin"), std::string::npos) << g_seen.text;
}

TEST_F(TraceClientTest, PlatformFailuresReachTheWriter) {
  vz::PlatformLog("cannot open %s", "libvzshare.so");
  EXPECT_EQ(g_seen.log_a_calls, 1);
  EXPECT_EQ(g_seen.text, "cannot open libvzshare.so");

  // A failure inside the writer does not come back into it.
  entries_.log_a = FailingLogA;
  vz::BindTracerForTest(&entries_);
  TraceA("line");
  EXPECT_EQ(g_seen.log_a_calls, 2);

  // Unbound, platform lines go to stderr again.
  vz::BindTracerForTest(nullptr);
  vz::PlatformLog("after unbinding");
  EXPECT_EQ(g_seen.log_a_calls, 2);
}

}  // namespace
