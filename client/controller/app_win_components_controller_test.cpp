// The program's controller: the platform-neutral part keeps the session
// states, and the main frame hears of every change through the delegate.
#include "client/controller/app_win_components_controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/controller/testing/fake_module_loader.h"

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
  EXPECT_EQ(controller_->GetAVState(), 2);
  // Errors: sharing and audio end, video stays as it was.
  controller_->NotifySharingError(13, 2);
  controller_->NotifyAudioError(13, 2);
  controller_->NotifyVideoError(13, 2);
  EXPECT_EQ(controller_->GetDSState(), 4);
  EXPECT_EQ(controller_->GetACState(), 4);
  EXPECT_EQ(controller_->GetAVState(), 2);
  EXPECT_EQ(delegate_.calls, (std::vector<std::string>{"ds 2 0", "ac 1 1", "av 2 1", "ds error 13 2",
                                                        "ac error 13 2", "av error 13 2"}));
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

}  // namespace
