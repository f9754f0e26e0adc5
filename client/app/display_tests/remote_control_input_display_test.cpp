// Remote control's input on a private X server: a remote click and remote
// keys reach a real window through XTest at the mapped point, the position
// reads back, and a move of the real pointer trips the watchdog.
#include <gtest/gtest.h>

#include <cstring>

#include "client/sharingui/remote_control_input.h"
#include "platform/run_loop.h"
#include "platform/ui/display_window_test_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"

namespace {

using RemoteControlInputOnDisplay = vz::DisplayWindowTest;

class Target : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override {
    ++paints;
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, 0xFF406080);
  }
  void OnMouse(const vz::MouseEvent& e) override {
    if (e.action == vz::MouseAction::kPress) presses.push_back({e.position, e.button});
    if (e.action == vz::MouseAction::kRelease) ++releases;
    if (e.action == vz::MouseAction::kWheel) wheels.push_back(e.wheel_delta);
  }
  bool OnKey(const vz::KeyEvent& e) override {
    if (e.pressed) keysyms.push_back(e.keysym);
    return true;
  }
  void OnFocus(bool f) override { focused = f; }
  int paints = 0;
  std::vector<std::pair<vz::Point, vz::MouseButton>> presses;
  int releases = 0;
  std::vector<int> wheels;
  std::vector<uint32_t> keysyms;
  bool focused = false;
};

class WholeScreen : public IRemoteControlOwner {
 public:
  WholeScreen() {
    std::memset(&monitor, 0, sizeof(monitor));
    monitor.MonitorId = 1;
    monitor.Rect = {0, 0, 1280, 1024};
    monitor.LogicalRect = monitor.Rect;
    monitor.DpiScale = 1.0f;
  }
  const MonitorInfo* GetMonitorInfo(int32_t id) override { return id == 1 ? &monitor : nullptr; }
  VzRect GetSharedRect() override { return monitor.Rect; }
  void CaptureNow() override { ++captures; }
  void SetRemoteControlPaused() override { ++pauses; }
  MonitorInfo monitor;
  int captures = 0;
  int pauses = 0;
};

DSCommandRecord Record() {
  DSCommandRecord r;
  std::memset(&r, 0, sizeof(r));
  return r;
}

TEST_F(RemoteControlInputOnDisplay, ARemoteClickAndKeysReachTheWindowUnderTheMappedPoint) {
  std::unique_ptr<vz::InputInjector> injector = OpenInjector();
  ASSERT_TRUE(injector);

  Target target;
  auto window = ShowTopWindow(&target, vz::Rect::FromXYWH(200, 150, 300, 200), "remote target");
  ASSERT_TRUE(window);
  ASSERT_TRUE(RunUntil([&] { return target.paints > 0 && target.focused; }));

  WholeScreen owner;
  CDSRemoteControlInput input(&owner, injector.get());
  DSCommandRecord click = Record();
  click.MouseType = 20;  // left click, held 100 ms
  click.MouseMonitorId = 1;
  click.MouseX = 260;
  click.MouseY = 230;
  input.ExecuteRemoteMouseControling(click);
  EXPECT_EQ(input.last_position_for_testing(), (vz::Point{260, 230}));  // read back after the display took it
  EXPECT_EQ(injector->PointerPosition(), (vz::Point{260, 230}));
  ASSERT_TRUE(RunUntil([&] { return !target.presses.empty() && target.releases > 0; }));
  EXPECT_EQ(target.presses[0].first, (vz::Point{60, 80}));
  EXPECT_EQ(target.presses[0].second, vz::MouseButton::kLeft);

  DSCommandRecord key = Record();
  key.KeyMonitorId = 1;
  key.KeyWParam = 0x42;  // B
  key.KeyType = 1;
  input.ExecuteRemoteKeyboardControling(key);
  EXPECT_TRUE(injector->IsKeyDown(0x62));
  key.KeyType = 2;
  input.ExecuteRemoteKeyboardControling(key);
  EXPECT_FALSE(injector->IsKeyDown(0x62));
  key.KeyWParam = 0x12;  // Alt never reaches the window
  key.KeyType = 1;
  input.ExecuteRemoteKeyboardControling(key);
  ASSERT_TRUE(RunUntil([&] { return !target.keysyms.empty(); }));
  EXPECT_EQ(target.keysyms, (std::vector<uint32_t>{0x62}));

  // The wheel: a notch per 120 of delta, and a part of a notch still turns it once.
  DSCommandRecord wheel = Record();
  wheel.MouseType = 2;
  wheel.MouseMonitorId = 1;
  wheel.MouseX = 260;
  wheel.MouseY = 230;
  wheel.MouseWParam = -60;
  input.ExecuteRemoteMouseControling(wheel);
  wheel.MouseWParam = 240;
  input.ExecuteRemoteMouseControling(wheel);
  ASSERT_TRUE(RunUntil([&] { return target.wheels.size() >= 3; }));
  EXPECT_EQ(target.wheels, (std::vector<int>{-1, 1, 1}));

  // The pointer as the last remote event left it: no pause. Moved locally: paused, held keys released.
  input.onRemoteControlTimer();
  EXPECT_EQ(owner.pauses, 0);
  key.KeyWParam = 0x10;  // Shift, held by the remote side
  input.ExecuteRemoteKeyboardControling(key);
  EXPECT_TRUE(injector->IsKeyDown(0xFFE1));
  injector->MoveTo({700, 700});
  input.onRemoteControlTimer();
  EXPECT_EQ(owner.pauses, 1);
  EXPECT_FALSE(injector->IsKeyDown(0xFFE1));
  EXPECT_FALSE(input.IsWatchdogArmedForTesting());
}

}  // namespace
