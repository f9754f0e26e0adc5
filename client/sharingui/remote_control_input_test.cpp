// Remote control's input against the recording injector: point mapping,
// the events of each remote mouse type, the allowed keys and the watchdog.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "client/sharingui/remote_control_input.h"
#include "client/sharingui/remote_keys.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/recording_input_injector.h"

namespace {

using Events = std::vector<std::string>;

class FakeOwner : public IRemoteControlOwner {
 public:
  FakeOwner() {
    std::memset(&monitor, 0, sizeof(monitor));
    monitor.MonitorId = 2;
    monitor.Rect = {1920, 0, 1920 + 2880, 1620};   // device pixels
    monitor.LogicalRect = {1920, 0, 3840, 1080};  // as the desktop sees it
    monitor.DpiScale = 1.5f;
    shared = monitor.Rect;
  }
  const MonitorInfo* GetMonitorInfo(int32_t id) override { return id == monitor.MonitorId ? &monitor : nullptr; }
  VzRect GetSharedRect() override { return shared; }
  void CaptureNow() override { ++captures; }
  void SetRemoteControlPaused() override { ++pauses; }

  MonitorInfo monitor;
  VzRect shared;
  int captures = 0;
  int pauses = 0;
};

class RemoteInputTest : public ::testing::Test {
 protected:
  DSCommandRecord Mouse(int32_t type, int32_t x, int32_t y, int32_t wparam = 0, int32_t monitor = 2) {
    DSCommandRecord r;
    std::memset(&r, 0, sizeof(r));
    r.MouseType = type;
    r.MouseMonitorId = monitor;
    r.MouseX = x;
    r.MouseY = y;
    r.MouseWParam = wparam;
    return r;
  }
  DSCommandRecord Key(int32_t type, uint8_t key) {
    DSCommandRecord r;
    std::memset(&r, 0, sizeof(r));
    r.KeyType = type;
    r.KeyMonitorId = 2;
    r.KeyWParam = key;
    return r;
  }
  Events Take() {
    Events out;
    out.swap(injector_.events);
    return out;
  }
  void Advance(uint64_t ms) {
    clock_.AdvanceMs(ms);
    loop_.RunPending();
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  FakeOwner owner_;
  vz::RecordingInputInjector injector_;
  CDSRemoteControlInput input_{&owner_, &injector_,
                               [this](uint32_t ms) { injector_.events.push_back("sleep " + std::to_string(ms)); }};
};

TEST_F(RemoteInputTest, PointsMapThroughTheMonitorsScaleAndOnlyInsideTheSharedArea) {
  input_.ExecuteRemoteMouseControling(Mouse(1, 301, 151));
  // 301 / 1.5 = 200.67 and 151 / 1.5 = 100.67, truncated, plus the logical origin.
  EXPECT_EQ(Take(), (Events{"move 2120,100"}));
  EXPECT_EQ(input_.last_position_for_testing(), (vz::Point{2120, 100}));
  EXPECT_EQ(owner_.captures, 1);
  EXPECT_TRUE(input_.IsWatchdogArmedForTesting());
  input_.StopWatchdog();
  // The shared rectangle is half-open; outside it nothing happens at all.
  input_.ExecuteRemoteMouseControling(Mouse(1, 2880, 10));
  input_.ExecuteRemoteMouseControling(Mouse(1, 10, 1620));
  input_.ExecuteRemoteMouseControling(Mouse(10, -1, 10));
  owner_.shared = {2000, 100, 2100, 200};  // one window shared
  input_.ExecuteRemoteMouseControling(Mouse(10, 79, 99));
  input_.ExecuteRemoteMouseControling(Mouse(1, 10, 10, 0, 7));  // unknown monitor
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(owner_.captures, 1);
  EXPECT_FALSE(input_.IsWatchdogArmedForTesting());
  input_.ExecuteRemoteMouseControling(Mouse(1, 80, 100));
  EXPECT_EQ(Take(), (Events{"move 1973,66"}));
  // A record from the wire carries no scale: never divided by.
  owner_.shared = owner_.monitor.Rect;
  for (float scale : {0.0f, -1.0f, NAN, INFINITY}) {
    owner_.monitor.DpiScale = scale;
    input_.ExecuteRemoteMouseControling(Mouse(20, 10, 10));
  }
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(owner_.captures, 2);
}

TEST_F(RemoteInputTest, EachMouseTypeMakesItsEventsInOrder) {
  owner_.monitor.DpiScale = 1.0f;
  owner_.monitor.Rect = owner_.monitor.LogicalRect;
  owner_.shared = owner_.monitor.Rect;
  const std::pair<int32_t, Events> cases[] = {
      {2, {"move 1930,20", "wheel -120"}},
      {10, {"move 1930,20", "down left"}},
      {11, {"move 1930,20", "up left"}},
      {12, {"move 1930,20", "down left", "up left", "sleep 20", "down left", "up left"}},
      {21, {"move 1930,20", "down left", "up left", "sleep 20", "down left", "up left"}},
      {13, {"move 1930,20", "down right", "up right"}},
      {14, {"move 1930,20", "up right"}},
      {20, {"move 1930,20", "down left", "sleep 100", "up left"}},
      {22, {"move 1930,20", "down right", "sleep 100", "up right"}},
  };
  for (const auto& [type, expected] : cases) {
    input_.ExecuteRemoteMouseControling(Mouse(type, 10, 20, -120));
    EXPECT_EQ(Take(), expected) << "type " << type;
  }
  EXPECT_EQ(owner_.captures, 9);
  // An unknown type moves nothing but still re-arms the watchdog where the cursor is.
  input_.StopWatchdog();
  injector_.SetPointer({5, 6});
  input_.ExecuteRemoteMouseControling(Mouse(5, 10, 20));
  EXPECT_TRUE(Take().empty());
  EXPECT_TRUE(input_.IsWatchdogArmedForTesting());
  EXPECT_EQ(input_.last_position_for_testing(), (vz::Point{5, 6}));
  EXPECT_EQ(owner_.captures, 10);
}

TEST_F(RemoteInputTest, OnlyAllowedKeysArePressedAndBrowserCodesAreTranslated) {
  EXPECT_EQ(remote_keys::kAllowedKeys.size(), 99u);
  input_.ExecuteRemoteKeyboardControling(Key(1, 0x12));  // Alt: dropped
  input_.ExecuteRemoteKeyboardControling(Key(1, 0x5B));  // the Windows key: dropped
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(owner_.captures, 0);
  input_.ExecuteRemoteKeyboardControling(Key(1, 59));    // a browser's ';'
  input_.ExecuteRemoteKeyboardControling(Key(2, 0xBA));  // the system's ';'
  input_.ExecuteRemoteKeyboardControling(Key(1, 173));   // '-'
  input_.ExecuteRemoteKeyboardControling(Key(1, 61));    // '='
  input_.ExecuteRemoteKeyboardControling(Key(1, 0x41));  // A
  input_.ExecuteRemoteKeyboardControling(Key(2, 0x6E));  // keypad '.'
  input_.ExecuteRemoteKeyboardControling(Key(1, 0x1A));  // allowed, but no key makes it
  input_.ExecuteRemoteKeyboardControling(Key(3, 0x41));  // no such key event
  EXPECT_EQ(Take(), (Events{"key down 0x3b", "key up 0x3b", "key down 0x2d", "key down 0x3d", "key down 0x61",
                            "key up 0xffae"}));
  EXPECT_EQ(owner_.captures, 8);
  EXPECT_FALSE(input_.IsWatchdogArmedForTesting());  // keys do not arm it
}

TEST_F(RemoteInputTest, TheWatchdogPausesControlWhenTheLocalMouseMovesAndReleasesWhatIsHeld) {
  input_.ExecuteRemoteMouseControling(Mouse(10, 301, 151));  // left down, held
  input_.ExecuteRemoteKeyboardControling(Key(1, 0x1B));      // Escape, held (twice in the table)
  input_.ExecuteRemoteKeyboardControling(Key(1, 0x10));      // Shift, held
  injector_.SetKeyDown(0xFFE9, true);                        // the local user holds Alt
  Take();
  Advance(1000);  // the cursor stayed where the last event left it
  EXPECT_EQ(owner_.pauses, 0);
  EXPECT_TRUE(input_.IsWatchdogArmedForTesting());
  injector_.SetPointer({10, 10});
  Advance(1000);
  EXPECT_EQ(owner_.pauses, 1);
  EXPECT_FALSE(input_.IsWatchdogArmedForTesting());
  // In table order (Shift before Escape), Escape once although it stands twice.
  EXPECT_EQ(Take(), (Events{"up left", "key up 0xffe1", "key up 0xff1b"}));
  EXPECT_TRUE(injector_.IsKeyDown(0xFFE9));  // not ours to release
  Advance(5000);
  EXPECT_EQ(owner_.pauses, 1);
  // The controller keeps its id: the next remote mouse event runs and re-arms it.
  input_.ExecuteRemoteMouseControling(Mouse(1, 3, 3));
  EXPECT_TRUE(input_.IsWatchdogArmedForTesting());
  EXPECT_EQ(Take(), (Events{"move 1922,2"}));
  // A mouse event inside the period restarts it.
  Advance(900);
  input_.ExecuteRemoteMouseControling(Mouse(1, 3, 3));
  injector_.SetPointer({0, 0});
  Advance(900);
  EXPECT_EQ(owner_.pauses, 1);
  Advance(100);
  EXPECT_EQ(owner_.pauses, 2);
}

}  // namespace
