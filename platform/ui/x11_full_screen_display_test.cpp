// Full screen on a real display of two monitors with a desktop panel along
// the top of the right one (a dock that reserves its strip) and another
// program's window on it, which has the keyboard focus, with no window
// manager and under twm (no desktop conventions), openbox, metacity (keeps
// title bars on the screen), fluxbox and jwm (tool bars of their own),
// icewm (input-only windows along the screen's edges) and xfwm4 (composes
// the screen): from the first moment the window shows, its client area is
// the whole monitor it was on, nothing is stacked over it and no frame is
// around it; it takes the keyboard focus and keeps it, the screen shows it
// there, and it stays so for three seconds (what a manager does a moment
// after it mapped it); it stays a window the manager lists (task bars and
// window switching read that list); leaving gives it its place back. A
// window made full screen and normal again before it shows is a normal
// window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_desk_testlib.h"
#include "platform/ui/x11_full_screen_watch_testlib.h"

namespace vz {
namespace {

constexpr Rect kLeftMonitor = X11TestDesk::kLeftMonitor;
constexpr Rect kRightMonitor = X11TestDesk::kRightMonitor;
constexpr Color kColour = 0xFF2E8B57;
constexpr int kDeadlineMs = 30000;
// How long full screen must hold once it shows.
constexpr int kHoldMs = 3000;

class Painted : public WindowDelegate {
 public:
  void OnPaint(Canvas& canvas) override { canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, kColour); }
  bool OnKey(const KeyEvent& event) override {
    if (event.pressed) keys.push_back(event.keysym);
    return true;
  }
  std::vector<uint32_t> keys;
};

// The share of an area of the screen that shows the window's colour.
double ShownShare(const std::string& display, const Rect& area) {
  std::optional<Image> grab = CaptureDisplayArea(display.c_str(), area);
  if (!grab) return 0;
  int hits = 0;
  for (int y = 0; y < grab->height(); ++y)
    for (int x = 0; x < grab->width(); ++x) hits += (grab->GetPixel(x, y) | 0xFF000000) == kColour ? 1 : 0;
  return static_cast<double>(hits) / (grab->width() * grab->height());
}

// A picture of the screen for a person to look at: only when
// VZ_TEST_PICTURES names a folder.
void KeepPicture(const std::string& display, const std::string& name) {
  const char* folder = std::getenv("VZ_TEST_PICTURES");
  if (folder == nullptr || *folder == 0) return;
  if (std::optional<Image> picture = CaptureDisplayArea(display.c_str(), Rect{0, 0, 1600, 600})) {
    picture->WritePngFile(std::string(folder) + "/" + name + ".png");
  }
}

// The parameter: the window manager, or "none".
class FullScreenDisplayTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string why;
    bool missing = false;
    if (!desk_.Start(GetParam(), kDeadlineMs, &why, &missing)) {
      if (missing) VZ_SKIP_TEST_WITHOUT(NeedsXvfbAndManager(GetParam())) << why;
      FAIL() << why;
    }
    system_ = OpenDisplayWindowSystem(desk_.display().c_str());
    ASSERT_TRUE(system_);
  }
  void TearDown() override { system_.reset(); }
  // A tiling manager (i3) gives a normal window the size and place of its
  // tile: only a full-screen window's are the program's.
  bool Tiles() const { return GetParam() == "i3"; }
  // Shown as a normal window: at its own size, or in its tile, not covering
  // the monitor.
  bool NormalSize(const X11Cover& cover) const {
    return Tiles() ? cover.client != kRightMonitor && cover.client.Width() > 0
                   : cover.client.GetSize() == kPlace.GetSize();
  }

  bool RunUntil(const std::function<bool()>& done) {
    return env_.RunUntil(loop_, [&] {
      system_->Sync();
      return done();
    }, kDeadlineMs);
  }
  std::unique_ptr<Window> MakeWindow(Painted* delegate) {
    WindowParams params;
    params.bounds = kPlace;
    params.title = "full screen probe";
    return system_->CreateWindow(params, delegate);
  }
  // Whether the window covers the right monitor now, nothing over it and,
  // when `frameless`, no frame around it; what it saw into `seen`.
  bool CoversNow(Window* window, bool frameless, std::string* seen) {
    const X11Cover cover = ReadX11Cover(desk_.display(), window->NativeId());
    double shown = 0;
    bool covers = cover.viewable && cover.client == kRightMonitor && (!frameless || cover.frame == cover.client) &&
                  cover.above.empty();
    if (covers) {
      shown = ShownShare(desk_.display(), kRightMonitor);
      covers = shown == 1.0 && window->bounds() == kRightMonitor;
    }
    if (covers) return true;
    auto text = [](const Rect& r) {
      return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.Width()) + "x" +
             std::to_string(r.Height());
    };
    *seen = "client area " + text(cover.client) + " (viewable " + std::to_string(cover.viewable) + "), frame " +
            text(cover.frame) + ", bounds " + text(window->bounds()) + ", shown " + std::to_string(shown) + ", " +
            std::to_string(cover.above.size()) + " above";
    for (const Rect& overlap : cover.overlaps) *seen += "; covers " + text(overlap);
    return false;
  }
  // Waits until the window covers the right monitor (CoversNow), then
  // watches that it keeps covering it for kHoldMs.
  ::testing::AssertionResult CoversTheRightMonitor(Window* window, bool frameless = true) {
    std::string seen;
    if (!RunUntil([&] { return CoversNow(window, frameless, &seen); })) {
      return ::testing::AssertionFailure() << seen;
    }
    if (!env_.HoldsFor(loop_, [&] {
          system_->Sync();
          return CoversNow(window, frameless, &seen);
        }, kHoldMs)) {
      return ::testing::AssertionFailure() << "it stopped covering the monitor: " << seen;
    }
    return ::testing::AssertionSuccess();
  }

  static constexpr Rect kPlace = Rect{900, 150, 1300, 450};
  DisplayTestEnv& env_ = DisplayTestEnv::Get();
  RunLoop& loop_ = RunLoop::ForCurrentThread();
  X11TestDesk desk_;
  std::unique_ptr<WindowSystem> system_;
};

TEST_P(FullScreenDisplayTest, MadeFullScreenBeforeItShowsItCoversItsMonitorAndTakesTheKeysFromItsFirstMoment) {
  ASSERT_TRUE(desk_.FocusPlainWindow(kDeadlineMs)) << "another program's window did not get the focus";
  Painted painted;
  std::unique_ptr<Window> window = MakeWindow(&painted);
  ASSERT_TRUE(window);
  ASSERT_TRUE(window->SetFullScreen(true));
  EXPECT_EQ(window->bounds(), kRightMonitor);
  FullScreenWatch watch;
  watch.window = window->NativeId();
  watch.monitor = kRightMonitor;
  watch.first_read_ms = kDeadlineMs;
  watch.watch_ms = kHoldMs;
  FullScreenWatcher watcher(desk_.display(), watch);
  window->Show(true);
  EXPECT_EQ(watcher.Result(loop_), "");
  // The screen shows it there, once painted.
  std::string seen;
  EXPECT_TRUE(RunUntil([&] { return CoversNow(window.get(), true, &seen); })) << seen;
  KeepPicture(desk_.display(), "full-screen-" + GetParam());
  // The left monitor keeps what it showed.
  EXPECT_EQ(ShownShare(desk_.display(), kLeftMonitor), 0.0);
  // Still the manager's window: in the list it keeps of them, where it keeps one.
  if (std::optional<std::vector<uint64_t>> managed = ReadX11ClientList(desk_.display())) {
    EXPECT_NE(std::find(managed->begin(), managed->end(), window->NativeId()), managed->end())
        << "not in the manager's _NET_CLIENT_LIST";
  } else {
    EXPECT_TRUE(GetParam() == "none" || GetParam() == "twm") << "the manager keeps no _NET_CLIENT_LIST";
  }

  std::unique_ptr<InputInjector> injector = InputInjector::Open(desk_.display().c_str());
  ASSERT_TRUE(injector);
  injector->MoveTo({1200, 300});
  injector->Tap(keys::kEscape);
  injector->Sync();
  EXPECT_TRUE(RunUntil([&] { return !painted.keys.empty(); }));

  // Back at its place, at its size, on the same monitor.
  ASSERT_TRUE(window->SetFullScreen(false));
  X11Cover cover;
  EXPECT_TRUE(RunUntil([&] {
    cover = ReadX11Cover(desk_.display(), window->NativeId());
    return cover.viewable && NormalSize(cover) && kRightMonitor.Intersect(cover.client) == cover.client &&
           window->bounds() == cover.client;
  })) << cover.client.left << "," << cover.client.top << " " << cover.client.Width() << "x" << cover.client.Height();
  EXPECT_FALSE(window->IsFullScreen());
  // Framed again under a manager (jwm reads the frame hints only when it
  // maps a window: one made full screen before it showed stays unframed).
  if (GetParam() != "none" && GetParam() != "jwm") {
    EXPECT_TRUE(RunUntil([&] {
      cover = ReadX11Cover(desk_.display(), window->NativeId());
      return cover.frame != cover.client;
    })) << "no frame around it";
  }
  KeepPicture(desk_.display(), "full-screen-left-" + GetParam());
}

TEST_P(FullScreenDisplayTest, MadeFullScreenWhileShownItCoversItsMonitor) {
  Painted painted;
  std::unique_ptr<Window> window = MakeWindow(&painted);
  ASSERT_TRUE(window);
  window->Show(true);
  ASSERT_TRUE(RunUntil([&] { return ReadX11Cover(desk_.display(), window->NativeId()).viewable; }));
  ASSERT_TRUE(window->SetFullScreen(true));
  // A manager without the desktop conventions keeps the frame of a window
  // it has (twm's title bar lies above the screen's top).
  EXPECT_TRUE(CoversTheRightMonitor(window.get(), GetParam() != "twm"));
  ASSERT_TRUE(window->SetFullScreen(false));
  X11Cover cover;
  EXPECT_TRUE(RunUntil([&] {
    cover = ReadX11Cover(desk_.display(), window->NativeId());
    return cover.viewable && NormalSize(cover);
  })) << cover.client.left << "," << cover.client.top << " " << cover.client.Width() << "x" << cover.client.Height();
}

// Made full screen and normal again before it shows: it shows as a normal
// window at its place (no full-screen state left for the manager to honour,
// not unmanaged), and can then be made full screen as any other.
TEST_P(FullScreenDisplayTest, FullScreenAndBackBeforeItShowsLeavesANormalWindow) {
  Painted painted;
  std::unique_ptr<Window> window = MakeWindow(&painted);
  ASSERT_TRUE(window);
  ASSERT_TRUE(window->SetFullScreen(true));
  ASSERT_TRUE(window->SetFullScreen(false));
  EXPECT_FALSE(window->IsFullScreen());
  EXPECT_EQ(window->bounds(), kPlace);
  window->Show(true);
  X11Cover cover;
  auto normal = [&] {
    cover = ReadX11Cover(desk_.display(), window->NativeId());
    // A manager may place it anew (openbox keeps it off the dock), but at its size.
    return cover.viewable && NormalSize(cover) && cover.client != kRightMonitor;
  };
  ASSERT_TRUE(RunUntil(normal)) << cover.client.left << "," << cover.client.top << " " << cover.client.Width() << "x"
                                << cover.client.Height();
  EXPECT_TRUE(env_.HoldsFor(loop_, [&] {
    system_->Sync();
    return normal();
  }, kHoldMs)) << cover.client.left << "," << cover.client.top << " " << cover.client.Width() << "x"
               << cover.client.Height();
  // Under a manager it is the manager's window, framed (twm, openbox, ...).
  if (GetParam() != "none") {
    EXPECT_NE(cover.frame, cover.client);
  }
  ASSERT_TRUE(window->SetFullScreen(true));
  EXPECT_TRUE(CoversTheRightMonitor(window.get(), GetParam() != "twm"));
}

INSTANTIATE_TEST_SUITE_P(Managers, FullScreenDisplayTest,
                         ::testing::Values("none", "twm", "openbox", "metacity", "fluxbox", "icewm", "xfwm4", "jwm", "i3"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace vz
