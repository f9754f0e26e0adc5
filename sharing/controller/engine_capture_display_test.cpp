// The whole road on a private X server: the real capture library (vzgrab,
// loaded by name by the engine) reads the screen, the presenter's engine
// turns it into tiles, and an attendee's engine joined through the
// transport stand-in rebuilds it. Skipped when Xvfb is missing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/scoped_environment_testlib.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/x11_root_paint_testlib.h"
#include "platform/ui/xvfb_testlib.h"
#include "sharing/controller/engine_loopback_rig_testlib.h"

namespace {

using engine_test::LoopbackClient;
using engine_test::LoopbackConfig;

class EngineCaptureDisplayTest : public engine_test::EngineLoopbackRig {
 protected:
  static void SetUpTestSuite() {
    server_ = new vz::XvfbServer;
    if (!server_->Start(&why_)) {
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (server_ == nullptr) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why_;
    EngineLoopbackRig::SetUp();
    display_ = std::make_unique<vz::ScopedEnvironmentVariable>("DISPLAY", server_->display().c_str());
  }

  // The attendee's pixel (x, y) of monitor 1 as 0xRRGGBB, or -1 without a frame.
  static int64_t Pixel(LoopbackClient& client, int32_t width, int x, int y) {
    if (client.frames.count(1) == 0) return -1;
    const uint8_t* p = client.frames[1] + (static_cast<size_t>(y) * width + x) * 4;
    return (p[2] << 16) | (p[1] << 8) | p[0];
  }

  static vz::XvfbServer* server_;
  static std::string why_;
  std::unique_ptr<vz::ScopedEnvironmentVariable> display_;
};

vz::XvfbServer* EngineCaptureDisplayTest::server_ = nullptr;
std::string EngineCaptureDisplayTest::why_;

TEST_F(EngineCaptureDisplayTest, TheCapturedScreenIsRebuiltOnTheAttendee) {
  ASSERT_TRUE(vz::FillRootRectangle(server_->display(), 0, 0, 1280, 1024, 0x102030));
  LoopbackClient& presenter = NewClient();
  LoopbackClient& attendee = NewClient();
  // The presenter's engine loads the real capture library.
  EngineOptions options;
  options.create_codec = [] { return new CCodecMgrWin("vzrawcodec"); };
  presenter.after_call = [&presenter](const std::string&) { presenter.Check(); };
  presenter.engine = new CEnginController(&presenter, options);
  clients_.push_back(&presenter);
  DSSessionConfig config = LoopbackConfig(u"ds-x11", u"alice", true);
  ASSERT_EQ(presenter.engine->StartDS(nullptr, &config, nullptr), 1);
  Start(attendee, LoopbackConfig(u"ds-x11", u"bob", false), "vzrawcodec");
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));

  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 2), 1);
  MonitorList* monitors = presenter.engine->GetMonitorList();
  ASSERT_NE(monitors, nullptr);
  ASSERT_GE(monitors->Count, 1);
  ASSERT_EQ(presenter.engine->ShareMonitor(&monitors->Monitors[0], 1), 1);
  const int32_t width = monitors->Monitors[0].Rect.right - monitors->Monitors[0].Rect.left;
  ASSERT_TRUE(RunUntil([&] {
    presenter.engine->CaptureNow();
    return Pixel(attendee, width, 5, 5) == 0x102030 && Pixel(attendee, width, 1270, 1020) == 0x102030;
  }));

  ASSERT_TRUE(vz::FillRootRectangle(server_->display(), 300, 200, 50, 40, 0x00ff00));
  ASSERT_TRUE(RunUntil([&] {
    presenter.engine->CaptureNow();
    return Pixel(attendee, width, 320, 220) == 0x00ff00;
  }));
  EXPECT_EQ(Pixel(attendee, width, 299, 220), 0x102030);
  EXPECT_EQ(Pixel(attendee, width, 350, 220), 0x102030);

  presenter.engine->StopDS();
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("status 4"); }));
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread);
}

}  // namespace
