// The main frame's dialogs on a private X server, driven through XTest as a
// person would: the proxy settings dialog and the connecting dialog of a
// waiting VelzarHub.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "client/app/frame_dialogs.h"
#include "client/app/network_proxy_setting_window.h"
#include "client/proxy/network_proxy_setting_opener.h"
#include "client/proxy/proxy_credentials.h"
#include "outside/vzres/vzres.h"
#include "platform/piped_child_testlib.h"
#include "platform/process.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/text.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/headless.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"

namespace {

namespace fs = std::filesystem;

// The frame's side of the proxy dialog, with a real store behind it.
class ProxyHost : public INetworkProxySettingHost, public IProxyProvider {
 public:
  ProxyHost() {
    std::memset(&entry_, 0, sizeof(entry_));
    vz::CopyUtf16(entry_.Host, 128, u"proxy.example");
    entry_.Port = 3128;
    entry_.HttpProxy = 1;
  }
  const NetworkProxyEntry* GetNetworkProxyEntry() override { return &entry_; }
  void SetNetworkProxyEntry(const NetworkProxyEntry* entry) override { entry_ = *entry; }
  void RunNetworkProxySettingDialog(CNetworkProxySettingDlg* dialog) override {
    dialogs->RunProxySettingsDialog(dialog);
  }
  void JoinAudio() override { restarts.push_back("audio"); }
  void StartDS() override { restarts.push_back("sharing"); }
  void JoinVideo() override { restarts.push_back("video"); }

  const NetworkProxyEntry* VZGetNetworkProxy() override { return &entry_; }
  const NetworkProxyTable* GetNetworkProxyTable() const override { return nullptr; }
  bool LoadProxyCredentials(NetworkProxyEntry* entry) override { return ::LoadProxyCredentials(entry, *store); }
  void SaveProxyCredentials(const NetworkProxyEntry* entry) override { ::SaveProxyCredentials(entry, *store); }

  NetworkProxyEntry entry_;
  IFrameDialogs* dialogs = nullptr;
  std::unique_ptr<vz::SettingsStore> store = vz::CreateMemorySettingsStore();
  std::vector<std::string> restarts;
};

class FrameDialogsOnDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env_.why();
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    system_ = vz::OpenDisplayWindowSystem(env_.display().c_str());
    ASSERT_TRUE(system_);
    injector_ = vz::InputInjector::Open(env_.display().c_str());
    ASSERT_TRUE(injector_);
    dialogs_ = CreateWindowedFrameDialogs(*system_);
    host_.dialogs = dialogs_.get();
  }
  void TearDown() override {
    dialogs_.reset();
    system_.reset();
  }

  // Once the dialog has the keyboard, types what `keys` says through XTest.
  void WhenActive(std::function<void()> keys) {
    auto done = std::make_shared<bool>(false);
    loop_.StartTimer(this, 1, 20, [this, done, keys = std::move(keys)] {
      if (*done || system_->ActiveWindow() == nullptr) return;
      *done = true;
      keys();
      injector_->Sync();
    });
  }
  std::u16string Stored(const char* suffix) {
    std::u16string value;
    host_.store->ReadString(kNetworkProxySettingsKey, std::string("vzproxysetting.proxy.example.") + suffix, &value);
    return value;
  }

  vz::DisplayTestEnv& env_ = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop_ = vz::RunLoop::ForCurrentThread();
  std::unique_ptr<vz::WindowSystem> system_;
  std::unique_ptr<vz::InputInjector> injector_;
  std::unique_ptr<IFrameDialogs> dialogs_;
  ProxyHost host_;
};

TEST_F(FrameDialogsOnDisplay, TypedCredentialsAndEnterStoreTheScrambledEntryAndRestart) {
  NetworkProxySettingOpener opener(host_, host_);
  WhenActive([this] {
    injector_->TypeAscii("alice");
    injector_->Tap(vz::keys::kTab);
    injector_->TypeAscii("s3cret");
    injector_->Tap(vz::keys::kReturn);
  });
  opener.showNetworkProxySettingWindow(kProxySessionAudio);
  loop_.KillTimers(this);

  EXPECT_EQ(Stored("name"), u"alice");
  const std::u16string scrambled = Stored("pass");
  EXPECT_FALSE(scrambled.empty());
  EXPECT_EQ(scrambled.find(u"s3cret"), std::u16string::npos);  // never in clear
  NetworkProxyEntry loaded = host_.entry_;
  loaded.UserName[0] = 0;
  loaded.Password[0] = 0;
  ASSERT_TRUE(host_.LoadProxyCredentials(&loaded));
  EXPECT_EQ(std::u16string(loaded.Password), u"s3cret");
  EXPECT_EQ(host_.entry_.Authentication, 1);
  EXPECT_EQ(host_.restarts, (std::vector<std::string>{"audio"}));
}

TEST_F(FrameDialogsOnDisplay, EscLeavesTheStoreAndTheEntryAsTheyWere) {
  NetworkProxySettingOpener opener(host_, host_);
  const NetworkProxyEntry before = host_.entry_;
  WhenActive([this] {
    injector_->TypeAscii("mallory");
    injector_->Tap(vz::keys::kEscape);
  });
  opener.showNetworkProxySettingWindow(kProxySessionVideo);
  loop_.KillTimers(this);
  EXPECT_TRUE(Stored("name").empty());
  EXPECT_TRUE(Stored("pass").empty());
  EXPECT_EQ(std::memcmp(&before, &host_.entry_, sizeof(before)), 0);
  EXPECT_TRUE(host_.restarts.empty());
}

TEST_F(FrameDialogsOnDisplay, OkWithAnEmptyPasswordKeepsTheDialogOpen) {
  NetworkProxySettingOpener opener(host_, host_);
  int step = 0;
  loop_.StartTimer(this, 2, 50, [&] {
    if (system_->ActiveWindow() == nullptr) return;
    if (step == 0) {
      injector_->TypeAscii("bob");
      injector_->Tap(vz::keys::kReturn);  // no password: stays open
      injector_->Sync();
      step = 1;
    } else if (step == 1 && opener.IsDialogOpenForTesting()) {
      injector_->TypeAscii("pw");  // the focus went to the empty password
      injector_->Tap(vz::keys::kReturn);
      injector_->Sync();
      step = 2;
    }
  });
  opener.showNetworkProxySettingWindow(kProxySessionSharing);
  loop_.KillTimers(this);
  EXPECT_EQ(step, 2);
  EXPECT_EQ(Stored("name"), u"bob");
  EXPECT_EQ(host_.restarts, (std::vector<std::string>{"sharing"}));
}

// A waiting VelzarHub (no meeting, no pipe on its command line) shows the
// connecting dialog while it polls the hand-off file, and closes it when a
// meeting is handed to it.
TEST(WaitingVelzarHubOnDisplay, ShowsTheConnectingDialogUntilAMeetingArrives) {
  vz::DisplayTestEnv& env = vz::DisplayTestEnv::Get();
  if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
  const fs::path root = fs::temp_directory_path() / ("velzarhub-waiting-" + std::to_string(vz::ProcessId()));
  fs::remove_all(root);
  fs::create_directories(root / "velzar");
  fs::permissions(root, fs::perms::owner_all);
  fs::permissions(root / "velzar", fs::perms::owner_all);

  vz::PipedChild hub;
  ASSERT_TRUE(hub.Start(VZ_VELZARHUB_BINARY, {"VelzarHub", "/LAN:en"},
                        {"DISPLAY=" + env.display(), "XDG_RUNTIME_DIR=" + root.string()}));
  auto find_dialog = [&] {
    for (const vz::DisplayWindowInfo& w : vz::ListDisplayWindows(env.display().c_str())) {
      if (w.viewable && w.title == "Velzar Meet Application") return true;
    }
    return false;
  };
  auto wait_for = [](const std::function<bool()>& done) {
    // Generous for a loaded machine; a window that shows returns at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // another process: polled
    }
    return true;
  };
  ASSERT_TRUE(wait_for(find_dialog)) << "the connecting dialog did not show";
  EXPECT_TRUE(vz::IsProcessAlive(hub.Pid()));

  // A later start hands its command line over through the file.
  const fs::path hand_off = root / "velzar" / "appruntime.plist";
  {
    std::ofstream out(hand_off);
    out << "/MEET:42 /PN:no-such-pipe";
  }
  EXPECT_TRUE(wait_for([&] { return !find_dialog(); })) << "the connecting dialog stayed";
  EXPECT_FALSE(fs::exists(hand_off));  // taken
  int exit_code = -1;
  // The pipe does not exist: the listener reports it and the instance quits.
  EXPECT_TRUE(hub.Wait(60000, &exit_code));
  fs::remove_all(root);
}

}  // namespace

namespace {

// What a person sees on the screen is what the headless pictures show: the
// same canvas paints both, and the display gets the buffer unchanged.
TEST_F(FrameDialogsOnDisplay, TheScreenShowsTheSamePixelsAsTheHeadlessPicture) {
  NetworkProxyEntry entry = host_.entry_;
  CNetworkProxySettingDlg logic(&entry, 1);
  CNetworkProxySettingWindow shown(&logic);
  ASSERT_TRUE(shown.Create(nullptr, system_.get()));
  ASSERT_TRUE(env_.RunUntil(loop_, [&] { return system_->ActiveWindow() == shown.window(); }));
  loop_.RunUntilIdle();
  system_->Sync();
  const vz::Rect bounds = shown.window()->bounds();
  std::optional<vz::Image> screen = vz::CaptureDisplayArea(env_.display().c_str(), bounds);
  ASSERT_TRUE(screen);
  if (const char* folder = std::getenv("VZ_SCREENSHOT_FOLDER")) screen->WritePngFile(std::string(folder) + "/proxy-on-xvfb.png");

  vz::FakeClock clock;
  vz::RunLoop headless_loop(clock);
  std::unique_ptr<vz::HeadlessWindowSystem> headless = vz::HeadlessWindowSystem::Create({1280, 1024});
  NetworkProxyEntry same = host_.entry_;
  CNetworkProxySettingDlg headless_logic(&same, 1);
  CNetworkProxySettingWindow drawn(&headless_logic);
  ASSERT_TRUE(drawn.Create(nullptr, headless.get()));
  const vz::Image& picture = headless->Render(drawn.window());
  ASSERT_EQ(picture.size(), screen->size());
  int different = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) different += (picture.GetPixel(x, y) | 0xFF000000u) != screen->GetPixel(x, y);
  }
  EXPECT_EQ(different, 0);
}

}  // namespace
