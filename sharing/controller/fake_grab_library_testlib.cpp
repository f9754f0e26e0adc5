// libvzgrabfake.so: see fake_grab_control.h.
#include <mutex>
#include <string>
#include <vector>

#include "sharing/controller/fake_grab_control_testlib.h"

namespace {

class FakeCapture;

struct State {
  std::mutex mutex;
  std::vector<std::string> calls;
  FakeCapture* live = nullptr;
  IVzGrabProviderSink* sink = nullptr;
  int32_t start_result = 1;
  void (*on_start)(void*) = nullptr;
  void* on_start_context = nullptr;
};

State& S() {
  static State* state = new State();
  return *state;
}

void Note(const std::string& call) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().calls.push_back(call);
}

std::string N(int64_t value) { return std::to_string(value); }

class FakeCapture final : public IVzGrabProvider {
 public:
  FakeCapture() {
    monitors_.Count = 1;
    monitors_.Monitors[0].MonitorId = 1;
    monitors_.Monitors[0].Rect = {0, 0, 1600, 900};
    monitors_.Monitors[0].BitsPerPixel = 32;
    windows_.Count = 0;
  }
  MonitorList* GetMonitorList() override {
    Note("GetMonitorList()");
    return &monitors_;
  }
  ApplicationList* GetWindowList() override {
    Note("GetWindowList()");
    return &windows_;
  }
  int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) override {
    Note("ShareMonitor(" + N(monitor ? monitor->MonitorId : -1) + "," + N(share) + ")");
    return 1;
  }
  int32_t ShareWindow(ApplicationInfo* window, int32_t share) override {
    Note("ShareWindow(" + N(window ? window->Window : 0) + "," + N(share) + ")");
    return 1;
  }
  int32_t StartCapture(MeetConfig* meet_config, int32_t mode) override {
    Note("StartCapture(" + std::string(meet_config ? "config," : "null,") + N(mode) + ")");
    if (S().on_start != nullptr) S().on_start(S().on_start_context);
    return S().start_result;
  }
  int32_t StopCapture() override {
    Note("StopCapture()");
    return 1;
  }
  void CaptureNow() override { Note("CaptureNow()"); }
  void Refresh() override { Note("Refresh()"); }
  void SetCaptureHold(int32_t value) override { Note("SetCaptureHold(" + N(value) + ")"); }
  int32_t GetCaptureHold() override {
    Note("GetCaptureHold()");
    return 7;
  }
  int32_t ShowPointerWindow(int32_t show) override {
    Note("ShowPointerWindow(" + N(show) + ")");
    return 1;
  }
  int32_t IsPointerWindowShown() override {
    Note("IsPointerWindowShown()");
    return 1;
  }
  int32_t ShowArrowIndicator(const char16_t*, uint32_t color, VzPoint* point) override {
    Note("ShowArrowIndicator(" + N(color) + "," + N(point ? point->x : -1) + ")");
    return 1;
  }
  int32_t SetArrowIndicatorText(const char16_t*, uint32_t color) override {
    Note("SetArrowIndicatorText(" + N(color) + ")");
    return 1;
  }
  int32_t SetExcludedWindow1(VzWindowHandle window) override {
    Note("SetExcludedWindow1(" + N(window) + ")");
    return 1;
  }
  int32_t SetExcludedWindow2(VzWindowHandle window) override {
    Note("SetExcludedWindow2(" + N(window) + ")");
    return 1;
  }
  int32_t SetExcludedWindow3(VzWindowHandle window) override {
    Note("SetExcludedWindow3(" + N(window) + ")");
    return 1;
  }
  void SetCursorCapture(int32_t enable) override { Note("SetCursorCapture(" + N(enable) + ")"); }
  int32_t SetBlankScreenMode(int32_t on) override {
    Note("SetBlankScreenMode(" + N(on) + ")");
    return 1;
  }
  int32_t IsBlankScreenActive() override {
    Note("IsBlankScreenActive()");
    return 1;
  }
  void SetSendBacklog(uint32_t value) override { Note("SetSendBacklog(" + N(value) + ")"); }

 private:
  MonitorList monitors_{};
  ApplicationList windows_{};
};

class Control : public IFakeGrabControl {
 public:
  IVzGrabProviderSink* Sink() override { return S().sink; }
  IVzGrabProvider* Live() override { return S().live; }
  std::vector<std::string> Calls() override {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().calls;
  }
  void Reset() override {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().calls.clear();
    S().start_result = 1;
    S().on_start = nullptr;
    S().on_start_context = nullptr;
  }
  void SetStartResult(int32_t result) override { S().start_result = result; }
  void SetOnStart(void (*call)(void*), void* context) override {
    S().on_start = call;
    S().on_start_context = context;
  }
};

}  // namespace

#define FAKE_GRAB_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_GRAB_EXPORT IVzGrabProvider* DSCreateCapture(IVzGrabProviderSink* sink) {
  Note("DSCreateCapture");
  if (sink == nullptr || S().live != nullptr) return nullptr;
  S().live = new FakeCapture();
  S().sink = sink;
  return S().live;
}

FAKE_GRAB_EXPORT int32_t DSReleaseCapture(IVzGrabProvider* provider) {
  Note("DSReleaseCapture");
  if (provider == nullptr || provider != S().live) return 0;
  delete S().live;
  S().live = nullptr;
  S().sink = nullptr;
  return 1;
}

FAKE_GRAB_EXPORT IFakeGrabControl* FakeGrabControl() {
  static Control control;
  return &control;
}
