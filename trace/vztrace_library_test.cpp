// The tracer client against the real libvztrace.so, which the client loads by
// name (beside this binary) before main. Crashes happen in child processes
// (fresh copies of this binary, each loading the library again).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/trace_client.h"
#include "common/tracer_collect_sink.h"
#include "common/vz_binary_data.h"
#include "platform/module_loader.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "platform/user_folders.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::FilesStartingWith;
using testing::IsLogLine;
using testing::ReadWholeFile;
using testing::RemoveTraceFiles;
using testing::SplitCrLfLines;
using testing::WriteWholeFile;

constexpr char kEndMarker[] = "\n\n       --------------> [ VZTRACE END ] <-------------------\n\n\n\n\n";

volatile int* volatile g_null = nullptr;
__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void WriteThroughNull() { *g_null = 1; }

std::string OwnLog() {
  return ReadWholeFile(RuntimeFolder() + "/vzmeet-app." + std::to_string(ProcessId()) + ".log");
}

// The log line whose text contains `needle`, or "".
std::string LineWith(const std::string& log, const std::string& needle) {
  for (const std::string& line : SplitCrLfLines(log)) {
    if (line.find(needle) != std::string::npos) return line;
  }
  return std::string();
}

std::string Take(CVZBinaryData* record) {
  if (record == nullptr) return std::string();
  std::string text(reinterpret_cast<const char*>(record->data()));
  record->Release();
  return text;
}

CVZBinaryData* TakeCrashReport() {
  return reinterpret_cast<TracerGetCrashReportFn>(TracerOrdinal(4))();
}

ITracerCollectSink* SetCollectSink(ITracerCollectSink* sink) {
  return reinterpret_cast<TracerSetCollectSinkFn>(TracerOrdinal(5))(sink);
}

class VztraceLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveTraceFiles(RuntimeFolder()); }
  void TearDown() override { RemoveTraceFiles(RuntimeFolder()); }
};

TEST_F(VztraceLibraryTest, TheClientBindsEveryOrdinalAndNothingElseIsExported) {
  ASSERT_TRUE(IsTracerLoaded());
  for (int ordinal = 1; ordinal <= 7; ++ordinal) EXPECT_NE(TracerOrdinal(ordinal), nullptr) << ordinal;
  EXPECT_EQ(TracerOrdinal(8), nullptr);
  ModuleHandle module = LoadModule("vztrace").module;
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetModuleSymbol(module, "_ZN2vz11TraceLogger5CloseEv"), nullptr);
  EXPECT_EQ(GetModuleSymbol(module, "Exception_IsReportEnabled"), nullptr);
  FreeModule(module);
}

TEST_F(VztraceLibraryTest, NarrowAndWideLinesArriveInTheProcessLog) {
  VZ_LOG("narrow %d %s", 42, "text");
  VZ_LOGW(u"wide %s", u"Gr\u00FC\u00DFe \u65E5\u672C \U0001F600");
  const std::string log = OwnLog();
  const std::string narrow = LineWith(log, "narrow 42 text");
  EXPECT_TRUE(IsLogLine(narrow)) << narrow;
  EXPECT_THAT(narrow, HasSubstr(" [" + std::to_string(ProcessId()) + ":" + std::to_string(ThreadId()) + "] "));
  EXPECT_THAT(narrow, HasSubstr("NarrowAndWideLinesArriveInTheProcessLog"));
  const std::string wide = LineWith(log, "wide ");
  EXPECT_TRUE(IsLogLine(wide)) << wide;
  EXPECT_THAT(wide, HasSubstr("wide Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"));
}

TEST_F(VztraceLibraryTest, NullFormatsAndArgumentListsDoNothing) {
  const auto log_a = reinterpret_cast<TracerLogAFn>(TracerOrdinal(1));
  const auto collect_a = reinterpret_cast<TracerCollectAFn>(TracerOrdinal(6));
  log_a("", nullptr, nullptr);
  log_a("", "null list %d", nullptr);
  collect_a("", "null list %d", nullptr);
  EXPECT_EQ(LineWith(OwnLog(), "null list"), "");
}

class RecordingSink final : public ITracerCollectSink {
 public:
  void OnCollectLog(const char* line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

TEST_F(VztraceLibraryTest, CollectLinesReachOnlyTheSink) {
  TraceCollectA("without a sink %d", 1);
  RecordingSink sink;
  EXPECT_EQ(SetCollectSink(&sink), &sink);
  VZ_COLLECT("collected %d", 2);
  EXPECT_EQ(SetCollectSink(nullptr), nullptr);
  TraceCollectA("after the sink %d", 3);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_TRUE(IsLogLine(sink.lines[0])) << sink.lines[0];
  EXPECT_THAT(sink.lines[0], HasSubstr("CollectLinesReachOnlyTheSink"));
  EXPECT_THAT(sink.lines[0], HasSubstr(" : >collected 2"));
  const std::string log = OwnLog();
  EXPECT_EQ(log.find("collected"), std::string::npos);
  EXPECT_EQ(log.find("sink"), std::string::npos);
}

TEST_F(VztraceLibraryTest, Ordinal4TakesAPendingFileOfTheApplication) {
  TraceSetAppInfo("app", "2.0");
  TraceSetAppInfo("", "");  // keeps both
  const std::string name = "native.crash.win.app.1.9.2025-01-01.10.11.12.exception";
  std::string bytes(300000, 'a');
  bytes.replace(300000 - 257024, 5, "TAIL>");
  WriteWholeFile(RuntimeFolder() + "/" + name, bytes);
  WriteWholeFile(RuntimeFolder() + "/native.crash.win.other.1.0.2025-01-01.10.11.12.exception", "x");
  const std::string taken = Take(TakeCrashReport());
  EXPECT_EQ(taken.size(), name.size() + 1 + 257024);
  EXPECT_THAT(taken, StartsWith(name + "*TAIL>aaa"));
  EXPECT_EQ(Take(TakeCrashReport()), "") << "the other application's file is not ours";
  EXPECT_EQ(FilesStartingWith(RuntimeFolder(), "native."),
            std::vector<std::string>{"native.crash.win.other.1.0.2025-01-01.10.11.12.exception"});
}

void CrashAfterIdentity() {
  TraceSetAppInfo("app", "3.1");
  TraceSetMeetInfo("M-9", "R-8");
  VZ_LOG("child line");
  WriteThroughNull();
}

TEST_F(VztraceLibraryTest, ACrashedChildLeavesAReportThatTheNextProcessTakes) {
  EXPECT_EXIT(CrashAfterIdentity(), ::testing::ExitedWithCode(13), "");
  ASSERT_EQ(FilesStartingWith(RuntimeFolder(), "native.crash.win.app.3.1.").size(), 1u);
  TraceSetAppInfo("app", "3.2");
  const std::string report = Take(TakeCrashReport());
  EXPECT_THAT(report, StartsWith("native.crash.win.app.3.1."));
  EXPECT_THAT(report, HasSubstr(".exception*"));
  EXPECT_THAT(report, HasSubstr("child line\r\n"));
  EXPECT_THAT(report, HasSubstr("Crash Log Begin"));
  EXPECT_THAT(report, HasSubstr("Caused by Write to location 0000000000000000"));
  EXPECT_THAT(report, HasSubstr("\r\nCall Stack:\r\n"));
  EXPECT_THAT(report, HasSubstr("Crash Log End=====================================\r\n"
                                "[app] [3.1] \nMeetId: [M-9] \nRosterId: [R-8]\n\n" +
                                std::string(kEndMarker)));
  EXPECT_TRUE(FilesStartingWith(RuntimeFolder(), "native.").empty());
}

TEST_F(VztraceLibraryTest, TheStoredSwitchTurnsTheReportOffAndItsAbsenceOn) {
  ASSERT_TRUE(UserSettings().WriteDword("Software\\Velzar\\vzreport", "Enable", 0));
  EXPECT_EXIT(CrashAfterIdentity(), ::testing::KilledBySignal(SIGSEGV), "");
  EXPECT_TRUE(FilesStartingWith(RuntimeFolder(), "native.").empty());
  ASSERT_TRUE(UserSettings().DeleteValue("Software\\Velzar\\vzreport", "Enable"));
  EXPECT_EXIT(CrashAfterIdentity(), ::testing::ExitedWithCode(13), "");
  EXPECT_EQ(FilesStartingWith(RuntimeFolder(), "native.crash.win.app.3.1.").size(), 1u);
}

TEST_F(VztraceLibraryTest, AtUnloadTheLogEndsWithTheEndMarker) {
  // The child is a fresh copy of this binary: the token must not depend on the process.
  const std::string token = "the child exits normally";
  EXPECT_EXIT(
      {
        VZ_LOG("%s", token.c_str());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  int found = 0;
  for (const std::string& name : FilesStartingWith(RuntimeFolder(), "vzmeet-app.")) {
    const std::string log = ReadWholeFile(RuntimeFolder() + "/" + name);
    if (log.find(token) == std::string::npos) continue;
    ++found;
    SCOPED_TRACE(name);
    ASSERT_GT(log.size(), sizeof(kEndMarker));
    EXPECT_EQ(log.substr(log.size() - (sizeof(kEndMarker) - 1)), kEndMarker);
  }
  EXPECT_EQ(found, 1);
}

}  // namespace
}  // namespace vz
