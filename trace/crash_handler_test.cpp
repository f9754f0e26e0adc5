// Real faults in child processes (each death test runs in a fresh copy of the
// binary) with the linked copy of the log writer, as vzbridge carries it.
#include "trace/crash_handler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdarg>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/fatal_signal_safe_io.h"
#include "platform/process.h"
#include "platform/scoped_test_folder_testlib.h"  // ScopedEnv
#include "platform/settings_store.h"
#include "platform/test_requirement_testlib.h"
#include "platform/user_folders.h"
#include "trace/crash_report_folder_testlib.h"
#include "trace/linked_tracer.h"
#include "trace/trace_logger.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using ::testing::HasSubstr;
using ::testing::KilledBySignal;
using testing::FilesStartingWith;
using testing::ReadWholeFile;
using testing::RemoveTraceFiles;
using testing::SplitCrLfLines;
using testing::WriteWholeFile;

// Volatile all through, so the faults happen as written.
volatile int* volatile g_null = nullptr;
volatile int g_zero = 0;
volatile int g_result = 0;

__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void WriteThroughNull() { *g_null = 1; }
__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void ReadThroughNull() { g_result = *g_null; }
// Not 1 / x, which compiles to no division at all.
__attribute__((noinline, no_sanitize_undefined)) void DivideByZero() { g_result = 7 / g_zero; }
__attribute__((noinline, no_sanitize_address)) int Recurse(int depth) {
  if (depth == g_zero - 1) return 0;  // never: depth only grows
  volatile char pad[512];
  pad[0] = static_cast<char>(depth);
  const int deeper = Recurse(depth + 1);
  asm volatile("" ::"r"(pad) : "memory");  // the frame stays live: no loop, no tail call
  return deeper + pad[0];
}

void LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LinkedTracerLogA("", format, args);
  va_end(args);
}

// The child: the linked writer with its identity, one line, then the fault.
void CrashLinked(void (*fault)()) {
  StartLinkedTracer();
  LinkedTracerSetAppInfo("VelzarHub", "4.5.6");
  LinkedTracerSetMeetInfo("M-1", "R-2");
  LogLine("before the crash");
  fault();
  std::_Exit(0);  // not reached
}

class CrashHandlerDeathTest : public testing::CrashReportFolderTest {
 protected:
  // The one pending crash file of the linked copy, or "".
  std::string PendingReport() const {
    const std::string name = OnePendingFile("native.crash.win.app.host.4.5.6.");
    if (name.empty()) return std::string();
    EXPECT_THAT(name, ::testing::MatchesRegex(
                          R"(native\.crash\.win\.app\.host\.4\.5\.6\.[0-9]{4}-[0-9]{2}-[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.exception)"));
    return ReadWholeFile(folder_ + "/" + name);
  }
};

TEST_F(CrashHandlerDeathTest, AWriteThroughNullExitsWith13AndLeavesTheReport) {
  EXPECT_EXIT(CrashLinked([] { WriteThroughNull(); }), ::testing::ExitedWithCode(13),
              "vztrace: signal 11 ended the process; its crash report is in the log of /");
  const std::string report = PendingReport();
  ASSERT_FALSE(report.empty());
  const std::string end_marker = kTraceEndMarker;
  const std::string header = "[app.host] [4.5.6] \nMeetId: [M-1] \nRosterId: [R-2]\n\n";
  const size_t before = report.find("] before the crash\r\n");
  const size_t begin = report.find("===================================Crash Log Begin");
  const size_t code = report.find(
      "\r\nException Code: C0000005 [ACCESS_VIOLATION], Caused by Write to location 0000000000000000\r\n");
  const size_t stack = report.find("\r\nCall Stack:\r\n");
  const size_t end = report.find("===================================Crash Log End=====================================\r\n");
  ASSERT_NE(before, std::string::npos);
  ASSERT_NE(begin, std::string::npos);
  ASSERT_NE(code, std::string::npos) << report;
  ASSERT_NE(stack, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LT(before, begin);
  EXPECT_LT(begin, code);
  EXPECT_LT(code, stack);
  EXPECT_LT(stack, end);
  EXPECT_EQ(report.substr(end + 87), header + end_marker) << "the header and the end marker close the report";

  // At least one frame, in the test binary, with 16 hex digits per address.
  const std::vector<std::string> lines = SplitCrLfLines(report.substr(stack + 2, end - stack - 2));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Call Stack:");
  EXPECT_THAT(lines[2], ::testing::MatchesRegex(R"([0-9A-F]{16}  [0-9A-F]{16}  [0-9A-F]{4}:[0-9A-F]{8} 00000000 [0-9a-f]+  ".*" )"));
  EXPECT_THAT(lines[2], HasSubstr("\"" + ExecutablePath() + "\""));
}

TEST_F(CrashHandlerDeathTest, AReadThroughNullSaysReadFrom) {
  EXPECT_EXIT(CrashLinked([] { ReadThroughNull(); }), ::testing::ExitedWithCode(13), "");
  EXPECT_THAT(PendingReport(),
              HasSubstr("Exception Code: C0000005 [ACCESS_VIOLATION], Caused by Read from location 0000000000000000"));
}

TEST_F(CrashHandlerDeathTest, AnIntegerDivisionByZeroGivesItsCode) {
  EXPECT_EXIT(CrashLinked([] { DivideByZero(); }), ::testing::ExitedWithCode(13), "");
  EXPECT_THAT(PendingReport(), HasSubstr("\r\nException Code: C0000094 [INT_DIVIDE_BY_ZERO]\r\n"));
}

// The switch lives in the user's settings file (the tests' own folder): the
// handler reads that file at the crash.
void SetSwitch(uint32_t value) {
  ASSERT_TRUE(UserSettings().WriteDword(kReportSwitchKey, kReportSwitchName, value)) << "switch " << value;
}

TEST_F(CrashHandlerDeathTest, ASwitchedOffReportLetsTheSystemEndTheProcess) {
  EXPECT_EXIT((SetSwitch(0), CrashLinked(WriteThroughNull)), KilledBySignal(SIGSEGV), "");
  EXPECT_TRUE(FilesStartingWith(folder_, "native.").empty());
}

TEST_F(CrashHandlerDeathTest, AnyOtherSwitchValueReportsTheCrash) {
  EXPECT_EXIT((SetSwitch(2), CrashLinked(WriteThroughNull)), ::testing::ExitedWithCode(13), "");
  EXPECT_THAT(PendingReport(), HasSubstr("Crash Log End"));
}

// Installed with the switch on, turned off before the fault: no report.
void SwitchOffAfterInstallThenCrash() {
  StartLinkedTracer();
  LinkedTracerSetAppInfo("VelzarHub", "4.5.6");
  SetSwitch(0);
  WriteThroughNull();
}

// Installed with the switch off, turned back on before the fault: a report.
void SwitchOnAfterInstallThenCrash() {
  SetSwitch(0);
  StartLinkedTracer();
  LinkedTracerSetAppInfo("VelzarHub", "4.5.6");
  SetSwitch(1);
  WriteThroughNull();
}

TEST_F(CrashHandlerDeathTest, TheSwitchIsReadAtTheCrashNotAtInstall) {
  EXPECT_EXIT(SwitchOffAfterInstallThenCrash(), KilledBySignal(SIGSEGV), "");
  EXPECT_TRUE(FilesStartingWith(folder_, "native.").empty());
  EXPECT_EXIT(SwitchOnAfterInstallThenCrash(), ::testing::ExitedWithCode(13), "");
  EXPECT_THAT(PendingReport(), HasSubstr("Caused by Write to"));
}

// A settings file the store cannot read counts as no switch at all.
TEST_F(CrashHandlerDeathTest, ACorruptSettingsFileLeavesTheReportOn) {
  EXPECT_EXIT(
      {
        SetSwitch(0);
        const std::string file = ConfigFolder() + "/settings";
        WriteWholeFile(file, ReadWholeFile(file) + "no key line has this form\n");
        CrashLinked(WriteThroughNull);
      },
      ::testing::ExitedWithCode(13), "");
  EXPECT_THAT(PendingReport(), HasSubstr("Crash Log End"));
  std::filesystem::remove(ConfigFolder() + "/settings");
}

TEST_F(CrashHandlerDeathTest, AStackOverflowIsPassedOn) {
  EXPECT_EXIT(CrashLinked([] { Recurse(0); }), KilledBySignal(SIGSEGV), "");
  EXPECT_TRUE(FilesStartingWith(folder_, "native.").empty());
}

// The report goes ahead when another thread holds the logger lock for good.
void CrashWhileAnotherThreadHoldsTheLoggerLock() {
  TraceLogger::Options options;
  options.folder = RuntimeFolder();
  options.process_id = ProcessId();
  auto* logger = new TraceLogger(options);
  logger->SetAppInfo("app.host", "4.5.6");
  Exception_Install(logger, 0, 0, u"", kCrashReportAddress);
  std::atomic<bool> held{false};
  std::thread([&] {
    logger->lock_for_testing().lock();
    held.store(true);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }).detach();
  while (!held.load()) std::this_thread::yield();
  WriteThroughNull();
}

TEST_F(CrashHandlerDeathTest, AHeldLoggerLockDoesNotHangTheReport) {
  EXPECT_EXIT(CrashWhileAnotherThreadHoldsTheLoggerLock(), ::testing::ExitedWithCode(13), "");
  EXPECT_THAT(PendingReport(), HasSubstr("Caused by Write to"));
}

// Folders this process cannot write to; root writes everywhere, so the
// cases need an ordinary user.
bool CanMakeUnwritableFolder(const std::string& path) {
  std::filesystem::create_directories(path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  return !IsFolderWritableSafely(path.c_str());
}

void CrashWithFolders(const std::string& temp, const char* cache) {
  ScopedEnv cache_env("XDG_CACHE_HOME", cache);
  TraceLogger::Options options;
  options.folder = temp;
  options.process_id = ProcessId();
  std::filesystem::permissions(temp, std::filesystem::perms::owner_all);
  auto* logger = new TraceLogger(options);
  logger->SetAppInfo("app.host", "4.5.6");
  std::filesystem::permissions(temp, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  Exception_Install(logger, 0, 0, u"", kCrashReportAddress);
  WriteThroughNull();
}

// The child re-runs the test from its start: the folders must have fixed names.
TEST_F(CrashHandlerDeathTest, WithoutAWritableFolderTheLogStaysAndTheExitCodeIs13) {
  const std::string temp = folder_ + "/unwritable-temp";
  if (!CanMakeUnwritableFolder(temp)) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsUserOtherThanRoot) << "this user may write any folder";
  }
  EXPECT_EXIT(CrashWithFolders(temp, "/nonexistent-cache"), ::testing::ExitedWithCode(13), "");
  std::filesystem::permissions(temp, std::filesystem::perms::owner_all);
  const std::vector<std::string> logs = FilesStartingWith(temp, "vzmeet-app.");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(ReadWholeFile(temp + "/" + logs[0]).find("Crash Log Begin"), std::string::npos);
  EXPECT_TRUE(FilesStartingWith(temp, "native.").empty());
  std::filesystem::remove_all(temp);
}

TEST_F(CrashHandlerDeathTest, AWritableCacheFolderStillGetsTheReportWritten) {
  const std::string temp = folder_ + "/unwritable-temp";
  if (!CanMakeUnwritableFolder(temp)) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsUserOtherThanRoot) << "this user may write any folder";
  }
  EXPECT_EXIT(CrashWithFolders(temp, folder_.c_str()), ::testing::ExitedWithCode(13), "");
  std::filesystem::permissions(temp, std::filesystem::perms::owner_all);
  // The log cannot be moved inside a folder that refuses writes: it stays, with the report.
  const std::vector<std::string> logs = FilesStartingWith(temp, "vzmeet-app.");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_THAT(ReadWholeFile(temp + "/" + logs[0]), HasSubstr("Crash Log End"));
  std::filesystem::remove_all(temp);
}

}  // namespace
}  // namespace vz
