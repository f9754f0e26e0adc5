// The launcher with its real ports: libcurl fetches the upgrade package over
// file:// and loopback http, the package (the fake one) installs the fake
// client with its version file, and the client is started with the meeting's
// command line. The launcher's timers run on a fake clock.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include "bridge/file_version.h"
#include "bridge/launcher_backends.h"
#include "bridge/launcher_dlg.h"
#include "bridge/launcher_fakes_testlib.h"
#include "platform/scoped_test_folder_testlib.h"
#include "platform/downloader.h"
#include "platform/file_system.h"
#include "platform/pipe_name_testlib.h"
#include "platform/scoped_environment_testlib.h"
#include "platform/text.h"

namespace {

TEST(LauncherIntegration, DownloadsOverFileInstallsTheFakeClientAndStartsIt) {
  vz::ScopedPipeTestFolder runtime;
  vz::ScopedTestFolder root;
  vz::ScopedEnvironmentVariable data_home("XDG_DATA_HOME", root.Sub("data").c_str());
  vz::ScopedEnvironmentVariable argv_file("VZ_FAKE_CLIENT_ARGV_FILE", (root.path() + "/argv.txt").c_str());
  // Names of this run only: the launcher ends every process of the user
  // that has the package's or the client's name.
  const std::string unique = std::to_string(std::random_device()() % 1000000);
  const std::string client_name = "FakeHub" + unique, package_name = "Setup" + unique + ".run";
  vz::ScopedEnvironmentVariable folder("VZ_FAKE_PACKAGE_FOLDER", "VelzarMeet");
  vz::ScopedEnvironmentVariable name("VZ_FAKE_PACKAGE_NAME", client_name.c_str());
  vz::ScopedEnvironmentVariable version("VZ_FAKE_PACKAGE_VERSION", "2.9.1.3");
  const std::string site = root.Sub("site/dl");
  ASSERT_TRUE(vz::CopyFileBytes(VZ_FAKE_PACKAGE_BINARY, site + "/" + package_name, 0755));

  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  RecordingLauncherSink sink;
  SidecarVersionSource versions;
  SystemProcessRunner processes;
  const std::unique_ptr<vz::Downloader> downloader = vz::CreateDownloader();
  LauncherPorts ports;
  ports.paths = SystemLauncherPaths();
  ports.paths.temp_folder = root.Sub("tmp");
  ports.versions = &versions;
  ports.processes = &processes;
  ports.downloader = downloader.get();
  const std::string client = ports.paths.data_folder + "/VelzarMeet/" + client_name;
  ASSERT_EQ(ports.paths.data_folder, root.path() + "/data/velzar");

  {
    CLauncherDlg launcher(&sink, 0, ports, loop);
    LaunchRequest request;
    request.domain = vz::Utf8ToUtf16("file://" + root.path() + "/site");
    request.package = vz::Utf8ToUtf16("/dl/" + package_name);
    request.version = u"2.9.1.3";
    request.folder = u"VelzarMeet";
    request.name = vz::Utf8ToUtf16(client_name);
    request.pipe_name = u"\\\\.\\pipe\\not-there";
    request.meet_id = u"M1";
    request.roster_id = u"R1";
    ASSERT_EQ(launcher.StartVelzarApplication(request), 1);
    // Each second of the fake clock runs the next step; the download and
    // the package run for real meanwhile.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sink.results.empty() && sink.system_errors.empty() && std::chrono::steady_clock::now() < give_up) {
      clock.AdvanceMs(1000);
      loop.RunUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    launcher.OnStop();
    loop.KillTimers(&launcher);
  }
  EXPECT_TRUE(sink.system_errors.empty());
  ASSERT_EQ(sink.results, std::vector<int>{0});
  EXPECT_EQ(sink.progress.back(), 100);
  EXPECT_EQ(versions.FileVersion(client), "2.9.1.3");
  EXPECT_FALSE(vz::FileExists(ports.paths.temp_folder + "/" + package_name));  // deleted after the install
  std::string response;
  ASSERT_TRUE(vz::ReadFileBytes(ports.paths.temp_folder + "/Setup.iss", &response));
  EXPECT_EQ(response, "installed=" + client + "\nversion=2.9.1.3\n");

  // The client was started with the meeting's command line (and ends at
  // once: its pipe is not there).
  std::string argv;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (argv.empty() && std::chrono::steady_clock::now() < until) {
    vz::ReadFileBytes(root.path() + "/argv.txt", &argv);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(argv, client + "\n/P:" + std::to_string(ports.paths.own_process_id) +
                      "\n/W:0\n/PN:\\\\.\\pipe\\not-there\n/MEET:M1\n/ROSTER:R1\n");
}

TEST(LauncherIntegration, AnHttpErrorNeedsAnUpdate) {
  vz::ScopedTestFolder root;
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  RecordingLauncherSink sink;
  FakeVersionSource versions;
  SystemProcessRunner processes;
  const std::unique_ptr<vz::Downloader> downloader = vz::CreateDownloader();
  LauncherPorts ports;
  ports.paths.data_folder = root.Sub("data");
  ports.paths.own_folder = root.Sub("own");
  ports.paths.temp_folder = root.Sub("tmp");
  ports.versions = &versions;
  ports.processes = &processes;
  ports.downloader = downloader.get();
  {
    CLauncherDlg launcher(&sink, 0, ports, loop);
    LaunchRequest request;
    request.domain = vz::Utf8ToUtf16("file://" + root.path());
    request.package = u"/missing/NotThere.run";
    request.version = u"2.9.1.3";
    request.folder = u"VelzarMeet";
    request.name = u"FakeVelzarHub";
    request.language = u"en";
    request.pipe_name = u"\\\\.\\pipe\\x";
    request.meet_id = u"M1";
    request.roster_id = u"R1";
    ASSERT_EQ(launcher.StartVelzarApplication(request), 1);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sink.results.empty() && std::chrono::steady_clock::now() < give_up) {
      clock.AdvanceMs(1000);
      loop.RunUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    launcher.OnStop();
    loop.KillTimers(&launcher);
  }
  EXPECT_EQ(sink.results, std::vector<int>{2});
  EXPECT_TRUE(sink.Logged("download complete result [0x00000002][Failed]"));
}

}  // namespace
