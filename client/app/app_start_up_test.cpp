#include "client/app/app_start_up.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "common/trace_client_test_hooks.h"
#include "outside/vzres/vzres.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

class RecordingRunner : public IProgramRunner {
 public:
  bool RunAndWait(const std::string&, const std::vector<std::string>& argv) override {
    argvs.push_back(argv);
    return true;
  }
  std::vector<std::vector<std::string>> argvs;
};

// The log writer's application and meeting information, as start-up gives it.
struct TracerInfo {
  static inline std::vector<std::string> calls;
  static void SetAppInfo(const char* app, const char* version) {
    calls.push_back(std::string("app ") + app + " " + (version ? version : "(null)"));
  }
  static void SetMeetInfo(const char* meet, const char* roster) {
    calls.push_back(std::string("meet ") + meet + " " + roster);
  }
};

class StartUp : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("start-up-test-" + std::to_string(vz::ProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "app");
    ports_.version = "1.2.3.4";
    ports_.hand_off = HandOffFile((root_ / "appruntime.plist").string());
    ports_.installer.own_path = (root_ / "app" / "VelzarHub").string();
    ports_.installer.temp_folder = root_.string();
    ports_.installer.runner = &runner_;
    ports_.parent_of = [](uint32_t) { return 0u; };
    ports_.run = [this](AppPeerConfig* config) {
      runs_.push_back(*config);
      return 0;
    };
    TracerInfo::calls.clear();
    vz::BindTracerForTest(nullptr);
  }
  void TearDown() override {
    vz::RestoreTracerForTest();
    fs::remove_all(root_);
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
  }

  fs::path root_;
  RecordingRunner runner_;
  StartUpPorts ports_;
  std::vector<AppPeerConfig> runs_;
};

TEST_F(StartUp, AnEmptyCommandLineStopsAtOnce) {
  vz::LogLineCapture log_lines;
  EXPECT_EQ(VelzarHubMain({}, ports_), 0);
  EXPECT_TRUE(runs_.empty());
  EXPECT_FALSE(fs::exists(root_ / "appruntime.plist"));
  EXPECT_EQ(log_lines.Count("Application version [1.2.3.4]", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines.Count("App is running at debug time.", vz::kFileLines), 1u);
}

TEST_F(StartUp, InstallerModeWinsAndTakesTheRestOfTheLine) {
  // The path runs to the end of the line, "/UTF8:" included: a folder
  // "downloads " holding the package "UTF8:x".
  fs::create_directories(root_ / "downloads ");
  ASSERT_TRUE(vz::WriteFileAtomic((root_ / "downloads " / "UTF8:x").string(), "#!", 0700));
  EXPECT_EQ(VelzarHubMain({"/LAN:fr", "/INSTALL:" + root_.string() + "/downloads", "/UTF8:x"}, ports_), 0);
  ASSERT_EQ(runner_.argvs.size(), 1u);
  EXPECT_EQ(runner_.argvs[0][0], (root_ / "app" / "UTF8:x").string());
  EXPECT_TRUE(runs_.empty());
}

TEST_F(StartUp, Utf8ModeConvertsAndStops) {
  const fs::path file = root_ / "a.txt";
  ASSERT_TRUE(vz::WriteFileAtomic(file.string(), std::string("h\0i\0", 4), 0600));
  EXPECT_EQ(VelzarHubMain({"/UTF8:" + file.string()}, ports_), 0);
  std::string bytes;
  ASSERT_TRUE(vz::ReadFileBytes(file.string(), &bytes));
  EXPECT_EQ(bytes, "hi");
  EXPECT_TRUE(runner_.argvs.empty());
  EXPECT_TRUE(runs_.empty());
}

TEST_F(StartUp, AHandedOffCommandLineStopsThisStart) {
  ASSERT_TRUE(vz::WriteFileAtomic((root_ / "appruntime.plist").string(), "", 0600));
  EXPECT_EQ(VelzarHubMain({"/MEET:m1", "/PN:p"}, ports_), 0);
  EXPECT_TRUE(runs_.empty());
  std::string line;
  ASSERT_TRUE(vz::ReadFileBytes((root_ / "appruntime.plist").string(), &line));
  EXPECT_EQ(line, "/MEET:m1 /PN:p");
}

TEST_F(StartUp, AMeetingStartReadsTheRecordSetsTheLanguageAndTellsTheTracer) {
  vz::TracerEntries entries;
  entries.set_app_info = &TracerInfo::SetAppInfo;
  entries.set_meet_info = &TracerInfo::SetMeetInfo;
  vz::BindTracerForTest(&entries);
  EXPECT_EQ(VelzarHubMain({"/P:1", "/W:0", "/LAN:ja-jp", "/PN:pipe", "/MEET:m\xC3\xA9", "/ROSTER:r1"}, ports_), 0);
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(std::u16string(runs_[0].MeetId), u"mé");
  EXPECT_EQ(std::u16string(runs_[0].PipeName), u"pipe");
  EXPECT_EQ(vzres::GetResourceLanguage(), 1041u);
  EXPECT_EQ(TracerInfo::calls, (std::vector<std::string>{"app app 1.2.3.4", "meet m\xC3\xA9 r1"}));
}

TEST_F(StartUp, AnUnknownVersionIsLoggedAsNoneAndGivenAsNull) {
  vz::TracerEntries entries;
  entries.set_app_info = &TracerInfo::SetAppInfo;
  vz::BindTracerForTest(&entries);
  ports_.version = nullptr;
  EXPECT_EQ(VelzarHubMain({"/LAN:en"}, ports_), 0);
  EXPECT_EQ(TracerInfo::calls, (std::vector<std::string>{"app app (null)"}));
  // Neither a meeting nor a pipe: the frame is run all the same (it waits).
  ASSERT_EQ(runs_.size(), 1u);
  EXPECT_EQ(runs_[0].MeetId[0], u'\0');
}

}  // namespace
