#pragma once
// A test fixture for the crash tests: the per-user runtime folder, cleared of
// pending crash files and logs before and after each test, with the report
// switch removed again afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "platform/user_folders.h"
#include "trace/crash_handler.h"
#include "trace/trace_testlib.h"

namespace vz::testing {

class CrashReportFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = RuntimeFolder();
    ASSERT_FALSE(folder_.empty());
    RemoveTraceFiles(folder_);
  }
  void TearDown() override {
    RemoveTraceFiles(folder_);
    UserSettings().DeleteValue(kReportSwitchKey, kReportSwitchName);
  }

  // The name of the one pending crash file starting with `prefix`, or "" (a
  // failed expectation) when there is none or more than one.
  std::string OnePendingFile(const std::string& prefix) const {
    const std::vector<std::string> names = FilesStartingWith(folder_, prefix);
    EXPECT_EQ(names.size(), 1u) << prefix;
    return names.size() == 1 ? names[0] : std::string();
  }

  std::string folder_;
};

}  // namespace vz::testing
