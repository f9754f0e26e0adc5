// The capture controller's operations and its helper window procedure (the
// creating thread).
#include "capture/controller/sharing_base_controller.h"

#include "capture/controller/capture_messages.h"
#include "capture/controller/ds_helper_window.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/process.h"
#include "platform/run_loop.h"
#include "platform/screen/screen_source.h"

namespace {

constexpr uint32_t kBacklogFloor = 200;

}  // namespace

CSharingBaseController::CSharingBaseController(IVzGrabProviderSink* sink, CDsHelperWindow* helper,
                                               const CaptureEnvironment& environment)
    : main_thread_id_(vz::ThreadId()),
      creation_sink_(sink),
      sink_(sink),
      helper_(helper),
      environment_(environment),
      meet_config_(kDefaultMeetConfig),  // until StartCapture brings the meeting's own
      monitors_(vz::ProcessId()),
      regions_(vz::ProcessId()),
      screens_(monitors_, regions_),
      images_(vzgrab::CreateResourceImages()),
      indicators_(*this),
      spotlight_(*this, *images_) {
  VZ_LOG("Provider sink [%llx]", vz::LogAddress(sink));
  // The arrow's close box posts, so that the arrow is not destroyed inside
  // its own handler.
  spotlight_.SetArrowClickedHandler([helper] { helper->Post(WMDS_ARROW_CLICKED); });
  monitors_.Reset(CallerScreen());
}

CSharingBaseController::~CSharingBaseController() {
  *alive_ = false;
  Stop(helper_ ? helper_->loop() : nullptr);
  EndScreen();
}

vz::ScreenSource* CSharingBaseController::CallerScreen() {
  if (!caller_screen_ && environment_.open_screen) caller_screen_ = environment_.open_screen();
  return caller_screen_.get();
}

MonitorList* CSharingBaseController::GetMonitorList() {
  vz::ScreenSource* screen = CallerScreen();
  // The refresh takes the set's lock itself; the copy is taken under it so a
  // refresh on the capture thread cannot tear it. The lock is not held over
  // the refresh: the capture thread may wait on this thread with it held.
  if (screen) monitors_.RefreshMonitors(*screen);
  CScopedLock guard(monitors_.lock());
  caller_monitors_ = *monitors_.monitor_list();
  return &caller_monitors_;
}

ApplicationList* CSharingBaseController::GetWindowList() {
  vz::ScreenSource* screen = CallerScreen();
  if (screen) monitors_.RefreshWindows(*screen);
  CScopedLock guard(monitors_.lock());
  caller_windows_ = *monitors_.window_list();
  return &caller_windows_;
}

int32_t CSharingBaseController::ShareMonitor(MonitorInfo* monitor, int32_t share) {
  if (monitor == nullptr) {
    VZ_LOG_ERROR("no monitor record given");
    return 0;
  }
  const int32_t id = monitor->MonitorId;
  VZ_LOG("monitor [%d] share [%d]", id, share);
  ShowPointerWindow(0);
  CScopedLock lock(lock_);
  if (monitors_.ShareMonitor(id, share)) PostToCaptureThread(TMDS_REOPEN_DESKTOP);
  return 1;
}

bool CSharingBaseController::WindowExists(VzWindowHandle window) {
  vz::ScreenSource* screen = CallerScreen();
  if (screen == nullptr) return false;
  for (const vz::ScreenWindow& w : screen->Windows()) {
    if (w.id == window) return true;
  }
  return false;
}

int32_t CSharingBaseController::ShareWindow(ApplicationInfo* window, int32_t share) {
  if (window == nullptr) {
    VZ_LOG_ERROR("no window record given");
    return 0;
  }
  const VzWindowHandle handle = window->Window;
  VZ_LOG("window [0x%08X] share [%d]", handle, share);
  ShowPointerWindow(0);
  if (share) {
    if (!WindowExists(handle)) {
      VZ_LOG_ERROR("window [0x%08X] no longer exists", handle);
      return 0;
    }
    // What is shared should be what the presenter sees on top.
    if (!CallerScreen()->BringToFront(handle)) VZ_LOG_WARN("window [0x%08X] not brought to the front", handle);
  }
  CScopedLock lock(lock_);
  if (monitors_.ShareWindow(handle, share, CallerScreen())) PostToCaptureThread(TMDS_REOPEN_DESKTOP);
  return 1;
}

int32_t CSharingBaseController::StartCapture(MeetConfig* meet_config, int32_t mode) {
  // A stop begun inside a sink call is finished first when it can be.
  FinishStop();
  if (IsRunning()) {
    // A second capture thread would share the first one's screen and buffer.
    VZ_LOG_WARN("capture already runs");
    return 1;
  }
  if (meet_config != nullptr) meet_config_ = *meet_config;
  // A stop silenced the sink; a new start speaks to it again.
  sink_ = creation_sink_;
  capture_mode_.store(mode);
  return StartSharing();
}

int32_t CSharingBaseController::StartSharing() {
  VZ_LOG("start sharing, mode [%d]", capture_mode_.load());
  cursor_resend_pending_.exchange(0);
  refresh_pending_.exchange(0);
  {
    std::lock_guard<std::mutex> lock(started_mutex_);
    started_ = false;
  }
  // The set is reset before the thread starts, so the thread never meets it
  // half reset.
  monitors_.Reset(CallerScreen());
  capture_now_queued_.store(false);  // a request left from an earlier run died with its queue
  if (!Start()) {
    VZ_LOG_ERROR("the capture thread cannot start");
    return 0;
  }
  {
    // The thread signals once it runs, also when it cannot open the screen.
    std::unique_lock<std::mutex> lock(started_mutex_);
    started_cv_.wait(lock, [this] { return started_; });
  }
  // The capture thread set its own priority before it signalled.
  VZ_LOG("SetThreadPriority to THREAD_PRIORITY_NORMAL  result=%d", normal_priority_ ? 1 : 0);
  Refresh();
  return 1;
}

void CSharingBaseController::SignalStarted() {
  std::lock_guard<std::mutex> lock(started_mutex_);
  started_ = true;
  started_cv_.notify_all();
}

int32_t CSharingBaseController::StopCapture() {
  StopSharing();
  return 1;
}

void CSharingBaseController::StopSharing() {
  VZ_LOG("stop sharing");
  sink_ = nullptr;
  ShowPointerWindow(0);
  DestroyArrow();
  if (InHandOver()) {
    // The capture thread waits for the sink call on this thread's stack,
    // and the record being read lives in the send buffer: the thread is
    // told to stop now, joined once the call has returned.
    RequestStop();
    if (!stop_pending_) {
      stop_pending_ = true;
      std::weak_ptr<bool> alive = alive_;
      vz::RunLoop* loop = helper_ ? helper_->loop() : nullptr;
      if (loop == nullptr || !loop->Post([this, alive] {
            if (alive.lock()) FinishStop();
          })) {
        VZ_LOG_ERROR("the stop cannot be finished later");
      }
    }
    return;
  }
  stop_pending_ = false;
  Stop(helper_ ? helper_->loop() : nullptr);
  EndScreen();
  monitors_.Reset(CallerScreen());
  regions_.ResetRgn();
  refresh_pending_.exchange(0);
  send_backlog_.store(0);
  backlog_skipped_.store(false);
  blank_screen_.Stop();
  indicators_.DestroyAllIndictorFrames();
}

void CSharingBaseController::FinishStop() {
  if (!stop_pending_ || InHandOver()) return;
  StopSharing();
}

int32_t CSharingBaseController::PostToCaptureThread(uint32_t message) {
  if (!IsRunning()) return 0;
  // The queue refuses only when the thread has ended meanwhile.
  return PostThreadMessage(message) ? 0 : 1;
}

void CSharingBaseController::CaptureNow() {
  // One waiting request is enough: the round it starts sees every change
  // made until then, and a flood of them would hold up the other messages.
  if (capture_now_queued_.exchange(true)) return;
  if (!IsRunning() || !PostThreadMessage(TMDS_CAPTURE_NOW)) capture_now_queued_.store(false);
}

void CSharingBaseController::Refresh() {
  VZ_LOG("refresh");
  refresh_pending_.exchange(1);
  cursor_resend_pending_.exchange(1);
  last_cursor_x_.store(-1);
  last_cursor_y_.store(-1);
}

void CSharingBaseController::SetCaptureHold(int32_t value) {
  // The refresh is due before the hold ends, so the first round after it is
  // the full refresh and not an incremental scan.
  if (value == 0) Refresh();
  capture_hold_.store(value);
}

int32_t CSharingBaseController::GetCaptureHold() { return capture_hold_.load(); }

int32_t CSharingBaseController::ShowPointerWindow(int32_t show) {
  CScopedLock lock(lock_);
  return spotlight_.ShowPointerWindow(show);
}

int32_t CSharingBaseController::IsPointerWindowShown() { return spotlight_.IsPointerWindowShown(); }

int32_t CSharingBaseController::ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) {
  CScopedLock lock(lock_);
  const int32_t result = spotlight_.ShowArrowIndicator(label, color, point);
  arrow_window_.store(spotlight_.ArrowWindowId());
  return result;
}

int32_t CSharingBaseController::SetArrowIndicatorText(const char16_t* label, uint32_t color) {
  return spotlight_.SetArrowIndicatorText(label, color);
}

void CSharingBaseController::DestroyArrow() {
  CScopedLock lock(lock_);
  spotlight_.DestroyArrow();
  arrow_window_.store(0);
}

int32_t CSharingBaseController::SetExcludedWindow1(VzWindowHandle window) {
  CScopedLock lock(lock_);
  excluded_windows_[0] = window;
  return 1;
}

int32_t CSharingBaseController::SetExcludedWindow2(VzWindowHandle window) {
  CScopedLock lock(lock_);
  excluded_windows_[1] = window;
  return 1;
}

int32_t CSharingBaseController::SetExcludedWindow3(VzWindowHandle window) {
  CScopedLock lock(lock_);
  excluded_windows_[2] = window;
  return 1;
}

bool CSharingBaseController::IsOwnWindow(VzWindowHandle window) {
  if (window == 0) return false;
  if (arrow_window_.load() == window) return true;
  CScopedLock lock(lock_);
  for (VzWindowHandle excluded : excluded_windows_) {
    if (excluded == window) return true;
  }
  return false;
}

void CSharingBaseController::SetCursorCapture(int32_t enable) {
  cursor_capture_enabled_.store(enable);
  if (enable != 0) cursor_resend_pending_.exchange(1);
}

int32_t CSharingBaseController::SetBlankScreenMode(int32_t on) {
  VZ_LOG("blank [%d]", on);
  return blank_screen_.SetBlankScreenMode(on);
}

int32_t CSharingBaseController::IsBlankScreenActive() { return blank_screen_.IsBlankScreenActive(); }

void CSharingBaseController::SetSendBacklog(uint32_t value) {
  const uint32_t stored = value < kBacklogFloor ? 0 : value;
  send_backlog_.store(stored);
  if (stored <= kBacklogLimit && backlog_skipped_.exchange(false)) CaptureNow();
}

intptr_t CSharingBaseController::CallSink(uint32_t message, uintptr_t record) {
  if (sink_ == nullptr) return 0;
  // The sink may stop the capture from inside the call (see StopSharing).
  ++hand_over_depth_;
  intptr_t result = 0;
  if (message == WMDS_SHARING_INFO) {
    result = sink_->OnDSKeSharingInfo(reinterpret_cast<SharingInfo*>(record));
  } else if (message == WMDS_MOUSE_INFO) {
    result = sink_->OnDSKeMouseInfo(reinterpret_cast<CaptureMouseInfo*>(record));
  } else {
    result = sink_->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record));
  }
  --hand_over_depth_;
  return result;
}

intptr_t CSharingBaseController::HandleHelperMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  switch (message) {
    case WMDS_SHARING_INFO:
    case WMDS_MOUSE_INFO:
    case WMDS_SCREEN_DATA:
      return CallSink(message, wparam);
    case WMDS_RESET_INDICATORS:
      ResetIndicatorFrame();
      return 0;
    case WMDS_INDICATOR_UPDATE:
      indicators_.DestroyAllIndictorFrames();
      return 0;
    case WMDS_REFRESH_DONE:
      RefreshDone();
      return 0;
    case WMDS_ARROW_CLICKED:
      DestroyArrow();
      return 0;
    case WMDS_DISPLAY_CHANGE:
    case WMDS_DESKTOP_SWITCH:
      VZ_LOG("Receive of desktop changed: %x, %llx", message, static_cast<unsigned long long>(wparam));
      PostToCaptureThread(TMDS_REOPEN_DESKTOP);
      return 0;
    case WMDS_DESKTOP_CHANGED:
      VZ_LOG("Receive of desktop changed: %x, %llx", message, static_cast<unsigned long long>(wparam));
      blank_screen_.OnDesktopChanged();
      return 0;
    default:
      (void)lparam;
      return 0;
  }
}

void CSharingBaseController::ResetIndicatorFrame() {
  VZ_LOG("reset indicator frames");
  const uint32_t colour = meet_config_.HeaderBgColor;
  if (monitors_.SharesMonitors()) {
    std::vector<MonitorInfo> captured(kMaxMonitors);
    captured.resize(static_cast<size_t>(monitors_.CapturedMonitors(captured.data(), kMaxMonitors)));
    indicators_.ShowMonitorFrames(captured, colour);
    return;
  }
  std::vector<vzgrab::SharedWindowFrame> frames;
  for (const ApplicationInfo& app : monitors_.SharedApplications()) {
    vzgrab::SharedWindowFrame frame{};
    frame.window = app;
    // The monitor that holds the window's centre, else the nearest listed.
    const int cx = app.Rect.left + (app.Rect.right - app.Rect.left) / 2;
    const int cy = app.Rect.top + (app.Rect.bottom - app.Rect.top) / 2;
    if (!monitors_.MonitorAt(cx, cy, &frame.monitor)) {
      std::vector<MonitorInfo> all = monitors_.Monitors();
      if (all.empty()) continue;
      frame.monitor = all.front();
    }
    frames.push_back(frame);
  }
  indicators_.ShowWindowFrames(frames, colour);
}

void CSharingBaseController::RefreshDone() { indicators_.OnRefreshDone(monitors_.CoveredRegion().Rects()); }

VzRect CSharingBaseController::WindowRect(VzWindowHandle window) {
  vz::ScreenSource* screen = CallerScreen();
  if (screen == nullptr) return VzRect{};
  for (const vz::ScreenWindow& w : screen->Windows()) {
    if (static_cast<VzWindowHandle>(w.id) != window) continue;
    if (w.minimized || !w.visible) return VzRect{};
    return VzRect{w.bounds.x, w.bounds.y, w.bounds.x + w.bounds.width, w.bounds.y + w.bounds.height};
  }
  return VzRect{};
}

bool CSharingBaseController::MonitorAtLogicalPoint(int32_t x, int32_t y, MonitorInfo* out) {
  for (const MonitorInfo& m : monitors_.Monitors()) {
    const VzRect& r = m.LogicalRect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      *out = m;
      return true;
    }
  }
  return false;
}

bool CSharingBaseController::IsPointShared(VzPoint logical) {
  MonitorInfo monitor{};
  if (!MonitorAtLogicalPoint(logical.x, logical.y, &monitor)) return false;
  const float scale = monitor.DpiScale > 0.0f ? monitor.DpiScale : 1.0f;
  const int32_t x = static_cast<int32_t>((logical.x - monitor.LogicalRect.left) * scale) + monitor.Rect.left;
  const int32_t y = static_cast<int32_t>((logical.y - monitor.LogicalRect.top) * scale) + monitor.Rect.top;
  return monitors_.IsPointShared(x, y);
}

IsOwnWindowFn CSharingBaseController::OwnWindowTest() {
  return [this](VzWindowHandle window) { return IsOwnWindow(window); };
}
