// The program's controller: the platform-neutral part keeps the session
// states, and the main frame hears of every change through the delegate.
#include "client/controller/app_win_components_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/controller/fake_module_loader_testlib.h"
#include "client/controller/road_scenario_testlib.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/scoped_test_folder_testlib.h"

namespace {

class RecordingDelegate : public AppWinComponentsControllerDelegate {
 public:
  void OnAppUpdateListenerStatus(int32_t status, int32_t code) override { Add("listener", status, code); }
  void OnAppUpdateDSSessionStatus(int32_t status) override { Add("ds", status, 0); }
  void OnAppUpdateDSSessionError(int32_t error, int32_t code_type) override { Add("ds error", error, code_type); }
  void OnAppUpdateACSessionStatus(int32_t status, int32_t muted) override { Add("ac", status, muted); }
  void OnAppUpdateACSessionError(int32_t error, int32_t code_type) override { Add("ac error", error, code_type); }
  void OnAppUpdateAVSessionStatus(int32_t status, int32_t broadcasted) override { Add("av", status, broadcasted); }
  void OnAppUpdateAVSessionError(int32_t error, int32_t code_type) override { Add("av error", error, code_type); }
  void OnAppRequestStopSharing() override { Add("stop sharing", 0, 0); }
  void OnAppRequestLeaveAudio() override { Add("leave audio", 0, 0); }

  std::vector<std::string> calls;

 private:
  void Add(const char* what, int32_t a, int32_t b) {
    calls.push_back(std::string(what) + " " + std::to_string(a) + " " + std::to_string(b));
  }
};

class WinController : public ::testing::Test {
 protected:
  WinController() : factory_(loader_) {
    ControllerPorts ports;
    ports.engines = &factory_;  // no engine libraries at all
    controller_ = std::make_unique<CAppWinComponentsController>(ports);
    controller_->SetDelegate(&delegate_);
  }
  vz::FakeModuleLoader loader_;
  EngineFactory factory_;
  RecordingDelegate delegate_;
  std::unique_ptr<CAppWinComponentsController> controller_;
};

TEST_F(WinController, StatesChangeAndTheFrameIsToldOfEachRoad) {
  controller_->NotifySharingStatusChanged(2);
  controller_->NotifyAudioStatusChanged(1, 1);
  controller_->NotifyVideoStatusChanged(2, 1);
  EXPECT_EQ(controller_->GetDSState(), 2);
  EXPECT_EQ(controller_->GetACState(), 1);
  EXPECT_EQ(controller_->GetAVStateForTesting(), 2);
  // Errors: sharing and audio end, video stays as it was.
  controller_->NotifySharingError(13, 2);
  controller_->NotifyAudioError(13, 2);
  controller_->NotifyVideoError(13, 2);
  EXPECT_EQ(controller_->GetDSState(), 4);
  EXPECT_EQ(controller_->GetACState(), 4);
  EXPECT_EQ(controller_->GetAVStateForTesting(), 2);
  EXPECT_EQ(delegate_.calls, (std::vector<std::string>{"ds 2 0", "ac 1 1", "av 2 1", "ds error 13 2", "ac error 13 2",
                                                       "av error 13 2"}));
}

// An attendee without a display has no sharing UI, yet the rebuilt frame is
// still what a test reads.
TEST(WinControllerFrameDump, TheRebuiltFrameIsWrittenWithoutASharingUI) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/frame.vzfd";
  vz::ScopedEnv env("VZ_SHARE_FRAME_DUMP", path.c_str());
  vz::FakeModuleLoader loader;
  EngineFactory factory(loader);
  ControllerPorts ports;
  ports.engines = &factory;
  CAppWinComponentsController controller(ports);  // no UI factory: no display
  MonitorInfo monitor{};
  monitor.MonitorId = 1;
  monitor.Rect = {0, 0, 4, 2};
  std::vector<uint8_t> pixels(4 * 2 * 4, 0x5a);
  controller.OnMonitorShared(&monitor, pixels.data());
  controller.OnMonitorUpdated(&monitor, nullptr);
  DumpedFrame frame;
  std::string why;
  ASSERT_TRUE(ReadFrameDump(path, &frame, &why)) << why;
  EXPECT_EQ(frame.header.width, 4u);
  EXPECT_EQ(frame.header.height, 2u);
  EXPECT_EQ(frame.bgra, pixels);
  controller.OnMonitorUnshared(&monitor);
}

// The last update of a burst comes inside the write interval; it is still
// written when the interval ends, with no further update to carry it.
TEST(WinControllerFrameDump, AnUpdateHeldBackIsWrittenWhenItsIntervalEnds) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/frame.vzfd";
  vz::ScopedEnv env("VZ_SHARE_FRAME_DUMP", path.c_str());
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  vz::FakeModuleLoader loader;
  EngineFactory factory(loader);
  ControllerPorts ports;
  ports.engines = &factory;
  CAppWinComponentsController controller(ports);
  MonitorInfo monitor{};
  monitor.MonitorId = 1;
  monitor.Rect = {0, 0, 4, 2};
  std::vector<uint8_t> pixels(4 * 2 * 4, 0x5a);
  controller.OnMonitorShared(&monitor, pixels.data());
  controller.OnMonitorUpdated(&monitor, nullptr);
  std::fill(pixels.begin(), pixels.end(), 0x77);
  controller.OnMonitorUpdated(&monitor, nullptr);  // inside the interval
  DumpedFrame frame;
  std::string why;
  const uint64_t deadline = vz::MonotonicMs() + 20000;
  while (vz::MonotonicMs() < deadline) {
    loop.RunPending();
    FrameDumpHeader header{};
    if (ReadFrameDumpHeader(path, &header) && header.sequence >= 2) break;
    std::this_thread::yield();
  }
  ASSERT_TRUE(ReadFrameDump(path, &frame, &why)) << why;
  EXPECT_EQ(frame.header.sequence, 2u);
  EXPECT_EQ(frame.bgra, pixels);
  controller.OnMonitorUnshared(&monitor);
}

// A stopped engine frees its frames and tells the client nothing: the dump
// must neither read the freed frame (an update still held back) nor keep
// holding it, or the next session's monitor is never written.
TEST(WinControllerFrameDump, AStoppedSessionsFrameIsLetGoAndTheNextSessionsWritten) {
  vz::ScopedTestFolder folder;
  const std::string path = folder.path() + "/frame.vzfd";
  vz::ScopedEnv env("VZ_SHARE_FRAME_DUMP", path.c_str());
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  vz::FakeModuleLoader loader;
  EngineFactory factory(loader);
  ControllerPorts ports;
  ports.engines = &factory;
  CAppWinComponentsController controller(ports);
  MonitorInfo first{};
  first.MonitorId = 1;
  first.Rect = {0, 0, 4, 2};
  auto first_pixels = std::make_unique<std::vector<uint8_t>>(4 * 2 * 4, 0x5a);
  controller.OnMonitorShared(&first, first_pixels->data());
  controller.OnMonitorUpdated(&first, nullptr);
  controller.OnMonitorUpdated(&first, nullptr);  // inside the interval: held back
  controller.StopDs();
  first_pixels.reset();  // as the stopped engine frees its frame

  MonitorInfo second{};
  second.MonitorId = 2;
  second.Rect = {0, 0, 2, 2};
  const std::vector<uint8_t> second_pixels(2 * 2 * 4, 0x33);
  controller.OnMonitorShared(&second, const_cast<uint8_t*>(second_pixels.data()));
  controller.OnMonitorUpdated(&second, nullptr);
  FrameDumpHeader header{};
  const uint64_t deadline = vz::MonotonicMs() + 20000;
  while (vz::MonotonicMs() < deadline) {
    loop.RunPending();
    if (ReadFrameDumpHeader(path, &header) && header.width == 2) break;
    std::this_thread::yield();
  }
  DumpedFrame frame;
  std::string why;
  ASSERT_TRUE(ReadFrameDump(path, &frame, &why)) << why;
  EXPECT_EQ(frame.header.width, 2u);
  EXPECT_EQ(frame.bgra, second_pixels);
  controller.OnMonitorUnshared(&second);
}

TEST_F(WinController, ListenerStatusAndRequestsReachTheFrame) {
  EXPECT_EQ(controller_->OnAppSocketListener(1, 0), 1);
  EXPECT_EQ(controller_->OnAppRequestConfigProxy(0), 1);
  EXPECT_EQ(controller_->OnACSessionRequestLeave(nullptr), 1);
  EXPECT_EQ(delegate_.calls, (std::vector<std::string>{"listener 1 0", "leave audio 0 0"}));
  // A join without an audio library: connecting, then ended; nothing is left held.
  controller_->JoinAudio();
  EXPECT_EQ(controller_->GetACState(), 4);
  EXPECT_EQ(controller_->HasAudioEngine(), 0);
  EXPECT_EQ(delegate_.calls.back(), "ac 4 0");
  // Without a delegate nothing is told.
  controller_->SetDelegate(nullptr);
  controller_->NotifySharingStatusChanged(1);
  EXPECT_EQ(delegate_.calls.size(), 4u);
}

// The sharing UI: each call a "ui ..." entry of the journal.
class JournalingSharingUI : public IDSUIController {
 public:
  JournalingSharingUI(vz::FakeEngineHub& hub, int number) : hub_(hub), number_(number) {}
  ~JournalingSharingUI() override { Add("destroyed"); }
  void updateMeetConfig(const MeetConfig* config) override {
    Add("updateMeetConfig(sharing=" + std::to_string(config->SharingEnabled) + ")");
  }
  void updateAudioStatus(int32_t status, int32_t muted) override { Add("updateAudioStatus", status, muted); }
  void updateRosterStatus(int32_t kind, RosterRecord*) override { Add("updateRosterStatus", kind); }
  void updateDSSessionStatus(int32_t status) override { Add("updateDSSessionStatus", status); }
  void updateDSSessionError(int32_t code, int32_t code_type) override { Add("updateDSSessionError", code, code_type); }
  void showDSSelectionWindow(int32_t show) override { Add("showDSSelectionWindow", show); }
  void setRemoteControlIndicator(int32_t on) override { Add("setRemoteControlIndicator", on); }
  void updateDSCommand(DSCommandRecord* command) override { Add("updateDSCommand", command->Type); }
  void monitorShared(MonitorInfo*, uint8_t*) override { Add("monitorShared"); }
  void monitorUnShared(MonitorInfo*) override { Add("monitorUnShared"); }
  void monitorUpdated(MonitorInfo*, VzRect*) override { Add("monitorUpdated"); }
  void mouseUpdated(CursorInfo*) override { Add("mouseUpdated"); }
  void updateDSSharingInfo(SharingInfo* info) override { Add("updateDSSharingInfo", info->IsDesktopSharing); }
  void cleanUp() override { Add("cleanUp"); }

 private:
  void Add(const std::string& what) { hub_.Add("ui#" + std::to_string(number_) + " " + what); }
  void Add(const std::string& what, int32_t a) { Add(what + "(" + std::to_string(a) + ")"); }
  void Add(const std::string& what, int32_t a, int32_t b) {
    Add(what + "(" + std::to_string(a) + "," + std::to_string(b) + ")");
  }
  vz::FakeEngineHub& hub_;
  const int number_;
};

class SharingUIs : public IDSUIControllerFactory {
 public:
  explicit SharingUIs(vz::FakeEngineHub& hub) : hub_(hub) {}
  std::unique_ptr<IDSUIController> CreateDSUIController(CAppWinComponentsController&) override {
    hub_.Add("ui#" + std::to_string(++made_) + " made");
    return std::make_unique<JournalingSharingUI>(hub_, made_);
  }

 private:
  vz::FakeEngineHub& hub_;
  int made_ = 0;
};

class SharingWithUI : public vz::RoadScenario {
 protected:
  SharingWithUI() : uis_(hub_) { controller_->SetSharingUIFactory(&uis_); }
  void Start(const std::u16string& ds_id = u"DS1") {
    DSSessionConfig request = SharingRequest(ds_id);
    controller_->OnDSSessionRequestStart(&request);
  }
  SharingUIs uis_;
};

using vz::Journal;

TEST_F(SharingWithUI, AStartTheEngineTookGetsAUIThatTheNextStopTakesDown) {
  Connect();
  EXPECT_EQ(controller_->StopDs(), 0);  // no UI
  hub_.share_start_result = 0;
  Start();
  EXPECT_EQ(hub_.Take("ui"), Journal{});  // a refused start gets none
  hub_.share_start_result = 1;
  Start();
  EXPECT_EQ(hub_.Take("ui"), (Journal{"ui#1 made", "ui#1 updateMeetConfig(sharing=1)", "ui#1 updateAudioStatus(0,0)"}));
  EXPECT_NE(controller_->sharing_ui_for_testing(), nullptr);

  // The session's changes reach it.
  hub_.share()->EmitStatus(2);
  AddRoster(u"R7");
  controller_->SetRemoteControlRosterId(u"R7");
  controller_->NotifyAudioStatusChanged(2, 1);
  controller_->NotifyAudioMuted(0);
  controller_->NotifyAudioError(13, 1);
  MeetConfig config = kDefaultMeetConfig;
  controller_->OnAppCmdMeetConfig(&config);
  EXPECT_EQ(hub_.Take("ui"),
            (Journal{"ui#1 updateDSSessionStatus(2)", "ui#1 updateRosterStatus(1)", "ui#1 setRemoteControlIndicator(1)",
                     "ui#1 updateAudioStatus(2,1)", "ui#1 updateAudioStatus(2,0)", "ui#1 updateAudioStatus(4,0)",
                     "ui#1 updateMeetConfig(sharing=1)"}));

  // A repeated start of the running session brings its selection back.
  Start();
  EXPECT_EQ(hub_.Take("ui"), (Journal{"ui#1 showDSSelectionWindow(1)"}));

  EXPECT_EQ(controller_->StopDs(), 1);
  EXPECT_EQ(hub_.Take("ui"), (Journal{"ui#1 setRemoteControlIndicator(0)", "ui#1 cleanUp", "ui#1 destroyed"}));
  EXPECT_EQ(controller_->sharing_ui_for_testing(), nullptr);
}

TEST_F(SharingWithUI, TheEnginesUICallbacksReachTheUIOrAreDropped) {
  Connect();
  DSCommandRecord command{};
  command.Type = DSCommandRequestControl;
  MonitorInfo monitor{};
  SharingInfo info{};
  info.IsDesktopSharing = 1;
  // No session: nothing to hand them to.
  EXPECT_EQ(controller_->OnDSCommand(&command), 1);
  EXPECT_EQ(controller_->OnSharingInfo(&info), 1);
  EXPECT_EQ(hub_.Take(), Journal{});

  Start();
  hub_.Take();
  IDSProviderSink* sink = hub_.share()->sink();
  sink->OnDSCommand(&command);
  sink->OnMonitorShared(&monitor, nullptr);
  sink->OnMonitorUpdated(&monitor, nullptr);
  sink->OnMonitorUnshared(&monitor);
  sink->OnMouseUpdated(nullptr);
  sink->OnSharingInfo(&info);
  sink->OnSharingStatus(1);
  EXPECT_EQ(hub_.Take(), (Journal{"ui#1 updateDSCommand(10)", "ui#1 monitorShared", "ui#1 monitorUpdated",
                                  "ui#1 monitorUnShared", "ui#1 mouseUpdated", "ui#1 updateDSSharingInfo(1)"}));
}

TEST_F(SharingWithUI, ARetryThroughTheNextProxyAndARestartAfterTheDialogGetANewUI) {
  proxies_.Add(u"A", 8080);
  proxies_.Add(u"B", 8081);
  Connect();
  Start();
  hub_.Take();
  hub_.share()->EmitError(9, 2);
  EXPECT_EQ(hub_.Take("ui"), (Journal{"ui#1 setRemoteControlIndicator(0)", "ui#1 cleanUp", "ui#1 destroyed",
                                      "ui#2 made", "ui#2 updateMeetConfig(sharing=1)", "ui#2 updateAudioStatus(0,0)"}));
  hub_.share()->EmitError(13, 2);
  EXPECT_EQ(hub_.Take("ui"), (Journal{"ui#2 setRemoteControlIndicator(0)", "ui#2 cleanUp", "ui#2 destroyed"}));
  EXPECT_EQ(controller_->GetDSState(), kSessionEnded);
  // The frame restarts through the controller's StartDS, as a fresh start.
  CAppComponentsController& base = *controller_;
  EXPECT_EQ(base.StartDS(), 1);
  EXPECT_EQ(hub_.Take("ui"), (Journal{"ui#3 made", "ui#3 updateMeetConfig(sharing=1)", "ui#3 updateAudioStatus(0,0)"}));
  RunPosted();
}

}  // namespace
