#include "client/controller/vz_share_wrapper.h"

#include "common/trace_client.h"

CVzShareWrapper::CVzShareWrapper(vz::IModuleLoader& loader) : library_(loader, "vzshare.dll", "DS engine") {
  VZ_LOG("");
  if (!library_.loaded()) VZ_LOG_ERROR("Can't find DS engine dll!");
}

CVzShareWrapper::~CVzShareWrapper() {
  VZ_LOG("");
  ReleaseInstance();
}

int32_t CVzShareWrapper::CreateInstance(IDSProviderSink* sink, int32_t mode) {
  VZ_LOG("");
  if (!sink) return 0;
  return library_.Create(sink, mode) ? 1 : 0;
}

void CVzShareWrapper::ReleaseInstance() {
  VZ_LOG("");
  library_.Release();
}

MonitorList* CVzShareWrapper::GetMonitorList() { return engine() ? engine()->GetMonitorList() : nullptr; }

ApplicationList* CVzShareWrapper::GetWindowList() { return engine() ? engine()->GetWindowList() : nullptr; }

int32_t CVzShareWrapper::ShareMonitor(MonitorInfo* monitor, int32_t share) {
  return engine() ? engine()->ShareMonitor(monitor, share) : 0;
}

int32_t CVzShareWrapper::ShareWindow(ApplicationInfo* window, int32_t share) {
  return engine() ? engine()->ShareWindow(window, share) : 0;
}

int32_t CVzShareWrapper::StartCapture(MeetConfig* meet_config, int32_t mode) {
  return engine() ? engine()->StartCapture(meet_config, mode) : 0;
}

int32_t CVzShareWrapper::StopCapture() { return engine() ? engine()->StopCapture() : 0; }

void CVzShareWrapper::CaptureNow() {
  if (engine()) engine()->CaptureNow();
}

void CVzShareWrapper::Refresh() {
  if (engine()) engine()->Refresh();
}

void CVzShareWrapper::SetCaptureHold(int32_t value) {
  if (engine()) engine()->SetCaptureHold(value);
}

int32_t CVzShareWrapper::GetCaptureHold() { return engine() ? engine()->GetCaptureHold() : 0; }

int32_t CVzShareWrapper::ShowPointerWindow(int32_t show) { return engine() ? engine()->ShowPointerWindow(show) : 0; }

int32_t CVzShareWrapper::IsPointerWindowShown() { return engine() ? engine()->IsPointerWindowShown() : 0; }

int32_t CVzShareWrapper::ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) {
  return engine() ? engine()->ShowArrowIndicator(label, color, point) : 0;
}

int32_t CVzShareWrapper::SetArrowIndicatorText(const char16_t* label, uint32_t color) {
  return engine() ? engine()->SetArrowIndicatorText(label, color) : 0;
}

int32_t CVzShareWrapper::SetExcludedWindow1(VzWindowHandle window) {
  return engine() ? engine()->SetExcludedWindow1(window) : 0;
}

int32_t CVzShareWrapper::SetExcludedWindow2(VzWindowHandle window) {
  return engine() ? engine()->SetExcludedWindow2(window) : 0;
}

int32_t CVzShareWrapper::SetExcludedWindow3(VzWindowHandle window) {
  return engine() ? engine()->SetExcludedWindow3(window) : 0;
}

void CVzShareWrapper::SetCursorCapture(int32_t enable) {
  if (engine()) engine()->SetCursorCapture(enable);
}

// The client does not use the blank screen, the send backlog or the cursor
// entry: these stay with the engine's own callers.
int32_t CVzShareWrapper::SetBlankScreenMode(int32_t) { return 0; }

int32_t CVzShareWrapper::IsBlankScreenActive() { return 0; }

void CVzShareWrapper::SetSendBacklog(uint32_t) {}

int32_t CVzShareWrapper::StartDS(MeetConfig* meet_config, DSSessionConfig* session, NetworkProxyEntry* proxy) {
  return engine() ? engine()->StartDS(meet_config, session, proxy) : 0;
}

int32_t CVzShareWrapper::StopDS() { return engine() ? engine()->StopDS() : 0; }

MonitorInfo* CVzShareWrapper::GetMonitorInfo(int32_t monitor_id) {
  return engine() ? engine()->GetMonitorInfo(monitor_id) : nullptr;
}

DSSessionConfig* CVzShareWrapper::GetSessionConfig() { return engine() ? engine()->GetSessionConfig() : nullptr; }

int32_t CVzShareWrapper::SendCommand(DSCommandRecord* command) { return engine() ? engine()->SendCommand(command) : 0; }

int32_t CVzShareWrapper::SendWebBinary(CVZBinaryData* data) { return engine() ? engine()->SendWebBinary(data) : 0; }

int32_t CVzShareWrapper::OnCaptureMouseInfo(CaptureMouseInfo*) { return 0; }
