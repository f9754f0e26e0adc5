// The crash handler never waits for the dynamic loader: a fault while another
// thread loads and unloads a library still ends in a report and exit code 13.
// Each run is a child process of its own, waited for with a deadline, so a
// hang fails the test instead of blocking it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/module_loader.h"
#include "platform/process.h"
#include "platform/user_folders.h"
#include "trace/child_scenario_testlib.h"
#include "trace/linked_tracer.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using ::testing::HasSubstr;
using testing::ChildScenarioRegistration;
using testing::FilesStartingWith;
using testing::ReadWholeFile;
using testing::RemoveTraceFiles;
using testing::RunChildScenario;

constexpr char kChurnScenario[] = "crash-while-modules-churn";
constexpr char kHeldScenario[] = "crash-while-the-loader-list-is-held";
constexpr int kRuns = 40;
constexpr int kChildDeadlineMs = 30000;  // a run takes well under a second; only a hang comes near

volatile int* volatile g_null = nullptr;
__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void WriteThroughNull() { *g_null = 1; }

// The child: one thread loads and unloads the test library without pause
// (each load and unload also refreshes the module snapshot); the main thread
// faults after a few rounds, a different number in each child so that the
// fault meets the loader in different places.
void CrashWhileModulesChurn() {
  StartLinkedTracer();
  LinkedTracerSetAppInfo("VelzarHub", "1.2.3");
  std::atomic<int> rounds{0};
  std::thread([&rounds] {
    for (;;) {
      ModuleHandle module = LoadModule("vzcrashtestmodule").module;
      if (module == nullptr) std::_Exit(3);
      FreeModule(module);
      rounds.fetch_add(1);
    }
  }).detach();
  const int before_fault = 1 + ProcessId() % 16;
  while (rounds.load() < before_fault) std::this_thread::yield();
  WriteThroughNull();
}
const ChildScenarioRegistration kChurn(kChurnScenario, CrashWhileModulesChurn);

// The child: another thread stops inside the loader's walk of its images and
// never leaves it, so the loader's lock stays taken; then the fault.
void CrashWhileTheLoaderListIsHeld() {
  StartLinkedTracer();
  LinkedTracerSetAppInfo("VelzarHub", "1.2.3");
  ModuleHandle module = LoadModule("vzcrashtestmodule").module;
  if (module == nullptr) std::_Exit(3);
  auto hold = reinterpret_cast<void (*)()>(GetModuleSymbol(module, "VzCrashTestModuleHoldLoaderList"));
  auto holding = reinterpret_cast<bool (*)()>(GetModuleSymbol(module, "VzCrashTestModuleIsHolding"));
  if (hold == nullptr || holding == nullptr) std::_Exit(4);
  std::thread(hold).detach();
  while (!holding()) std::this_thread::yield();
  WriteThroughNull();
}
const ChildScenarioRegistration kHeld(kHeldScenario, CrashWhileTheLoaderListIsHeld);

class CrashLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = RuntimeFolder();
    ASSERT_FALSE(folder_.empty());
    RemoveTraceFiles(folder_);
  }
  void TearDown() override { RemoveTraceFiles(folder_); }

  // Runs the scenario once: exit code 13 within the deadline and a whole
  // report whose fault module came from the snapshot.
  void ExpectReportedCrash(const char* scenario, int run) {
    int exit_code = -1;
    ASSERT_TRUE(RunChildScenario(scenario, kChildDeadlineMs, &exit_code)) << "run " << run << " hung";
    ASSERT_EQ(exit_code, 13) << "run " << run;
    const std::vector<std::string> reports = FilesStartingWith(folder_, "native.crash.win.app.host.1.2.3.");
    ASSERT_EQ(reports.size(), 1u) << "run " << run;
    const std::string report = ReadWholeFile(folder_ + "/" + reports[0]);
    EXPECT_THAT(report, HasSubstr("\r\nException Module: " + ExecutablePath() + " [version: 0.0.0.0]\r\n"))
        << "run " << run;
    EXPECT_THAT(report, HasSubstr("Crash Log End")) << "run " << run;
    RemoveTraceFiles(folder_);
  }

  std::string folder_;
};

TEST_F(CrashLoaderTest, AFaultWhileAnotherThreadLoadsAndUnloadsALibraryExitsWith13EveryTime) {
  for (int run = 0; run < kRuns; ++run) {
    ExpectReportedCrash(kChurnScenario, run);
    if (HasFatalFailure()) return;
  }
}

TEST_F(CrashLoaderTest, AFaultWhileAnotherThreadHoldsTheLoaderListExitsWith13) {
  ExpectReportedCrash(kHeldScenario, 0);
}

}  // namespace
}  // namespace vz
