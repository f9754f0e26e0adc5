// A client that stops or deletes the engine from inside one of its
// callbacks: the engine goes silent at once and is released only when its
// own frames have returned (the sanitizer builds check the memory).
#include <gtest/gtest.h>

#include "sharing/controller/engine_controller.h"
#include "sharing/controller/engine_testlib.h"

namespace {

using engine_test::FakeDsTp;
using engine_test::FakeGrab;
using engine_test::RecordingHostSink;
using Calls = std::vector<std::string>;

class EngineReleaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(FakeGrab(), nullptr);
    FakeGrab()->Reset();
    EngineOptions options;
    options.create_tp = [this](IDSTpSink*) -> IDSTp* { return &tp_; };
    options.release_tp = [this](IDSTp*) {
      ++tp_released_;
      released_while_engine_alive_ = engine_ != nullptr;
    };
    options.grab_library = kFakeGrabLibrary;
    engine_ = new CEnginController(&host_, options);
    DSSessionConfig config{};
    config.IsPresenter = 1;
    ASSERT_EQ(engine_->StartDS(nullptr, &config, nullptr), 1);
  }
  void TearDown() override {
    if (engine_ != nullptr) engine_->DeleteInstance();
  }
  // The client's usual way out: stop, then delete.
  void StopAndDelete() {
    engine_->StopDS();
    engine_->DeleteInstance();
    engine_ = nullptr;
  }

  RecordingHostSink host_;
  FakeDsTp tp_;
  int tp_released_ = 0;
  bool released_while_engine_alive_ = false;
  CEnginController* engine_ = nullptr;
};

TEST_F(EngineReleaseTest, StopAndDeleteInsideTheStatusCallback) {
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  CEnginController* engine = engine_;
  host_.after_call = [&](const std::string& call) {
    if (call == "status 2") StopAndDelete();
  };
  engine->OnTPStatusNotification(2);
  EXPECT_EQ(host_.calls, Calls{"status 2"});
  EXPECT_EQ(tp_released_, 1);
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
}

TEST_F(EngineReleaseTest, DeleteAloneInsideTheErrorCallbackStopsTheSessionToo) {
  CEnginController* engine = engine_;
  host_.after_call = [&](const std::string& call) {
    if (call != "error 20 50") return;
    engine_->DeleteInstance();
    engine_ = nullptr;
  };
  engine->OnTPErrorNotification(20, 50);
  EXPECT_EQ(host_.calls, Calls{"error 20 50"});
  EXPECT_EQ(tp_released_, 1);
}

TEST_F(EngineReleaseTest, StopInsideACallbackReleasesOnlyWhenTheEngineReturns) {
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  host_.after_call = [&](const std::string& call) {
    if (call != "status 2") return;
    engine_->StopDS();
    // Still on the engine's stack: nothing of it has gone yet.
    EXPECT_EQ(tp_released_, 0);
    EXPECT_NE(FakeGrab()->Live(), nullptr);
  };
  engine_->OnTPStatusNotification(2);
  EXPECT_EQ(tp_released_, 1);
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  EXPECT_TRUE(released_while_engine_alive_);
  // Silent from then on, and a second session is refused.
  engine_->OnTPStatusNotification(4);
  DSSessionConfig config{};
  EXPECT_EQ(engine_->StartDS(nullptr, &config, nullptr), 0);
  EXPECT_EQ(host_.calls, Calls{"status 2"});
}

TEST_F(EngineReleaseTest, DeleteInsideTheCapturesSharingInfoReport) {
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  engine_->OnTPStatusNotification(2);
  host_.after_call = [&](const std::string& call) {
    if (call.rfind("sharing_info", 0) == 0) StopAndDelete();
  };
  SharingInfo info{};
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = 1;
  info.Monitors[0].Rect = {0, 0, 640, 480};
  info.Monitors[0].BitsPerPixel = 32;
  // The capture reports, as its helper window would, while the client is
  // inside StartCapture... here directly through the capture's sink.
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);
  EXPECT_EQ(host_.calls, (Calls{"status 2", "shared 1", "sharing_info 1"}));
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  EXPECT_EQ(tp_released_, 1);
}

TEST_F(EngineReleaseTest, DeleteFromACaptureReportInsideStartCapture) {
  struct Context {
    EngineReleaseTest* test;
  } context{this};
  host_.after_call = [&](const std::string& call) {
    if (call.rfind("sharing_info", 0) == 0) StopAndDelete();
  };
  FakeGrab()->SetOnStart(
      [](void* raw) {
        SharingInfo info{};
        info.MonitorCount = 1;
        info.Monitors[0].MonitorId = 1;
        FakeGrab()->Sink()->OnDSKeSharingInfo(&info);
        (void)raw;
      },
      &context);
  CEnginController* engine = engine_;
  EXPECT_EQ(engine->StartCapture(nullptr, 3), 1);
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  EXPECT_EQ(tp_released_, 1);
}

}  // namespace
