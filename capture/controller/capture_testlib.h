#pragma once
// Test support of the capture controller: a screen double that the test and
// the capture thread share under a lock, a sink that keeps copies of what it
// is handed, and a run loop for the test thread with a bounded wait.
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/controller/capture_environment.h"
#include "contracts/vz_grab_provider.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/screen/screen_double_testlib.h"

namespace capture_test {

// One screen double behind a lock; every connection the controller opens is
// a view of it.
struct SharedScreen {
  explicit SharedScreen(int width, int height) : screen(width, height) {}
  template <typename F>
  auto With(F&& f) {
    std::lock_guard<std::mutex> lock(mutex);
    return f(screen);
  }
  std::mutex mutex;
  vz::ScreenDouble screen;
};

class LockedScreen : public vz::ScreenSource {
 public:
  explicit LockedScreen(std::shared_ptr<SharedScreen> shared) : shared_(std::move(shared)) {}
  vz::ScreenRect Bounds() override { return shared_->With([](vz::ScreenDouble& s) { return s.Bounds(); }); }
  std::vector<vz::ScreenMonitor> Monitors() override {
    return shared_->With([](vz::ScreenDouble& s) { return s.Monitors(); });
  }
  bool ReadPixels(const vz::ScreenRect& rect, vz::ScreenPixels* out) override {
    return shared_->With([&](vz::ScreenDouble& s) { return s.ReadPixels(rect, out); });
  }
  bool ReadCursor(vz::ScreenCursor* out) override {
    return shared_->With([&](vz::ScreenDouble& s) { return s.ReadCursor(out); });
  }
  std::vector<vz::ScreenWindow> Windows() override {
    return shared_->With([](vz::ScreenDouble& s) { return s.Windows(); });
  }
  bool BringToFront(uint64_t window) override {
    return shared_->With([&](vz::ScreenDouble& s) { return s.BringToFront(window); });
  }
  bool CompositionEnabled() override {
    return shared_->With([](vz::ScreenDouble& s) { return s.CompositionEnabled(); });
  }

 private:
  std::shared_ptr<SharedScreen> shared_;
};

struct ScreenEvent {
  int32_t monitor_id = 0;
  VzRect dirty{};
  int32_t data_size = 0;
  std::vector<uint8_t> pixels;
};

struct MouseEvent {
  CaptureMouseInfo header{};
  std::vector<uint8_t> pixels;
};

// Called only on the thread that created the capture (the test thread).
class RecordingSink : public IVzGrabProviderSink {
 public:
  int32_t OnDSKeSharingInfo(SharingInfo* info) override {
    Note('I');
    infos.push_back(std::make_unique<SharingInfo>(*info));
    if (on_info) on_info();
    return 1;
  }
  int32_t OnDSKeMouseInfo(CaptureMouseInfo* mouse) override {
    Note('M');
    MouseEvent event;
    event.header = *mouse;
    if (const uint8_t* pixels = CaptureMousePixels(mouse)) event.pixels.assign(pixels, pixels + mouse->DataSize);
    mice.push_back(std::move(event));
    return 1;
  }
  int32_t OnDSKeScreenData(CaptureScreenData* data) override {
    Note('S');
    ScreenEvent event;
    event.monitor_id = data->MonitorId;
    event.dirty = data->DirtyRect;
    event.data_size = data->DataSize;
    const uint8_t* pixels = CaptureScreenPixels(data);
    event.pixels.assign(pixels, pixels + data->DataSize);
    screens.push_back(std::move(event));
    if (on_screen) on_screen();
    return screen_result;
  }
  int32_t OnDSKeSharingStatus(int32_t) override { return 1; }

  void Note(char kind) {
    order.push_back(kind);
    if (std::this_thread::get_id() != owner) wrong_thread = true;
  }

  std::thread::id owner = std::this_thread::get_id();
  bool wrong_thread = false;
  std::string order;  // I, M, S in arrival order
  std::vector<std::unique_ptr<SharingInfo>> infos;
  std::vector<MouseEvent> mice;
  std::vector<ScreenEvent> screens;
  int32_t screen_result = 1;
  // Run inside the call, after the record was kept (a sink that reacts).
  std::function<void()> on_info;
  std::function<void()> on_screen;
};

// Serves the test thread's loop until `done` holds; false after the bound
// (the test then fails instead of hanging).
inline bool ServeUntil(vz::RunLoop& loop, const std::function<bool()>& done, int bound_ms = 15000) {
  const uint64_t end = vz::MonotonicMs() + static_cast<uint64_t>(bound_ms);
  while (!done()) {
    if (vz::MonotonicMs() > end) return false;
    loop.RunPending();
    std::this_thread::yield();
  }
  return true;
}

// Waits (without serving the loop) until `done` holds.
inline bool WaitUntil(const std::function<bool()>& done, int bound_ms = 15000) {
  const uint64_t end = vz::MonotonicMs() + static_cast<uint64_t>(bound_ms);
  while (!done()) {
    if (vz::MonotonicMs() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

inline CaptureEnvironment DoubleEnvironment(std::shared_ptr<SharedScreen> shared) {
  CaptureEnvironment environment;
  environment.open_screen = [shared]() -> std::unique_ptr<vz::ScreenSource> {
    return std::make_unique<LockedScreen>(shared);
  };
  return environment;
}

// A visible 32 x 32 cursor of one colour at (x, y).
inline vz::ScreenCursor SolidCursor(uint64_t serial, int x, int y, uint32_t argb = 0xFF102030u) {
  vz::ScreenCursor cursor;
  cursor.serial = serial;
  cursor.width = 32;
  cursor.height = 32;
  cursor.hot_x = 5;
  cursor.hot_y = 7;
  cursor.argb.assign(32 * 32, argb);
  cursor.x = x;
  cursor.y = y;
  return cursor;
}

}  // namespace capture_test
