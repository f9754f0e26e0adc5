#include "client/app/meet_main_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/run_loop.h"

namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

// The frame's controller, recording what the frame asks of it.
class RecordingController : public CAppWinComponentsController {
 public:
  explicit RecordingController(Calls* calls) : calls_(calls) {}

  // The base keeps the state; the frame is not told of this one.
  void SetAudioJoined(bool config_open) {
    CAppComponentsController::NotifyAudioStatusChanged(kSessionJoined, 0);
    config_open_ = config_open;
  }

  int32_t StartAppPeerListen(const AppPeerConfig* config) override {
    calls_->push_back("StartAppPeerListen " + std::string(config->MeetId, config->MeetId + 1));
    listened_.push_back(*config);
    return 1;
  }
  int32_t LeaveVideo() override { return Record("LeaveVideo"); }
  int32_t StopDs() override { return Record("StopDs"); }
  int32_t LeaveAudio() override {
    CAppComponentsController::NotifyAudioStatusChanged(kSessionIdle, 0);
    return Record("LeaveAudio");
  }
  int32_t JoinAudio() override { return Record("JoinAudio"); }
  int32_t ConfigAudio() override { return Record("ConfigAudio"); }
  int32_t IsAudioConfigOpen() override { return config_open_ ? 1 : 0; }
  int32_t StartDS() override { return Record("StartDS"); }
  int32_t JoinVideo() override { return Record("JoinVideo"); }
  int32_t ReportAVSessionStatus(int32_t status) override { return Record("ReportAV " + std::to_string(status)); }
  int32_t ReportDSSessionStatus(int32_t status) override { return Record("ReportDS " + std::to_string(status)); }
  int32_t ReportACSessionStatus(int32_t status) override {
    if (on_report_ac) on_report_ac();
    return Record("ReportAC " + std::to_string(status));
  }
  void SetNetworkProxyEntry(const NetworkProxyEntry* entry) override {
    CAppComponentsController::SetNetworkProxyEntry(entry);
    Record("SetNetworkProxyEntry auth " + std::to_string(entry ? entry->Authentication : -1) + " user " +
           std::string(entry ? entry->UserName : u"", entry ? entry->UserName + 4 : nullptr));
  }

  std::function<void()> on_report_ac;
  std::vector<AppPeerConfig> listened_;

 private:
  int32_t Record(const std::string& call) {
    calls_->push_back(call);
    return 1;
  }
  Calls* calls_;
  bool config_open_ = false;
};

class FakeDevices : public vz::UsbDeviceMonitor {
 public:
  bool Start(Callback callback, int* error) override {
    if (!available) {
      *error = 19;
      return false;
    }
    callback_ = std::move(callback);
    return true;
  }
  void Stop() override { callback_ = nullptr; }
  void Plug(bool arrived) {
    if (callback_) callback_(Change{arrived, "/dev/bus/usb/001/004"});
  }
  bool available = true;

 private:
  Callback callback_;
};

class ScriptedConnectingDialog : public IConnectingDialog {
 public:
  explicit ScriptedConnectingDialog(Calls* calls) : calls_(calls) {}
  ~ScriptedConnectingDialog() override { calls_->push_back("connecting dialog closed"); }

 private:
  Calls* calls_;
};

class ScriptedDialogs : public IFrameDialogs {
 public:
  explicit ScriptedDialogs(Calls* calls) : calls_(calls) {}
  std::unique_ptr<IConnectingDialog> ShowConnectingDialog(std::function<void()> on_give_up) override {
    calls_->push_back("connecting dialog shown");
    give_up = std::move(on_give_up);
    return std::make_unique<ScriptedConnectingDialog>(calls_);
  }
  void RunProxySettingsDialog(CNetworkProxySettingDlg* dialog) override {
    calls_->push_back("proxy dialog shown");
    if (while_open) while_open();
    if (confirm) {
      dialog->OnOk(u"user", u"secret");
    } else {
      dialog->OnCancel();
    }
  }
  std::function<void()> give_up;
  std::function<void()> while_open;
  bool confirm = true;

 private:
  Calls* calls_;
};

class RecordingProxies : public IProxyProvider {
 public:
  explicit RecordingProxies(Calls* calls) : calls_(calls) {}
  const NetworkProxyEntry* VZGetNetworkProxy() override { return nullptr; }
  const NetworkProxyTable* GetNetworkProxyTable() const override { return &table_; }
  bool LoadProxyCredentials(NetworkProxyEntry*) override { return false; }
  void SaveProxyCredentials(const NetworkProxyEntry*) override { calls_->push_back("SaveProxyCredentials"); }

 private:
  Calls* calls_;
  NetworkProxyTable table_;
};

class MainFrame : public ::testing::Test {
 protected:
  explicit MainFrame(vz::Clock& clock = fake_clock_) : loop_(clock) {}

  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("main-frame-test-" + std::to_string(vz::ProcessId()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    hand_off_.emplace((folder_ / "appruntime.plist").string());
    auto controller = std::make_unique<RecordingController>(&calls_);
    controller_ = controller.get();
    MeetFramePorts ports;
    ports.loop = &loop_;
    ports.dialogs = &dialogs_;
    ports.devices = &devices_;
    ports.proxies = &proxies_;
    ports.hand_off = &*hand_off_;
    ports.parent_of = [](uint32_t) { return 0u; };
    frame_ = std::make_unique<CMeetMainController>(std::move(controller), ports);
  }
  void TearDown() override {
    frame_.reset();
    fs::remove_all(folder_);
  }

  void Advance(uint64_t ms) {
    fake_clock_.AdvanceMs(ms);
    loop_.RunUntilIdle();
  }
  void UseProxy() {
    NetworkProxyEntry proxy{};
    proxy.HttpProxy = 1;
    proxy.Port = 3128;
    controller_->CAppComponentsController::SetNetworkProxyEntry(&proxy);
  }
  void PlantHandOff(const std::string& line) {
    ASSERT_TRUE(vz::WriteFileAtomic(hand_off_->GetHandOffFilePathForTesting(), line, 0600));
  }

  static inline vz::FakeClock fake_clock_{0};
  vz::RunLoop loop_;
  Calls calls_;
  ScriptedDialogs dialogs_{&calls_};
  FakeDevices devices_;
  RecordingProxies proxies_{&calls_};
  fs::path folder_;
  std::optional<HandOffFile> hand_off_;
  RecordingController* controller_ = nullptr;
  std::unique_ptr<CMeetMainController> frame_;
};

// The quit order runs on a real clock: the loop must end by itself.
class MainFrameQuit : public MainFrame {
 protected:
  MainFrameQuit() : MainFrame(vz::SystemClock()) {}
};

TEST_F(MainFrameQuit, StopsVideoSharingAudioWithTheirReportsRemovesTheHandOffAndEndsTheLoop) {
  PlantHandOff("");
  bool hand_off_present_at_last_report = false;
  controller_->on_report_ac = [&] {
    hand_off_present_at_last_report = vz::FileExists(hand_off_->GetHandOffFilePathForTesting());
  };
  bool timed_out = false;
  int watchdog = 0;
  loop_.StartTimer(&watchdog, 1, 10000, [&] {
    timed_out = true;
    loop_.Quit();
  });
  loop_.Post([&] { frame_->quitApplication(); });
  loop_.Run();

  EXPECT_FALSE(timed_out);
  // All three reports go out even though no road ever started.
  EXPECT_EQ(calls_, (Calls{"LeaveVideo", "ReportAV 4", "StopDs", "ReportDS 4", "LeaveAudio", "ReportAC 4"}));
  EXPECT_TRUE(hand_off_present_at_last_report);
  EXPECT_FALSE(vz::FileExists(hand_off_->GetHandOffFilePathForTesting()));
  EXPECT_TRUE(frame_->IsClosedForTesting());
  // A second quit (another lost pipe) does nothing more.
  frame_->quitApplication();
  EXPECT_EQ(calls_.size(), 6u);
}

TEST_F(MainFrame, ADeviceArrivalWhileJoinedLeavesAudioAndRejoinsAfterTwoSeconds) {
  frame_->OnCreate();
  controller_->SetAudioJoined(/*config_open=*/true);
  devices_.Plug(true);
  EXPECT_EQ(calls_, (Calls{"LeaveAudio"}));
  Advance(1999);
  EXPECT_EQ(calls_.size(), 1u);
  Advance(1);
  EXPECT_EQ(calls_, (Calls{"LeaveAudio", "JoinAudio", "ConfigAudio"}));
  Advance(10000);  // one rejoin only
  EXPECT_EQ(calls_.size(), 3u);
}

TEST_F(MainFrame, ARemovalRejoinsAfter200MsAndNothingHappensWhileNotJoined) {
  frame_->OnCreate();
  devices_.Plug(false);  // not joined
  Advance(5000);
  EXPECT_TRUE(calls_.empty());

  controller_->SetAudioJoined(/*config_open=*/false);
  devices_.Plug(false);
  Advance(199);
  EXPECT_EQ(calls_, (Calls{"LeaveAudio"}));
  Advance(1);
  EXPECT_EQ(calls_, (Calls{"LeaveAudio", "JoinAudio"}));
  // Other device events are only logged.
  vz::LogLineCapture log_lines;
  EXPECT_EQ(frame_->OnDeviceChange(0x0007, kDeviceTypeInterface, u"x"), 1);
  EXPECT_EQ(calls_.size(), 2u);
  EXPECT_EQ(log_lines.Count("nEventType=7, dwData=0", vz::kFileLines), 1u);
}

TEST_F(MainFrame, TheWebPagesLeaveCancelsAPendingRejoin) {
  frame_->OnCreate();
  controller_->SetAudioJoined(/*config_open=*/false);
  devices_.Plug(true);
  ASSERT_TRUE(frame_->IsAudioRejoinPendingForTesting());
  controller_->OnACSessionRequestLeave(nullptr);  // the controller tells the frame first
  EXPECT_FALSE(frame_->IsAudioRejoinPendingForTesting());
  Advance(5000);
  EXPECT_EQ(calls_, (Calls{"LeaveAudio", "LeaveAudio"}));
}

TEST_F(MainFrame, WithoutDeviceNotificationsTheFailureIsLoggedAndStartUpGoesOn) {
  vz::LogLineCapture log_lines;
  devices_.available = false;
  EXPECT_EQ(frame_->OnCreate(), 0);
  EXPECT_EQ(log_lines.Count("Failed to register device notification. error [19]", vz::kFileLines), 1u);
}

TEST_F(MainFrame, ProxyErrorsWhileTheDialogIsOpenShareOneDialogAndRestartInOrder) {
  UseProxy();
  dialogs_.while_open = [this] {
    frame_->OnAppUpdateAVSessionError(13, 1);
    frame_->OnAppUpdateDSSessionError(13, 1);
    loop_.RunUntilIdle();  // the dialog's nested loop serves the posted openings
  };
  frame_->OnAppUpdateACSessionError(13, 1);
  EXPECT_TRUE(calls_.empty());  // not from inside the engine's report
  loop_.RunUntilIdle();
  EXPECT_EQ(calls_, (Calls{"proxy dialog shown", "SetNetworkProxyEntry auth 1 user user", "SaveProxyCredentials",
                           "JoinAudio", "StartDS", "JoinVideo"}));
  EXPECT_EQ(std::u16string(controller_->GetNetworkProxyEntry()->Password), u"secret");
}

TEST_F(MainFrame, ACancelledProxyDialogRestartsNothingAndWithoutAProxyNoneIsShown) {
  frame_->OnAppUpdateACSessionError(13, 1);  // no proxy in use
  loop_.RunUntilIdle();
  EXPECT_TRUE(calls_.empty());
  UseProxy();
  dialogs_.confirm = false;
  frame_->OnAppUpdateAVSessionError(13, 1);
  loop_.RunUntilIdle();
  EXPECT_EQ(calls_, (Calls{"proxy dialog shown"}));
  frame_->OnAppUpdateACSessionError(9, 1);  // other errors offer nothing
  loop_.RunUntilIdle();
  EXPECT_EQ(calls_.size(), 1u);
}

TEST_F(MainFrame, AConnectedStartListensAtOnce) {
  AppPeerConfig config{};
  config.MeetId[0] = u'm';
  frame_->SetAppConfig(&config);
  EXPECT_EQ(calls_, (Calls{"StartAppPeerListen m"}));
  EXPECT_FALSE(frame_->IsConnectingDialogShownForTesting());
}

TEST_F(MainFrame, AWaitingStartTakesTheMeetingFromTheHandOffFile) {
  AppPeerConfig waiting{};
  frame_->SetAppConfig(&waiting);
  EXPECT_EQ(calls_, (Calls{"connecting dialog shown"}));
  Advance(1000);  // no file yet
  PlantHandOff("");
  Advance(1000);  // an empty file: wait on
  EXPECT_EQ(calls_.size(), 1u);
  PlantHandOff("/MEET:hand-off /PN:pipe");
  Advance(1000);
  EXPECT_EQ(calls_, (Calls{"connecting dialog shown", "StartAppPeerListen h"}));
  EXPECT_EQ(std::u16string(controller_->listened_[0].PipeName), u"pipe");
  EXPECT_FALSE(vz::FileExists(hand_off_->GetHandOffFilePathForTesting()));
  PlantHandOff("/MEET:again");
  Advance(5000);  // the poll has stopped
  EXPECT_EQ(calls_.size(), 2u);

  // The first listener status closes the dialog; 2 keeps the client running.
  frame_->OnAppUpdateListenerStatus(2, 0);
  EXPECT_EQ(calls_.back(), "connecting dialog closed");
  EXPECT_FALSE(frame_->IsConnectingDialogShownForTesting());
  EXPECT_FALSE(frame_->IsClosedForTesting());
}

TEST_F(MainFrame, ALostPipeClosesTheDialogAndQuits) {
  AppPeerConfig waiting{};
  frame_->SetAppConfig(&waiting);
  frame_->OnAppUpdateListenerStatus(1, 0);
  EXPECT_EQ(calls_, (Calls{"connecting dialog shown", "connecting dialog closed", "LeaveVideo", "ReportAV 4",
                           "StopDs", "ReportDS 4", "LeaveAudio", "ReportAC 4"}));
  loop_.RunUntilIdle();
  EXPECT_TRUE(frame_->IsClosedForTesting());
}

TEST_F(MainFrame, GivingUpInTheConnectingDialogQuitsAndRemovesTheHandOffFile) {
  vz::LogLineCapture log_lines;
  AppPeerConfig waiting{};
  frame_->SetAppConfig(&waiting);
  PlantHandOff("");
  ASSERT_TRUE(dialogs_.give_up);
  dialogs_.give_up();
  EXPECT_EQ(calls_.size(), 1u);  // handled from the loop, as a posted message
  loop_.RunUntilIdle();
  EXPECT_EQ(log_lines.Count("user cancelled application connection.", vz::kFileLines), 1u);
  EXPECT_EQ(calls_.back(), "connecting dialog closed");
  EXPECT_FALSE(vz::FileExists(hand_off_->GetHandOffFilePathForTesting()));
  EXPECT_TRUE(frame_->IsClosedForTesting());
}

TEST_F(MainFrame, TheSharingPanelsStopIsHandledFromTheLoop) {
  frame_->OnAppRequestStopSharing();
  EXPECT_TRUE(calls_.empty());
  loop_.RunUntilIdle();
  EXPECT_EQ(calls_, (Calls{"StopDs", "ReportDS 4"}));
}

}  // namespace
