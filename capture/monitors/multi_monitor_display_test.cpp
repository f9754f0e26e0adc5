// The monitor set over the X11 screen of a private X server: a shared window
// with another client's window over part of it, and the list of windows to
// share under each kind of desktop.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/monitors/capture_screens.h"
#include "capture/monitors/changed_box_sender.h"
#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/sharing_rgn_controller.h"
#include "platform/run_loop.h"
#include "platform/screen/screen_source.h"
#include "platform/screen/x11_picture_windows_testlib.h"
#include "platform/screen/x11_test_windows_testlib.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace {

class KeepingHandOver : public IChangedBoxSender {
 public:
  bool SendScreenData(int32_t, const VzRect& monitor_rect, int32_t, const VzRect& box, const uint8_t* pixels,
                      int32_t stride) override {
    box_ = box;
    pixels_.assign(pixels, pixels + static_cast<size_t>(stride) * (monitor_rect.bottom - monitor_rect.top));
    stride_ = stride;
    ++count_;
    return true;
  }
  uint32_t At(int x, int y) const {  // monitor coordinates, X byte dropped
    uint32_t pixel;
    std::memcpy(&pixel, pixels_.data() + static_cast<size_t>(y) * stride_ + x * 4, 4);
    return pixel & 0x00FFFFFFu;
  }
  VzRect box_{};
  std::vector<uint8_t> pixels_;
  int stride_ = 0;
  int count_ = 0;
};

TEST(MultiMonitorDisplayTest, TheCoveredPartOfASharedWindowArrivesInTheHeaderColour) {
  vz::XvfbServer server;
  std::string why;
  if (!server.Start(&why)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
  auto windows = vz::X11TestWindows::Open(server.display());
  ASSERT_NE(windows, nullptr);
  const uint64_t shared = windows->Create(100, 100, 300, 200, 0x2080C0, 4242);
  const uint64_t other = windows->Create(300, 250, 200, 200, 0xC04020, 4343);
  windows->PublishStacking({shared, other});

  auto source = vz::OpenX11ScreenSource({server.display(), true});
  ASSERT_NE(source, nullptr);
  CMultiMonitor monitors(1);
  CSharingRgnController regions(1);
  CCaptureScreens screens(monitors, regions);
  const IsOwnWindowFn none = [](VzWindowHandle) { return false; };
  monitors.Reset(source.get());
  monitors.RefreshWindows(*source);
  ASSERT_EQ(monitors.ShareWindow(static_cast<VzWindowHandle>(shared), 1, source.get()), 1);
  int width = 0, height = 0;
  ASSERT_TRUE(screens.InitScreen(*source, none, &width, &height));
  KeepingHandOver hand_over;
  ASSERT_TRUE(screens.DumpAllScreens(0xff0084ff, hand_over));
  ASSERT_EQ(hand_over.count_, 1);
  EXPECT_EQ(hand_over.box_.left, 100);
  EXPECT_EQ(hand_over.box_.top, 100);
  EXPECT_EQ(hand_over.box_.right, 400);
  EXPECT_EQ(hand_over.box_.bottom, 300);
  EXPECT_EQ(hand_over.At(100, 100), 0x2080C0u);
  EXPECT_EQ(hand_over.At(299, 299), 0x2080C0u);
  EXPECT_EQ(hand_over.At(300, 250), 0xFF8400u);  // B 00, G 84, R FF
  EXPECT_EQ(hand_over.At(399, 299), 0xFF8400u);
  EXPECT_EQ(hand_over.At(300, 249), 0x2080C0u);

  // The other window moves away: the shared area changed.
  EXPECT_TRUE(screens.RegionsUnchanged(*source, none));
  windows->Move(other, 600, 250);
  windows->PublishStacking({shared, other});
  EXPECT_FALSE(screens.RegionsUnchanged(*source, none));
}

class Blank : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override { canvas.FillRect({0, 0, 10, 10}, 0xFF808080); }
};

// Serves the run loop until `done` holds, for at most 30 s.
bool ServeUntil(vz::RunLoop& loop, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool met = done();
  if (met) return true;
  int owner = 0;
  loop.StartTimer(&owner, 1, 20, [&] {
    met = done();
    if (met || std::chrono::steady_clock::now() > deadline) loop.Quit();
  });
  loop.Run();
  loop.KillTimer(&owner, 1);
  return met;
}

bool Listed(const ApplicationList& list, uint64_t window) {
  for (int i = 0; i < list.Count; ++i)
    if (list.Applications[i].Window == static_cast<VzWindowHandle>(window)) return true;
  return false;
}

// The presenter picks from the windows of other programs, under no window
// manager, under twm (which publishes no stacking list) and under openbox
// (which does). This program's own windows, made by the window layer as the
// selection window and the video panel are, name this process and are left
// out.
class WindowListDisplayTest : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowListDisplayTest, OtherProgramsWindowsAreListedThisProgramsOwnAreNot) {
  vz::XvfbServer server;
  std::string why;
  if (!server.Start(&why, 1024, 768)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
  const std::string manager_name = GetParam();
  std::unique_ptr<vz::X11WindowManager> manager;
  if (manager_name != "none") {
    manager = vz::X11WindowManager::Start(manager_name, server.display(), 30000, &why);
    if (!manager) VZ_SKIP_TEST_WITHOUT(vz::NeedsPackage(manager_name)) << why;
  }
  auto others = vz::X11PictureWindows::Open(server.display());
  ASSERT_NE(others, nullptr);
  const uint64_t editor = others->CreateWindow(40, 60, 300, 200, "Editor");
  const uint64_t notes = others->CreateWindow(400, 60, 300, 200, "Notes");
  ASSERT_NE(editor, 0u);
  ASSERT_NE(notes, 0u);

  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  std::unique_ptr<vz::WindowSystem> system = vz::OpenDisplayWindowSystem(server.display().c_str());
  ASSERT_NE(system, nullptr);
  Blank blank;
  std::vector<std::unique_ptr<vz::Window>> own;
  for (uint32_t flags : {0u, static_cast<uint32_t>(vz::kWindowDialog),
                         static_cast<uint32_t>(vz::kWindowDialog | vz::kWindowTool)}) {
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(100 + static_cast<int>(own.size()) * 150, 400, 140, 120);
    params.flags = flags;
    params.title = "own window " + std::to_string(own.size());
    own.push_back(system->CreateWindow(params, &blank));
    ASSERT_NE(own.back(), nullptr);
    own.back()->Show();
  }

  auto source = vz::OpenX11ScreenSource({server.display(), true});
  ASSERT_NE(source, nullptr);
  CMultiMonitor monitors(getpid());  // as the capture library makes it
  // Once the own windows are shown (under a manager: taken into its care)
  // they are on the screen's list of windows, naming this process.
  auto own_on_screen = [&] {
    const std::vector<vz::ScreenWindow> windows = source->Windows();
    return std::all_of(own.begin(), own.end(), [&](const std::unique_ptr<vz::Window>& window) {
      return std::any_of(windows.begin(), windows.end(), [&](const vz::ScreenWindow& w) {
        return w.id == window->NativeId() && w.visible && w.pid == getpid();
      });
    });
  };
  const ApplicationList* list = nullptr;
  EXPECT_TRUE(ServeUntil(loop, [&] {
    list = monitors.RefreshWindows(*source);
    return own_on_screen() && Listed(*list, editor) && Listed(*list, notes);
  })) << "under " << manager_name;
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(Listed(*list, editor)) << "under " << manager_name;
  EXPECT_TRUE(Listed(*list, notes)) << "under " << manager_name;
  for (const auto& window : own) EXPECT_FALSE(Listed(*list, window->NativeId())) << "under " << manager_name;
  // A record carries the other program's title.
  for (int i = 0; i < list->Count; ++i) {
    if (list->Applications[i].Window != static_cast<VzWindowHandle>(editor)) continue;
    EXPECT_EQ(std::u16string(list->Applications[i].Title), u"Editor") << "under " << manager_name;
  }
  own.clear();
  system.reset();
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowListDisplayTest, ::testing::Values("none", "twm", "openbox"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
