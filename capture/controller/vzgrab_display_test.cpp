// libvzgrab.so loaded by name, as the sharing engine loads it, capturing the
// screen of a private X server.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "capture/controller/capture_testlib.h"
#include "contracts/vz_grab_provider.h"
#include "platform/module_loader.h"
#include "platform/screen/display_changes.h"
#include "platform/scoped_environment_testlib.h"
#include "platform/screen/x11_test_windows_testlib.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/x11_root_paint_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace {

using capture_test::RecordingSink;
using capture_test::ServeUntil;

class VzGrabDisplayTest : public ::testing::Test {
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
    display_ = std::make_unique<vz::ScopedEnvironmentVariable>("DISPLAY", server_->display().c_str());
    if (module_ == nullptr) {
      vz::ModuleLoad load = vz::LoadModule("vzgrab");
      ASSERT_NE(load.module, nullptr) << load.error.reason;
      module_ = load.module;  // never unloaded, as the engine never unloads it
    }
    create_ = reinterpret_cast<DSCreateCaptureFn>(vz::GetModuleOrdinal(module_, 1));
    release_ = reinterpret_cast<DSReleaseCaptureFn>(vz::GetModuleOrdinal(module_, 2));
    ASSERT_NE(create_, nullptr);
    ASSERT_NE(release_, nullptr);
  }

  // Starts capture of the first monitor and serves until its whole picture
  // arrived.
  IVzGrabProvider* StartOnFirstMonitor() {
    IVzGrabProvider* provider = create_(&sink_);
    if (provider == nullptr) return nullptr;
    EXPECT_EQ(provider->StartCapture(nullptr, 2), 1);
    MonitorList* list = provider->GetMonitorList();
    EXPECT_GE(list->Count, 1);
    EXPECT_EQ(provider->ShareMonitor(&list->Monitors[0], 1), 1);
    EXPECT_TRUE(ServeUntil(loop_, [&] {
      provider->CaptureNow();
      return !sink_.screens.empty();
    }));
    return provider;
  }

  static vz::XvfbServer* server_;
  static std::string why_;
  vz::RunLoop loop_{vz::SystemClock()};
  std::unique_ptr<vz::ScopedEnvironmentVariable> display_;
  static vz::ModuleHandle module_;
  DSCreateCaptureFn create_ = nullptr;
  DSReleaseCaptureFn release_ = nullptr;
  RecordingSink sink_;
};

vz::XvfbServer* VzGrabDisplayTest::server_ = nullptr;
std::string VzGrabDisplayTest::why_;
vz::ModuleHandle VzGrabDisplayTest::module_ = nullptr;

TEST_F(VzGrabDisplayTest, ARectangleDrawnOnTheRootArrivesAsOneBoxWithItsPixels) {
  ASSERT_TRUE(vz::FillRootRectangle(server_->display(), 0, 0, 1280, 1024, 0x000000));
  IVzGrabProvider* provider = StartOnFirstMonitor();
  ASSERT_NE(provider, nullptr);
  ASSERT_FALSE(sink_.infos.empty());
  EXPECT_EQ(sink_.infos[0]->Monitors[0].Rect.right, 1280);
  EXPECT_EQ(sink_.screens[0].dirty.right, 1280);
  EXPECT_EQ(sink_.screens[0].dirty.bottom, 1024);

  const size_t before = sink_.screens.size();
  ASSERT_TRUE(vz::FillRootRectangle(server_->display(), 100, 200, 40, 30, 0x00FF00));
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider->CaptureNow();
    return sink_.screens.size() > before;
  }));
  const capture_test::ScreenEvent& change = sink_.screens[before];
  EXPECT_LE(change.dirty.left, 100);
  EXPECT_LE(change.dirty.top, 200);
  EXPECT_GE(change.dirty.right, 140);
  EXPECT_GE(change.dirty.bottom, 230);
  const int width = change.dirty.right - change.dirty.left;
  int wrong = 0;
  for (int y = 200; y < 230; ++y) {
    for (int x = 100; x < 140; ++x) {
      const size_t at = (static_cast<size_t>(y - change.dirty.top) * width + (x - change.dirty.left)) * 4;
      if (change.pixels[at] != 0x00 || change.pixels[at + 1] != 0xFF || change.pixels[at + 2] != 0x00) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_FALSE(sink_.wrong_thread);
  EXPECT_EQ(release_(provider), 1);
}

TEST_F(VzGrabDisplayTest, ASharedWindowArrivesWithItsCoveredPartInTheHeaderColour) {
  auto windows = vz::X11TestWindows::Open(server_->display());
  ASSERT_NE(windows, nullptr);
  const uint64_t shared = windows->Create(100, 100, 300, 200, 0x2080C0, 4242);
  const uint64_t other = windows->Create(300, 250, 200, 200, 0xC04020, 4343);
  windows->PublishStacking({shared, other});

  IVzGrabProvider* provider = create_(&sink_);
  ASSERT_NE(provider, nullptr);
  ASSERT_EQ(provider->StartCapture(nullptr, 2), 1);
  ApplicationList* list = provider->GetWindowList();
  ApplicationInfo* record = nullptr;
  for (int i = 0; i < list->Count; ++i) {
    if (list->Applications[i].Window == static_cast<VzWindowHandle>(shared)) record = &list->Applications[i];
  }
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(provider->ShareWindow(record, 1), 1);
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider->CaptureNow();
    return !sink_.screens.empty();
  }));
  ASSERT_FALSE(sink_.infos.empty());
  EXPECT_EQ(sink_.infos.back()->IsDesktopSharing, 0);
  EXPECT_EQ(sink_.infos.back()->ApplicationCount, 1);
  const capture_test::ScreenEvent& box = sink_.screens[0];
  EXPECT_EQ(box.dirty.left, 100);
  EXPECT_EQ(box.dirty.top, 100);
  EXPECT_EQ(box.dirty.right, 400);
  EXPECT_EQ(box.dirty.bottom, 300);
  const int width = box.dirty.right - box.dirty.left;
  auto at = [&](int x, int y) {  // screen coordinates; B, G, R of the sent pixel
    const size_t i = (static_cast<size_t>(y - box.dirty.top) * width + (x - box.dirty.left)) * 4;
    return static_cast<uint32_t>(box.pixels[i] | box.pixels[i + 1] << 8 | box.pixels[i + 2] << 16);
  };
  EXPECT_EQ(at(100, 100), 0x2080C0u);
  EXPECT_EQ(at(300, 249), 0x2080C0u);
  EXPECT_EQ(at(300, 250), 0xFF8400u);  // covered: the header colour 0x0084FF as B, G, R
  EXPECT_EQ(at(399, 299), 0xFF8400u);
  EXPECT_EQ(release_(provider), 1);
}

TEST_F(VzGrabDisplayTest, StopCaptureReturnsPromptlyWhileAHandOverWaits) {
  IVzGrabProvider* provider = StartOnFirstMonitor();
  ASSERT_NE(provider, nullptr);
  const size_t before = sink_.screens.size();
  ASSERT_TRUE(vz::FillRootRectangle(server_->display(), 500, 500, 64, 64, 0xFF0000));
  provider->CaptureNow();
  // The loop is not served: the round's hand-over waits for it.
  const uint64_t begin = vz::MonotonicMs();
  EXPECT_EQ(provider->StopCapture(), 1);
  // Waiting for the hand-over would never end; a loaded machine may still take a while.
  EXPECT_LT(vz::MonotonicMs() - begin, 30000u);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.screens.size(), before);
  EXPECT_EQ(release_(provider), 1);
}

TEST_F(VzGrabDisplayTest, AModeSetOfTheServerIsReportedAsADisplayChange) {
  int changes = 0;
  auto watch = vz::WatchDisplayChanges(loop_, server_->display(), [&changes] { ++changes; });
  ASSERT_NE(watch, nullptr);
  loop_.RunUntilIdle();
  EXPECT_EQ(changes, 0);
  // A smaller mode on the monitor, then back.
  if (!vz::SetScreenSize(server_->display(), 1024, 768)) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsScreenResize) << "the X server keeps its mode";
  }
  EXPECT_TRUE(ServeUntil(loop_, [&] { return changes > 0; }));
  const int after_first = changes;
  ASSERT_TRUE(vz::SetScreenSize(server_->display(), 1280, 1024));
  EXPECT_TRUE(ServeUntil(loop_, [&] { return changes > after_first; }));
}

TEST_F(VzGrabDisplayTest, AModeChangeRebuildsTheCaptureWithTheNewMonitorSize) {
  IVzGrabProvider* provider = StartOnFirstMonitor();
  ASSERT_NE(provider, nullptr);
  const size_t infos = sink_.infos.size();
  const size_t screens = sink_.screens.size();
  if (!vz::SetScreenSize(server_->display(), 1024, 768)) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsScreenResize) << "the X server keeps its mode";
  }
  EXPECT_TRUE(ServeUntil(loop_, [&] {
    provider->CaptureNow();
    return sink_.infos.size() > infos && sink_.infos.back()->Monitors[0].Rect.right == 1024;
  }));
  // The refresh that follows the rebuild sends the whole new monitor (it may
  // have arrived with the sharing info already).
  EXPECT_TRUE(ServeUntil(loop_, [&] {
    provider->CaptureNow();
    for (size_t i = screens; i < sink_.screens.size(); ++i) {
      if (sink_.screens[i].dirty.right == 1024 && sink_.screens[i].dirty.left == 0) return true;
    }
    return false;
  }));
  EXPECT_TRUE(vz::SetScreenSize(server_->display(), 1280, 1024));
  EXPECT_TRUE(ServeUntil(loop_, [&] {
    provider->CaptureNow();
    return sink_.infos.back()->Monitors[0].Rect.right == 1280;
  }));
  EXPECT_EQ(release_(provider), 1);
}

TEST_F(VzGrabDisplayTest, TheLibraryRefusesASecondInstance) {
  IVzGrabProvider* provider = create_(&sink_);
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(create_(&sink_), nullptr);
  EXPECT_EQ(release_(nullptr), 0);
  EXPECT_EQ(release_(provider), 1);
}

}  // namespace
