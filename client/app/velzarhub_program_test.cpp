// The real VelzarHub program in its one-shot ways of running: without
// arguments, "/UTF8:", "/INSTALL:", the sending side of a hand-off, and a
// waiting start without a display. Each run gets its own runtime folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/scoped_environment_testlib.h"

namespace {

namespace fs = std::filesystem;

class VelzarHubProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("velzarhub-program-" + std::to_string(vz::ProcessId()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    runtime_env_.emplace("XDG_RUNTIME_DIR", (root_ / "run").c_str());
  }
  void TearDown() override {
    runtime_env_.reset();
    fs::remove_all(root_);
  }

  // Runs the program (or a copy of it) and returns its exit code.
  int RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string error;
    const int pid = vz::SpawnProcess(program, argv, &error);
    EXPECT_GT(pid, 0) << error;
    int exit_code = -1;
    if (!vz::WaitForProcess(pid, 60000, &exit_code)) {
      ADD_FAILURE() << program << " did not end within a minute";
      vz::KillProcess(pid);
      vz::WaitForProcess(pid, 60000, &exit_code);
      return -1;
    }
    return exit_code;
  }

  // What the program left in its runtime folder, log files aside.
  std::vector<std::string> RuntimeFilesBesideLogs() const {
    std::vector<std::string> names;
    const fs::path folder = root_ / "run" / "velzar";
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("vzmeet-app.", 0) != 0) names.push_back(name);
    }
    return names;
  }

  fs::path root_;
  std::optional<vz::ScopedEnvironmentVariable> runtime_env_;
};

TEST_F(VelzarHubProgram, WithoutArgumentsExitsAtOnceCreatingNothing) {
  EXPECT_EQ(RunProgram(VZ_VELZARHUB_BINARY, {}), 0);
  EXPECT_TRUE(RuntimeFilesBesideLogs().empty());
}

TEST_F(VelzarHubProgram, Utf8ModeRewritesTheFileAndExits) {
  const fs::path file = root_ / "text file.txt";
  {
    std::ofstream out(file, std::ios::binary);
    out.write("\xFF\xFE" "A\0\xE9\0", 6);  // BOM, "A", "é" in UTF-16LE
  }
  EXPECT_EQ(RunProgram(VZ_VELZARHUB_BINARY, {"/UTF8:" + root_.string() + "/text", "file.txt"}), 0);
  std::string bytes;
  ASSERT_TRUE(vz::ReadFileBytes(file.string(), &bytes));
  EXPECT_EQ(bytes, "\xEF\xBB\xBF" "A\xC3\xA9");
  EXPECT_TRUE(RuntimeFilesBesideLogs().empty());
}

TEST_F(VelzarHubProgram, InstallModeRunsThePackageFromItsOwnFolderAndWaits) {
  // A copy of the program in a folder of the test's, so the package is
  // copied there and not into the build's folder.
  const fs::path folder = root_ / "client";
  fs::create_directories(folder);
  const fs::path program = folder / "VelzarHub";
  fs::copy_file(VZ_VELZARHUB_BINARY, program);
  vz::ScopedEnvironmentVariable libraries("LD_LIBRARY_PATH", fs::path(VZ_VELZARHUB_BINARY).parent_path().c_str());

  const fs::path package = root_ / "downloads" / "setup.sh";
  fs::create_directories(package.parent_path());
  const fs::path record = root_ / "argv.txt";
  {
    std::ofstream out(package);
    out << "#!/bin/sh\nfor a in \"$0\" \"$@\"; do echo \"$a\"; done > '" << record.string() << "'\n";
  }
  fs::permissions(package, fs::perms::owner_all);

  EXPECT_EQ(RunProgram(program.string(), {"/INSTALL:" + package.string()}), 0);
  std::ifstream in(record);
  std::vector<std::string> argv;
  for (std::string line; std::getline(in, line);) argv.push_back(line);
  const std::string setup = (root_ / "run" / "velzar" / "Setup.iss").string();
  EXPECT_EQ(argv, (std::vector<std::string>{(folder / "setup.sh").string(), "/s", "/r", "/f1\"" + setup + "\""}));
  EXPECT_FALSE(fs::exists(folder / "setup.sh"));  // the copy is gone
  EXPECT_TRUE(fs::exists(package));               // the download is not
}

TEST_F(VelzarHubProgram, AWaitingStartWithoutADisplayLogsWhyAndExits) {
  // Nobody could see or cancel its connecting dialog: it must not linger.
  vz::ScopedEnvironmentVariable no_display("DISPLAY", nullptr);
  EXPECT_EQ(RunProgram(VZ_VELZARHUB_BINARY, {"/LAN:en"}), 1);
  std::string log;
  for (const auto& entry : fs::directory_iterator(root_ / "run" / "velzar")) {
    std::string text;
    if (entry.path().filename().string().rfind("vzmeet-app.", 0) == 0 && vz::ReadFileBytes(entry.path().string(), &text)) {
      log += text;
    }
  }
  EXPECT_NE(log.find("no display can be opened"), std::string::npos);
}

TEST_F(VelzarHubProgram, HandsItsCommandLineToAWaitingInstanceAndExits) {
  const fs::path folder = root_ / "run" / "velzar";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all);
  { std::ofstream empty(folder / "appruntime.plist"); }
  EXPECT_EQ(RunProgram(VZ_VELZARHUB_BINARY, {"/MEET:m 1", "/PN:pipe"}), 0);
  std::string line;
  ASSERT_TRUE(vz::ReadFileBytes((folder / "appruntime.plist").string(), &line));
  EXPECT_EQ(line, "\"/MEET:m 1\" /PN:pipe");
}

}  // namespace
