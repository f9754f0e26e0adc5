// The capture controller's operations and its helper window procedure (the
// creating thread).
#include "capture/controller/sharing_base_controller.h"

#include "capture/controller/capture_messages.h"
#include "capture/controller/ds_helper_window.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/screen/screen_source.h"

namespace {

// The meeting defaults until StartCapture brings the meeting's own.
MeetConfig DefaultMeetConfig() {
  MeetConfig config{};
  config.AudioEnabled = 1;
  config.VideoEnabled = 1;
  config.VideoQuality = 1;
  config.VideoToolbar = 0;
  config.SharingEnabled = 1;
  config.RemoteControlEnabled = 1;
  config.HeaderBgColor = 0xff0084ff;
  config.HeaderTextColor = 0xffffffff;
  config.MetaInfoEnabled = 1;
  config.ShowPoweredBy = 0;
  return config;
}

constexpr uint32_t kBacklogFloor = 200;

}  // namespace

CSharingBaseController::CSharingBaseController(IVzGrabProviderSink* sink, CDsHelperWindow* helper,
                                               const CaptureEnvironment& environment)
    : sink_(sink), helper_(helper), environment_(environment), meet_config_(DefaultMeetConfig()) {
  VZ_LOG("Provider sink [%llx]", vz::LogAddress(sink));
  if (environment_.make_screen_set) screens_ = environment_.make_screen_set();
  if (screens_) screens_->Reset(CallerScreen());
}

CSharingBaseController::~CSharingBaseController() {
  Stop(helper_ ? helper_->loop() : nullptr);
  EndScreen();
}

vz::ScreenSource* CSharingBaseController::CallerScreen() {
  if (!caller_screen_ && environment_.open_screen) caller_screen_ = environment_.open_screen();
  return caller_screen_.get();
}

MonitorList* CSharingBaseController::GetMonitorList() {
  return screens_ ? screens_->RefreshMonitors(CallerScreen()) : nullptr;
}

ApplicationList* CSharingBaseController::GetWindowList() {
  return screens_ ? screens_->RefreshWindows(CallerScreen()) : nullptr;
}

int32_t CSharingBaseController::ShareMonitor(MonitorInfo* monitor, int32_t share) {
  if (monitor == nullptr || !screens_) {
    VZ_LOG_ERROR("no monitor record given");
    return 0;
  }
  const int32_t id = monitor->MonitorId;
  VZ_LOG("monitor [%d] share [%d]", id, share);
  ShowPointerWindow(0);
  CScopedLock lock(lock_);
  if (screens_->ShareMonitor(id, share)) PostToCaptureThread(TMDS_REOPEN_DESKTOP);
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
  if (window == nullptr || !screens_) {
    VZ_LOG_ERROR("no window record given");
    return 0;
  }
  const VzWindowHandle handle = window->Window;
  VZ_LOG("window [0x%08X] share [%d]", handle, share);
  ShowPointerWindow(0);
  if (share && !WindowExists(handle)) {
    VZ_LOG_ERROR("window [0x%08X] no longer exists", handle);
    return 0;
  }
  CScopedLock lock(lock_);
  if (screens_->ShareWindow(handle, share)) PostToCaptureThread(TMDS_REOPEN_DESKTOP);
  return 1;
}

int32_t CSharingBaseController::StartCapture(MeetConfig* meet_config, int32_t mode) {
  if (IsRunning()) {
    // A second capture thread would share the first one's screen and buffer.
    VZ_LOG_WARN("capture already runs");
    return 1;
  }
  if (meet_config != nullptr) meet_config_ = *meet_config;
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
  if (screens_) {
    screens_->SetCaptureContext(capture_mode_.load(), block_width_, block_height_, meet_config_.HeaderBgColor,
                                [this](VzWindowHandle window) { return IsOwnWindow(window); });
  }
  if (!Start()) {
    VZ_LOG_ERROR("the capture thread cannot start");
    return 0;
  }
  VZ_LOG("SetThreadPriority to THREAD_PRIORITY_NORMAL  result=%d", 1);
  if (screens_) screens_->Reset(CallerScreen());
  {
    // The thread signals once it runs, also when it cannot open the screen.
    std::unique_lock<std::mutex> lock(started_mutex_);
    started_cv_.wait(lock, [this] { return started_; });
  }
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
  Stop(helper_ ? helper_->loop() : nullptr);
  EndScreen();
  if (screens_) screens_->Reset(CallerScreen());
  refresh_pending_.exchange(0);
  send_backlog_.store(0);
}

int32_t CSharingBaseController::PostToCaptureThread(uint32_t message) {
  if (!IsRunning()) return 0;
  // The queue refuses only when the thread has ended meanwhile.
  return PostThreadMessage(message) ? 0 : 1;
}

void CSharingBaseController::CaptureNow() { PostToCaptureThread(TMDS_CAPTURE_NOW); }

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

// The pointer window, the arrow label and the blank screen are the
// indicators' part; until they are wired in these answer as "none shown".
int32_t CSharingBaseController::ShowPointerWindow(int32_t) { return 1; }
int32_t CSharingBaseController::IsPointerWindowShown() { return 0; }
int32_t CSharingBaseController::ShowArrowIndicator(const char16_t*, uint32_t, VzPoint*) { return 1; }
int32_t CSharingBaseController::SetArrowIndicatorText(const char16_t*, uint32_t) { return 1; }

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
  blank_screen_mode_ = on;
  return 0;  // no blank-screen object is built: the mode is not in force
}

int32_t CSharingBaseController::IsBlankScreenActive() { return 0; }

void CSharingBaseController::SetSendBacklog(uint32_t value) {
  send_backlog_.store(value < kBacklogFloor ? 0 : value);
}

intptr_t CSharingBaseController::HandleHelperMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  switch (message) {
    case WMDS_SHARING_INFO:
      return sink_ ? sink_->OnDSKeSharingInfo(reinterpret_cast<SharingInfo*>(wparam)) : 0;
    case WMDS_MOUSE_INFO:
      return sink_ ? sink_->OnDSKeMouseInfo(reinterpret_cast<CaptureMouseInfo*>(wparam)) : 0;
    case WMDS_SCREEN_DATA:
      return sink_ ? sink_->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(wparam)) : 0;
    case WMDS_RESET_INDICATORS:
    case WMDS_INDICATOR_UPDATE:
    case WMDS_REFRESH_DONE:
    case WMDS_ARROW_CLICKED:
      return 0;
    case WMDS_DISPLAY_CHANGE:
    case WMDS_DESKTOP_SWITCH:
      VZ_LOG("Receive of desktop changed: %x, %llx", message, static_cast<unsigned long long>(wparam));
      PostToCaptureThread(TMDS_REOPEN_DESKTOP);
      return 0;
    case WMDS_DESKTOP_CHANGED:
      VZ_LOG("Receive of desktop changed: %x, %llx", message, static_cast<unsigned long long>(wparam));
      return 0;
    default:
      (void)lparam;
      return 0;
  }
}
