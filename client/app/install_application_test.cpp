#include "client/app/install_application.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

// Records what it is asked to start; sees whether the copy is in place then.
class RecordingRunner : public IProgramRunner {
 public:
  bool RunAndWait(const std::string& path, const std::vector<std::string>& argv) override {
    paths.push_back(path);
    argvs.push_back(argv);
    copy_present_while_running = vz::FileExists(path);
    return starts;
  }
  bool starts = true;
  bool copy_present_while_running = false;
  std::vector<std::string> paths;
  std::vector<std::vector<std::string>> argvs;
};

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("install-test-" + std::to_string(vz::ProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "app");
    fs::create_directories(root_ / "downloads");
    package_ = (root_ / "downloads" / "VelzarSetup.run").string();
    ASSERT_TRUE(vz::WriteFileAtomic(package_, "package bytes", 0700));
    ports_.own_path = (root_ / "app" / "VelzarHub").string();
    ports_.temp_folder = (root_ / "tmp").string();
    ports_.runner = &runner_;
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
  std::string package_;
  RecordingRunner runner_;
  InstallerPorts ports_;
};

TEST_F(Install, RunsACopyBesideTheClientWithTheSilentArgumentsAndDeletesIt) {
  EXPECT_EQ(InstallApplication(package_, ports_), 1);
  const std::string target = (root_ / "app" / "VelzarSetup.run").string();
  ASSERT_EQ(runner_.argvs.size(), 1u);
  EXPECT_EQ(runner_.paths[0], target);
  EXPECT_EQ(runner_.argvs[0],
            (std::vector<std::string>{target, "/s", "/r", "/f1\"" + (root_ / "tmp" / "Setup.iss").string() + "\""}));
  EXPECT_TRUE(runner_.copy_present_while_running);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(fs::exists(package_));
}

TEST_F(Install, APackageAlreadyBesideTheClientRunsInPlaceAndIsKept) {
  const std::string in_place = (root_ / "app" / "VelzarSetup.run").string();
  fs::copy_file(package_, in_place);
  EXPECT_EQ(InstallApplication(in_place, ports_), 1);
  ASSERT_EQ(runner_.paths.size(), 1u);
  EXPECT_EQ(runner_.paths[0], in_place);
  EXPECT_TRUE(fs::exists(in_place));
  std::string bytes;
  ASSERT_TRUE(vz::ReadFileBytes(in_place, &bytes));
  EXPECT_EQ(bytes, "package bytes");
}

TEST_F(Install, RefusesWhatCannotBeRunAndReportsAFailedStart) {
  EXPECT_EQ(InstallApplication("", ports_), 0);
  EXPECT_EQ(InstallApplication((root_ / "downloads" / "missing.run").string(), ports_), 0);
  EXPECT_EQ(InstallApplication((root_ / "downloads").string(), ports_), 0);  // a folder
  InstallerPorts no_folder = ports_;
  no_folder.own_path = "VelzarHub";
  EXPECT_EQ(InstallApplication(package_, no_folder), 0);
  EXPECT_TRUE(runner_.paths.empty());

  runner_.starts = false;
  EXPECT_EQ(InstallApplication(package_, ports_), 0);
  EXPECT_FALSE(fs::exists(root_ / "app" / "VelzarSetup.run"));  // the copy is gone all the same
}

TEST(SystemProgramRunner, StartsAProgramAndWaitsForItsEnd) {
  const fs::path marker = fs::temp_directory_path() / ("runner-test-" + std::to_string(vz::ProcessId()));
  fs::remove(marker);
  EXPECT_TRUE(SystemProgramRunner().RunAndWait("/bin/sh", {"/bin/sh", "-c", "echo done > '" + marker.string() + "'"}));
  EXPECT_TRUE(fs::exists(marker));  // it has ended by now
  fs::remove(marker);
  EXPECT_FALSE(SystemProgramRunner().RunAndWait("/nonexistent/program", {"/nonexistent/program"}));
}

}  // namespace
