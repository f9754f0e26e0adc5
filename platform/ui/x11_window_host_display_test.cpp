// Windows and the rest of the desktop: a window made inside another
// program's window fills it, hears of its size and outlives its going as an
// empty shell; icons and minimum sizes reach the window manager; a window
// manager's minimise and restore reach the window once each.
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/platform_log_sink_testlib.h"
#include "platform/run_loop.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_window_test_testlib.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_foreign_window_testlib.h"

namespace vz {
namespace {

using X11HostedWindowTest = DisplayWindowTest;
using X11WindowHintsTest = DisplayWindowTest;
using X11WindowManagerTest = TwmDisplayWindowTest;

class Recorder : public WindowDelegate {
 public:
  void OnPaint(Canvas& canvas) override {
    canvas.FillRect(Rect{0, 0, 4096, 4096}, 0xFF33AA55);
    ++paints;
  }
  void OnMinimize(bool minimized) override { minimizes.push_back(minimized); }
  void OnHostResize(Size size) override { host_sizes.push_back(size); }
  void OnHostGone() override { ++gone; }
  void OnFocus(bool focused) override { ever_focused = ever_focused || focused; }
  int paints = 0;
  bool ever_focused = false;
  int gone = 0;
  std::vector<bool> minimizes;
  std::vector<Size> host_sizes;
};

bool ShowsColour(const std::string& display, Point p, Color colour) {
  std::optional<Image> pixel = CaptureDisplayArea(display.c_str(), Rect::FromXYWH(p.x, p.y, 1, 1));
  return pixel && (pixel->GetPixel(0, 0) & 0xFFFFFF) == (colour & 0xFFFFFF);
}

TEST_F(X11HostedWindowTest, FillsItsHostFollowsItsSizeAndIsAShellOnceTheHostGoes) {
  std::unique_ptr<X11ForeignWindow> host = X11ForeignWindow::Create(display(), Rect::FromXYWH(100, 120, 300, 200), 0x202020);
  ASSERT_TRUE(host);

  Recorder recorder;
  WindowParams params;
  params.host = host->id();
  params.title = "inside";
  std::unique_ptr<Window> window = system_->CreateWindow(params, &recorder);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->bounds(), (Rect{0, 0, 300, 200}));
  EXPECT_EQ(host->Children(), std::vector<uint64_t>{window->NativeId()});
  EXPECT_EQ(window->ToScreen({5, 6}), (Point{105, 126}));
  window->Show(true);
  ASSERT_TRUE(RunUntil([&] { return ShowsColour(display(), {399, 319}, 0xFF33AA55); }, 30000));

  // The host's size is reported; the window itself stays until told.
  host->Resize(500, 260);
  ASSERT_TRUE(RunUntil([&] { return !recorder.host_sizes.empty(); }, 30000));
  EXPECT_EQ(recorder.host_sizes.back(), (Size{500, 260}));
  window->SetBounds({0, 0, 500, 260});
  ASSERT_TRUE(RunUntil([&] { return ShowsColour(display(), {599, 379}, 0xFF33AA55); }, 30000));

  // The host goes, and our display window with it: told once, and every
  // call on the shell after that is harmless.
  host->Destroy();
  ASSERT_TRUE(RunUntil([&] { return recorder.gone > 0; }, 30000));
  EXPECT_EQ(recorder.gone, 1);
  EXPECT_EQ(window->NativeId(), 0u);
  EXPECT_FALSE(window->IsVisible());
  window->SetBounds({0, 0, 50, 50});
  window->Show(true);
  window->Invalidate();
  window->SetTitle("still here");
  EXPECT_TRUE(window->SetIcon(Image(16, 16)));
  system_->Sync();
  RunUntil([] { return false; }, 200);
  EXPECT_EQ(recorder.gone, 1);
  window.reset();
  system_->Sync();
}

TEST_F(X11HostedWindowTest, AHostThatIsNotThereRefusesTheWindow) {
  std::unique_ptr<X11ForeignWindow> host = X11ForeignWindow::Create(display(), Rect::FromXYWH(0, 0, 50, 50), 0);
  ASSERT_TRUE(host);
  const uint64_t gone = host->id();
  host->Destroy();
  Recorder recorder;
  WindowParams params;
  params.host = gone;
  EXPECT_EQ(system_->CreateWindow(params, &recorder), nullptr);
  params.host = 0x7FFFFFF0;  // never made
  EXPECT_EQ(system_->CreateWindow(params, &recorder), nullptr);
  // The connection is still good.
  params.host = 0;
  params.bounds = Rect::FromXYWH(10, 10, 40, 40);
  EXPECT_NE(system_->CreateWindow(params, &recorder), nullptr);
}

TEST_F(X11WindowHintsTest, TheIconAndTheMinimumSizeReachTheWindowManager) {
  Recorder recorder;
  WindowParams params;
  params.bounds = Rect::FromXYWH(10, 10, 700, 500);
  params.min_size = {642, 474};
  std::unique_ptr<Window> window = system_->CreateWindow(params, &recorder);
  ASSERT_TRUE(window);
  EXPECT_EQ(ReadDisplayWindowMinimumSize(display(), window->NativeId()), (Size{642, 474}));

  // Plain colours, alpha kept: a half-transparent pixel must not come back
  // darkened by premultiplication.
  Image icon(3, 2);
  icon.FillForTesting(0xFFFF0000);
  icon.SetPixel(1, 1, 0x800000FF);
  ASSERT_TRUE(window->SetIcon(icon));
  std::optional<Image> read = ReadDisplayWindowIcon(display(), window->NativeId());
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->size(), (Size{3, 2}));
  EXPECT_EQ(read->GetPixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(read->GetPixel(1, 1) >> 24, 0x80u);
  EXPECT_GE(read->GetPixel(1, 1) & 0xFF, 0xFDu);

  EXPECT_FALSE(window->SetIcon(Image()));
  EXPECT_FALSE(window->SetIcon(Image(257, 16)));
  EXPECT_EQ(ReadDisplayWindowIcon(display(), window->NativeId())->size(), (Size{3, 2})) << "kept";
  params.parent = window.get();
  params.bounds = Rect::FromXYWH(0, 0, 10, 10);
  std::unique_ptr<Window> child = system_->CreateWindow(params, &recorder);
  ASSERT_TRUE(child);
  EXPECT_FALSE(child->SetIcon(icon));
}

// Under a window manager (twm on a server of the test's own): minimising
// through the manager and mapping again are reported once each; the
// program's own hide and show are not a minimise.
TEST_F(X11WindowManagerTest, MinimiseAndRestoreAreReportedOnceEach) {
  Recorder recorder;
  WindowParams params;
  params.bounds = Rect::FromXYWH(100, 100, 300, 200);
  params.title = "minimise me";
  std::unique_ptr<Window> window = system_->CreateWindow(params, &recorder);
  ASSERT_TRUE(window);
  window->Show(true);
  ASSERT_TRUE(RunUntil([&] { return Framed(window->NativeId()) && recorder.paints > 0; }, 60000))
      << "twm did not take the window";

  // The program hiding and showing its window is no minimise.
  window->Hide();
  system_->Sync();
  window->Show(true);
  RunUntil([] { return false; }, 300);
  EXPECT_TRUE(recorder.minimizes.empty());

  // Asked again each second: twm ignores the request while it has not yet
  // taken the window back after the program's show (a loaded machine).
  ASSERT_TRUE(IconifyDisplayWindow(display(), window->NativeId()));
  uint64_t asked_ms = MonotonicMs();
  ASSERT_TRUE(RunUntil(
      [&] {
        if (MonotonicMs() - asked_ms >= 1000) {
          IconifyDisplayWindow(display(), window->NativeId());
          asked_ms = MonotonicMs();
        }
        return !recorder.minimizes.empty();
      },
      60000));
  EXPECT_EQ(recorder.minimizes, std::vector<bool>{true});
  EXPECT_TRUE(window->IsMinimized());

  ASSERT_TRUE(MapDisplayWindow(display(), window->NativeId()));
  ASSERT_TRUE(RunUntil([&] { return recorder.minimizes.size() >= 2; }, 60000));
  RunUntil([] { return false; }, 300);
  EXPECT_EQ(recorder.minimizes, (std::vector<bool>{true, false}));
  EXPECT_FALSE(window->IsMinimized());
  window.reset();
  system_.reset();
}

// Under a window manager a new window is viewable only once the manager
// has mapped it: a focus asked for at once is given then, with no X error.
TEST_F(X11WindowManagerTest, AFocusAskedBeforeTheManagerMapsTheWindowIsGivenOnceItDoes) {
  CapturedPlatformLog log;
  Recorder recorder;
  WindowParams params;
  params.bounds = Rect::FromXYWH(100, 100, 300, 200);
  params.title = "focus me";
  std::unique_ptr<Window> window = system_->CreateWindow(params, &recorder);
  ASSERT_TRUE(window);
  window->Show(false);
  window->Raise();
  window->Focus();
  system_->Sync();
  // (The manager may take the focus away again by its own rules.)
  ASSERT_TRUE(RunUntil([&] { return recorder.ever_focused; }, 60000)) << "the window never got the focus";
  EXPECT_FALSE(log.Has({"X error"})) << log.lines().front();
  window.reset();
  system_.reset();
}

}  // namespace
}  // namespace vz
