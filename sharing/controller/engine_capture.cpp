// The engine's capture side: making the capture provider, and the capture's
// operations passed on to it.
#include <new>

#include "common/trace_client.h"
#include "sharing/controller/engine_controller.h"

int32_t CEnginController::StartCapture(MeetConfig* meet_config, int32_t mode) {
  EntryScope scope(this);
  VZ_LOG_OBJ("mode [%d]", mode);
  if (grab_ == nullptr) {
    auto* grab = new (std::nothrow) CVzGrabWrapper(options_.grab_library);
    if (grab == nullptr || grab->CreateProviderInstance(this) == 0) {
      delete grab;
      VZ_LOG_ERROR("Create capture instance failed.");
      return 0;
    }
    grab_ = grab;
  }
  IVzGrabProvider* capture = Capture();
  if (capture == nullptr || capture->StartCapture(meet_config, mode) == 0) {
    VZ_LOG_ERROR("Start DS capture failed.");
    return 0;
  }
  SetCursorCapture(1);
  return 1;
}

MonitorList* CEnginController::GetMonitorList() { return Capture() ? Capture()->GetMonitorList() : nullptr; }

ApplicationList* CEnginController::GetWindowList() { return Capture() ? Capture()->GetWindowList() : nullptr; }

int32_t CEnginController::ShareMonitor(MonitorInfo* monitor, int32_t share) {
  return Capture() ? Capture()->ShareMonitor(monitor, share) : 0;
}

int32_t CEnginController::ShareWindow(ApplicationInfo* window, int32_t share) {
  return Capture() ? Capture()->ShareWindow(window, share) : 0;
}

int32_t CEnginController::StopCapture() { return Capture() ? Capture()->StopCapture() : 0; }

void CEnginController::CaptureNow() {
  if (Capture()) Capture()->CaptureNow();
}

void CEnginController::Refresh() {
  if (Capture()) Capture()->Refresh();
}

void CEnginController::SetCaptureHold(int32_t value) {
  if (Capture()) Capture()->SetCaptureHold(value);
}

int32_t CEnginController::GetCaptureHold() { return Capture() ? Capture()->GetCaptureHold() : 0; }

int32_t CEnginController::ShowPointerWindow(int32_t show) { return Capture() ? Capture()->ShowPointerWindow(show) : 0; }

int32_t CEnginController::IsPointerWindowShown() { return Capture() ? Capture()->IsPointerWindowShown() : 0; }

int32_t CEnginController::ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) {
  return Capture() ? Capture()->ShowArrowIndicator(label, color, point) : 0;
}

int32_t CEnginController::SetArrowIndicatorText(const char16_t* label, uint32_t color) {
  return Capture() ? Capture()->SetArrowIndicatorText(label, color) : 0;
}

int32_t CEnginController::SetExcludedWindow1(VzWindowHandle window) {
  return Capture() ? Capture()->SetExcludedWindow1(window) : 0;
}

int32_t CEnginController::SetExcludedWindow2(VzWindowHandle window) {
  return Capture() ? Capture()->SetExcludedWindow2(window) : 0;
}

int32_t CEnginController::SetExcludedWindow3(VzWindowHandle window) {
  return Capture() ? Capture()->SetExcludedWindow3(window) : 0;
}

void CEnginController::SetCursorCapture(int32_t enable) {
  if (Capture()) Capture()->SetCursorCapture(enable);
}

int32_t CEnginController::SetBlankScreenMode(int32_t on) { return Capture() ? Capture()->SetBlankScreenMode(on) : 0; }

int32_t CEnginController::IsBlankScreenActive() { return Capture() ? Capture()->IsBlankScreenActive() : 0; }

void CEnginController::SetSendBacklog(uint32_t value) {
  if (Capture()) Capture()->SetSendBacklog(value);
}

int32_t CEnginController::OnDSKeSharingStatus(int32_t paused) {
  EntryScope scope(this);
  return OnSharingStatus(paused);
}
