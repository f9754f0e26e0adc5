// A fatal abort ends the process like a fault: a report, then exit code 13.
// Each case runs in a child process with the linked copy of the log writer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/settings_store.h"
#include "platform/user_folders.h"
#include "trace/crash_handler.h"
#include "trace/linked_tracer.h"
#include "trace/crash_report_folder_testlib.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using ::testing::HasSubstr;
using testing::FilesStartingWith;
using testing::ReadWholeFile;
using testing::RemoveTraceFiles;

void StartTracer() {
  StartLinkedTracer();
  LinkedTracerSetAppInfo("VelzarHub", "7.8.9");
}

void CallAbort() {
  StartTracer();
  std::abort();
}

void CallTerminate() {
  StartTracer();
  std::terminate();
}

// Thrown on a thread of its own: nothing there catches it.
void ThrowUncaught() {
  StartTracer();
  std::thread([] { throw std::runtime_error("nobody catches this"); }).join();
}

class CrashAbortDeathTest : public testing::CrashReportFolderTest {
 protected:
  std::string PendingReport() const {
    const std::string name = OnePendingFile("native.crash.win.app.host.7.8.9.");
    return name.empty() ? std::string() : ReadWholeFile(folder_ + "/" + name);
  }
};

TEST_F(CrashAbortDeathTest, AbortLeavesAReportAndExitsWith13) {
  EXPECT_EXIT(CallAbort(), ::testing::ExitedWithCode(13), "");
  const std::string report = PendingReport();
  EXPECT_THAT(report, HasSubstr("\r\nException Code: 40000015 [NA]\r\nException Address: "));
  EXPECT_THAT(report, HasSubstr("Crash Log End"));
  EXPECT_THAT(report, HasSubstr("[app.host] [7.8.9] \nMeetId: "));
  // The C library raises the abort without frame pointers; the call stack
  // still reaches the code that called abort().
  const size_t stack = report.find("\r\nCall Stack:\r\n");
  ASSERT_NE(stack, std::string::npos);
  EXPECT_NE(report.find("\"" + ExecutablePath() + "\" ", stack), std::string::npos) << report.substr(stack);
}

TEST_F(CrashAbortDeathTest, TerminateWithoutAnExceptionIsAnAbort) {
  EXPECT_EXIT(CallTerminate(), ::testing::ExitedWithCode(13), "");
  EXPECT_THAT(PendingReport(), HasSubstr("\r\nException Code: 40000015 [NA]\r\n"));
}

TEST_F(CrashAbortDeathTest, AnUncaughtExceptionGetsTheExceptionCode) {
  // The runtime still says what was thrown before the report is written.
  EXPECT_EXIT(ThrowUncaught(), ::testing::ExitedWithCode(13), "nobody catches this");
  const std::string report = PendingReport();
  EXPECT_THAT(report, HasSubstr("\r\nException Code: E06D7363 [NA]\r\n"));
  EXPECT_THAT(report, HasSubstr("Crash Log End"));
}

TEST_F(CrashAbortDeathTest, WithTheSwitchOffAnAbortEndsTheProcessByItsSignal) {
  EXPECT_EXIT(
      {
        UserSettings().WriteDword(kReportSwitchKey, kReportSwitchName, 0);
        CallAbort();
      },
      ::testing::KilledBySignal(SIGABRT), "");
  EXPECT_TRUE(FilesStartingWith(folder_, "native.").empty());
}

}  // namespace
}  // namespace vz
