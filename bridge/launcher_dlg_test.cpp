#include "bridge/launcher_dlg.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "bridge/command_line_split.h"
#include "bridge/launcher_fakes_testlib.h"
#include "platform/scoped_test_folder_testlib.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace {

using Argv = std::vector<std::string>;

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() : loop_(clock_), runner_(clock_) {
    ports_.paths.data_folder = root_.Sub("data");
    ports_.paths.own_folder = root_.Sub("own");
    ports_.paths.temp_folder = root_.Sub("tmp");
    ports_.paths.own_process_id = 4242;
    ports_.versions = &versions_;
    ports_.processes = &runner_;
    ports_.downloader = &downloader_;
  }
  ~LauncherTest() override { Forget(); }

  std::string ClientPath() const { return ports_.paths.data_folder + "/VelzarMeet/VelzarHub"; }
  std::string PackagePath() const { return ports_.paths.temp_folder + "/VelzarSetup.run"; }

  // Stops the launcher and drops its timers, as the end of its thread does.
  void Forget() {
    if (!launcher_) return;
    launcher_->OnStop();
    loop_.KillTimers(launcher_.get());
    launcher_.reset();
  }
  static LaunchRequest Request(std::u16string_view required, std::u16string_view package, std::u16string_view language,
                               std::u16string_view meet, std::u16string_view roster) {
    LaunchRequest request;
    request.domain = u"http://127.0.0.1:9";
    request.package = package;
    request.version = required;
    request.folder = u"VelzarMeet";
    request.name = u"VelzarHub";
    request.language = language;
    request.pipe_name = u"\\\\.\\pipe\\abc";
    request.meet_id = meet;
    request.roster_id = roster;
    return request;
  }
  int Start(std::u16string_view required, int upgrade_disabled = 0, std::u16string_view package = u"/dl/VelzarSetup.run",
            std::u16string_view language = u"en", std::u16string_view meet = u"M1", std::u16string_view roster = u"R1") {
    Forget();
    launcher_ = std::make_unique<CLauncherDlg>(&sink_, upgrade_disabled, ports_, loop_);
    return launcher_->StartVelzarApplication(Request(required, package, language, meet, roster));
  }
  // Moves the fake clock in 100 ms steps, running whatever falls due.
  void AdvanceMs(uint64_t ms) {
    for (uint64_t done = 0; done < ms; done += 100) {
      clock_.AdvanceMs(100);
      loop_.RunUntilIdle();
    }
  }
  // Runs the loop until `done` holds, for at most 30 s of real time (the
  // download thread posts its result from another thread, however loaded
  // the machine).
  bool PumpUntil(const std::function<bool()>& done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > give_up) return false;
      loop_.RunUntilIdle();
      std::this_thread::yield();
    }
    return true;
  }
  // Timer 1 starts the download; waits until its result is handled.
  void RunDownload() {
    AdvanceMs(1000);
    ASSERT_TRUE(PumpUntil([&] { return sink_.Logged("download complete result"); }));
  }

  vz::FakeClock clock_{1000000};
  vz::RunLoop loop_;
  FakeProcessRunner runner_;
  FakeVersionSource versions_;
  FakeDownloader downloader_;
  RecordingLauncherSink sink_;
  LauncherPorts ports_;
  std::unique_ptr<CLauncherDlg> launcher_;
  vz::ScopedTestFolder root_;
};

TEST(LauncherCommandLine, IsExactWithAndWithoutALanguage) {
  EXPECT_EQ(CLauncherDlg::BuildCommandLine("/home/u/.local/share/velzar/VelzarMeet/VelzarHub", 321, 0, "de-ch",
                                           "\\\\.\\pipe\\0a1b", "M-77", "R-9"),
            "\"/home/u/.local/share/velzar/VelzarMeet/VelzarHub\" /P:321 /W:0  /LAN:de-ch /PN:\\\\.\\pipe\\0a1b "
            "/MEET:M-77 /ROSTER:R-9");
  EXPECT_EQ(CLauncherDlg::BuildCommandLine("/a b/VelzarHub", 5, 0, "", "\\\\.\\pipe\\x", "", ""),
            "\"/a b/VelzarHub\" /P:5 /W:0  /PN:\\\\.\\pipe\\x /MEET: /ROSTER:");
}

TEST(LauncherCommandLine, SplitsIntoTheArgumentsTheClientReads) {
  EXPECT_EQ(SplitCommandLine("\"/a b/VelzarHub\" /P:5 /W:0  /LAN:en /PN:\\\\.\\pipe\\x /MEET: /ROSTER:"),
            (Argv{"/a b/VelzarHub", "/P:5", "/W:0", "/LAN:en", "/PN:\\\\.\\pipe\\x", "/MEET:", "/ROSTER:"}));
  // The quoting rules: 2n and 2n + 1 backslashes before a quote, "" inside quotes.
  EXPECT_EQ(SplitCommandLine("p \"a b\" c\\\\\"d e\" f\\\"g \"h\"\"i\" j\\k"),
            (Argv{"p", "a b", "c\\d e", "f\"g", "h\"i", "j\\k"}));
  EXPECT_EQ(SplitCommandLine("   "), Argv{});
  EXPECT_EQ(SplitCommandLine("\"unterminated path"), Argv{"unterminated path"});
}

TEST(LauncherCommandLine, InstallerGetsTheSilentSwitchesAndTheQuotedResponseFile) {
  EXPECT_EQ(CLauncherDlg::InstallerArguments("/run/user/7/velzar"),
            (Argv{"/s", "/r", "/f1\"/run/user/7/velzar/Setup.iss\""}));
}

TEST_F(LauncherTest, TheRequiredVersionInstalledStartsTheClientAtOnce) {
  versions_.Set(ClientPath(), "2.9.1.3");
  EXPECT_EQ(Start(u"2.9.1.3"), 1);
  ASSERT_EQ(runner_.started.size(), 1u);
  EXPECT_EQ(runner_.started[0].path, ClientPath());
  EXPECT_EQ(runner_.started[0].argv,
            (Argv{ClientPath(), "/P:4242", "/W:0", "/LAN:en", "/PN:\\\\.\\pipe\\abc", "/MEET:M1", "/ROSTER:R1"}));
  EXPECT_EQ(sink_.results, std::vector<int>{0});
  EXPECT_TRUE(downloader_.urls.empty());
  EXPECT_TRUE(sink_.Logged("PlugIn|start application success, pid [1000]."));
}

TEST_F(LauncherTest, WithUpgradesDisabledTheClientBesideTheHostStartsUnchecked) {
  EXPECT_EQ(Start(u"9.9.9.9", /*upgrade_disabled=*/1), 1);
  ASSERT_EQ(runner_.started.size(), 1u);
  EXPECT_EQ(runner_.started[0].path, ports_.paths.own_folder + "/VelzarHub");
  EXPECT_TRUE(versions_.lookups.empty());
  EXPECT_EQ(sink_.results, std::vector<int>{0});
}

TEST_F(LauncherTest, OneDifferentComponentDownloadsInstallsAndStarts) {
  versions_.Set(ClientPath(), "2.9.1.2");
  runner_.run_time_ms = 10000;  // the installer runs for ten seconds
  runner_.table = {{11, "VelzarSetup.run"}, {12, "Setup.run"}, {13, "VelzarHub"}, {14, "tup.run"}, {15, "VelzarHub2"}};
  downloader_.progress = {{0, 0}, {50, 100}, {51, 100}, {5125, 10000}, {43, 80}, {975, 1000}};
  ASSERT_EQ(Start(u"2.9.1.3"), 1);
  EXPECT_TRUE(runner_.started.empty());

  RunDownload();
  EXPECT_EQ(downloader_.urls, Argv{"http://127.0.0.1:9/dl/VelzarSetup.run"});
  EXPECT_EQ(downloader_.paths, Argv{PackagePath()});
  AdvanceMs(1000);  // timer 2 launches the installer
  ASSERT_EQ(runner_.started.size(), 1u);
  EXPECT_EQ(runner_.started[0].argv,
            (Argv{PackagePath(), "/s", "/r", "/f1\"" + ports_.paths.temp_folder + "/Setup.iss\""}));
  // Exact base names only: the package and the client, nothing that merely ends like them.
  EXPECT_EQ(runner_.terminated, (std::vector<int>{11, 13}));

  AdvanceMs(9000);
  EXPECT_EQ(runner_.started.size(), 1u);
  EXPECT_TRUE(sink_.results.empty());
  AdvanceMs(1100);
  EXPECT_GE(runner_.waits, 9);
  EXPECT_LE(runner_.waits, 12);
  ASSERT_EQ(runner_.started.size(), 2u);
  EXPECT_EQ(runner_.started[1].path, ClientPath());
  EXPECT_EQ(sink_.results, std::vector<int>{0});
  EXPECT_FALSE(vz::FileExists(PackagePath()));
  // 0 first; 40 from 50/100; 41 dropped, 43 kept; 78; 80 after the download
  // dropped (within 2 of 78); 98 before the installer; 100 when it ended.
  EXPECT_EQ(sink_.progress, (std::vector<int>{0, 40, 43, 78, 98, 100}));
}

TEST_F(LauncherTest, AFailedDownloadNeedsAnUpdateAndWatchesForAManualInstall) {
  downloader_.result_code = vz::kDownloadHttpError;
  downloader_.progress = {{10, 100}};
  sink_.on_result = [&](int result) {  // as the host does for result 2
    if (result == 2) launcher_->SetTimer(CLauncherDlg::kTimerWatchInstallation, 1000);
  };
  ASSERT_EQ(Start(u"2.9.1.3"), 1);
  RunDownload();
  EXPECT_TRUE(sink_.Logged("download complete result [0x00000003][Failed]"));
  AdvanceMs(1000);  // timer 3
  EXPECT_EQ(sink_.results, std::vector<int>{2});
  EXPECT_EQ(sink_.progress, (std::vector<int>{8, 100}));

  AdvanceMs(3000);
  EXPECT_TRUE(runner_.started.empty());
  EXPECT_TRUE(sink_.Logged("application not install in folder [VelzarMeet], still need waiting"));
  versions_.Set(ClientPath(), "2.9.1.3");
  AdvanceMs(1000);
  ASSERT_EQ(runner_.started.size(), 1u);
  EXPECT_EQ(sink_.results, (std::vector<int>{2, 0}));
  AdvanceMs(3000);  // the watch ended with the start
  EXPECT_EQ(runner_.started.size(), 1u);
}

TEST_F(LauncherTest, MemoryRunningOutFailsTheStepNotTheThread) {
  // In the start itself: a failed start.
  versions_.Set(ClientPath(), "1.0.0.0");
  runner_.throw_on_start = true;
  EXPECT_EQ(Start(u"1.0.0.0"), 0);
  EXPECT_EQ(sink_.results, std::vector<int>{1});
  EXPECT_TRUE(sink_.Logged("StartVelzarApplication failed: std::bad_alloc"));

  // On the download thread: a failed download, so a failed upgrade.
  runner_.throw_on_start = false;
  sink_.results.clear();
  sink_.logs.clear();
  downloader_.throw_bad_alloc = true;
  ASSERT_EQ(Start(u"2.9.1.3"), 1);
  RunDownload();
  EXPECT_TRUE(sink_.Logged("download complete result [0x00000004][Failed]"));
  AdvanceMs(1000);
  EXPECT_EQ(sink_.results, std::vector<int>{2});

  // In a timer's step (the installer's start): the upgrade fails, no step is left behind.
  downloader_.throw_bad_alloc = false;
  Forget();  // the previous download thread has been joined
  sink_.results.clear();
  sink_.logs.clear();
  ASSERT_EQ(Start(u"2.9.1.3"), 1);
  RunDownload();
  runner_.throw_on_start = true;
  AdvanceMs(1000);
  EXPECT_EQ(sink_.results, std::vector<int>{2});
  EXPECT_TRUE(sink_.Logged("the launcher's step failed: std::bad_alloc"));
  const size_t starts = runner_.started.size();
  AdvanceMs(5000);
  EXPECT_EQ(runner_.started.size(), starts);
  EXPECT_EQ(sink_.results, std::vector<int>{2});
}

TEST_F(LauncherTest, ItsEntryAndTimersAreRefusedOffItsThread) {
  launcher_ = std::make_unique<CLauncherDlg>(&sink_, 0, ports_, loop_);
  versions_.Set(ClientPath(), "1.0.0.0");
  int result = -1;
  std::thread other([&] {
    result = launcher_->StartVelzarApplication(Request(u"1.0.0.0", u"/dl/VelzarSetup.run", u"en", u"M1", u"R1"));
    launcher_->SetTimer(CLauncherDlg::kTimerWatchInstallation, 1000);
  });
  other.join();
  EXPECT_EQ(result, 0);
  AdvanceMs(3000);
  EXPECT_TRUE(runner_.started.empty());
  EXPECT_TRUE(sink_.results.empty());
}

TEST_F(LauncherTest, AnInstallerThatCannotStartIsASystemError) {
  runner_.start_errors[PackagePath()] = ENOEXEC;
  ASSERT_EQ(Start(u"2.9.1.3"), 1);
  RunDownload();
  AdvanceMs(1000);
  EXPECT_EQ(sink_.system_errors, std::vector<int>{193});  // the page's code for a program it cannot run
  EXPECT_TRUE(sink_.Logged("install application with failed. error code [193]"));
  EXPECT_FALSE(vz::FileExists(PackagePath()));
}

TEST_F(LauncherTest, AClientThatCannotStartNamesTheRefusal) {
  versions_.Set(ClientPath(), "1.0.0.0");
  runner_.start_errors[ClientPath()] = ECANCELED;
  EXPECT_EQ(Start(u"1.0.0.0"), 0);
  EXPECT_EQ(sink_.system_errors, std::vector<int>{1223});
  EXPECT_TRUE(sink_.Logged("can't start application, error [1223]:[User don't allow]."));
  EXPECT_TRUE(sink_.results.empty());  // the system error is the report

  runner_.start_errors[ClientPath()] = EACCES;
  EXPECT_EQ(Start(u"1.0.0.0"), 0);
  EXPECT_EQ(sink_.system_errors, (std::vector<int>{1223, 5}));
  EXPECT_TRUE(sink_.Logged("can't start application, error [5]:[Unknow]."));
}

TEST_F(LauncherTest, StopDuringTheDownloadCancelsJoinsAndSilencesTheLauncher) {
  downloader_.block_until_cancelled = true;
  runner_.table = {{21, "VelzarSetup.run"}, {22, "other"}};
  ASSERT_EQ(Start(u"2.9.1.3"), 1);
  AdvanceMs(1000);
  ASSERT_TRUE(PumpUntil([&] { return downloader_.started.load(); }));
  const size_t calls = sink_.Calls();
  launcher_->OnStop();
  EXPECT_TRUE(downloader_.cancelled.load());  // joined: the download had ended
  EXPECT_EQ(runner_.terminated, std::vector<int>{21});
  AdvanceMs(5000);
  EXPECT_EQ(sink_.Calls(), calls);
  EXPECT_TRUE(runner_.started.empty());
}

TEST_F(LauncherTest, MissingParametersReportAFailedStart) {
  EXPECT_EQ(Start(u"2.9.1.3", 0, u"/dl/VelzarSetup.run", u"en", u"", u"R1"), 0);
  EXPECT_EQ(sink_.results, std::vector<int>{1});
  EXPECT_TRUE(sink_.Logged("StartVelzarApplication failed, with wrong parameters."));
}

TEST_F(LauncherTest, UnusablePackageNamesAreRefusedWithoutADownload) {
  for (const std::u16string_view package : {u"/dl/nodot", u"..\\..\\x.exe", u"/dl/a..run", u"/dl/c:x.run", u"/dl/"}) {
    SCOPED_TRACE(vz::Utf16ToUtf8(package));
    sink_.results.clear();
    EXPECT_EQ(Start(u"2.9.1.3", 0, package), 0);
    EXPECT_EQ(sink_.results, std::vector<int>{2});
    AdvanceMs(2000);
  }
  EXPECT_TRUE(downloader_.urls.empty());
}

TEST_F(LauncherTest, ClientPathsStayInsideTheirFolders) {
  launcher_ = std::make_unique<CLauncherDlg>(&sink_, 0, ports_, loop_);
  const std::string nested = "Velzar/Meet";
  EXPECT_EQ(launcher_->getVelzarApplicationFile(&nested, "VelzarHub"), ports_.paths.data_folder + "/Velzar/Meet/VelzarHub");
  EXPECT_EQ(launcher_->getVelzarApplicationFile(nullptr, "VelzarHub"), ports_.paths.own_folder + "/VelzarHub");
  for (const char* text : {"../x", "a/../../x", "/etc", "."}) {
    const std::string folder = text;
    EXPECT_EQ(launcher_->getVelzarApplicationFile(&folder, "VelzarHub"), "") << folder;
  }
  for (const char* name : {"../bin/sh", "..", "a/b"}) {
    EXPECT_EQ(launcher_->getVelzarApplicationFile(nullptr, name), "") << name;
  }
}

}  // namespace
