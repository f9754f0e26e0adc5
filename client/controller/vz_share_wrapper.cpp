#include "client/controller/vz_share_wrapper.h"

#include "common/trace_client.h"

CVzShareWrapper::CVzShareWrapper(vz::IModuleLoader& loader) : loader_(loader) {
  VZ_LOG("");
  engine_ = nullptr;
  module_ = loader_.Open("vzshare.dll");
  if (!module_) VZ_LOG_ERROR("Can't find DS engine dll!");
}

CVzShareWrapper::~CVzShareWrapper() {
  VZ_LOG("");
  ReleaseInstance();
  module_ = nullptr;  // never unloaded
}

int32_t CVzShareWrapper::CreateInstance(IDSProviderSink* sink, int32_t mode) {
  VZ_LOG("");
  if (!sink) return 0;
  if (!module_) return 0;
  const auto create = reinterpret_cast<DSCreateInstanceFn>(loader_.Ordinal(module_, 1));
  if (!create) return 0;
  if (engine_) ReleaseInstance();  // would otherwise leak with its callbacks alive
  engine_ = create(sink, mode);
  return engine_ ? 1 : 0;
}

void CVzShareWrapper::ReleaseInstance() {
  VZ_LOG("");
  if (!engine_ || !module_) return;
  const auto release = reinterpret_cast<DSDeleteInstanceFn>(loader_.Ordinal(module_, 2));
  if (!release) {
    VZ_LOG_ERROR("Can't release the DS engine: no release export.");
    return;
  }
  IDSProvider* engine = engine_;
  engine_ = nullptr;  // calls made while it is released get defaults
  release(engine);
}

MonitorList* CVzShareWrapper::GetMonitorList() { return engine_ ? engine_->GetMonitorList() : nullptr; }

ApplicationList* CVzShareWrapper::GetWindowList() { return engine_ ? engine_->GetWindowList() : nullptr; }

int32_t CVzShareWrapper::ShareMonitor(MonitorInfo* monitor, int32_t share) {
  return engine_ ? engine_->ShareMonitor(monitor, share) : 0;
}

int32_t CVzShareWrapper::ShareWindow(ApplicationInfo* window, int32_t share) {
  return engine_ ? engine_->ShareWindow(window, share) : 0;
}

int32_t CVzShareWrapper::StartCapture(MeetConfig* meet_config, int32_t mode) {
  return engine_ ? engine_->StartCapture(meet_config, mode) : 0;
}

int32_t CVzShareWrapper::StopCapture() { return engine_ ? engine_->StopCapture() : 0; }

void CVzShareWrapper::CaptureNow() {
  if (engine_) engine_->CaptureNow();
}

void CVzShareWrapper::Refresh() {
  if (engine_) engine_->Refresh();
}

void CVzShareWrapper::SetCaptureHold(int32_t value) {
  if (engine_) engine_->SetCaptureHold(value);
}

int32_t CVzShareWrapper::GetCaptureHold() { return engine_ ? engine_->GetCaptureHold() : 0; }

int32_t CVzShareWrapper::ShowPointerWindow(int32_t show) { return engine_ ? engine_->ShowPointerWindow(show) : 0; }

int32_t CVzShareWrapper::IsPointerWindowShown() { return engine_ ? engine_->IsPointerWindowShown() : 0; }

int32_t CVzShareWrapper::ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) {
  return engine_ ? engine_->ShowArrowIndicator(label, color, point) : 0;
}

int32_t CVzShareWrapper::SetArrowIndicatorText(const char16_t* label, uint32_t color) {
  return engine_ ? engine_->SetArrowIndicatorText(label, color) : 0;
}

int32_t CVzShareWrapper::SetExcludedWindow1(VzWindowHandle window) {
  return engine_ ? engine_->SetExcludedWindow1(window) : 0;
}

int32_t CVzShareWrapper::SetExcludedWindow2(VzWindowHandle window) {
  return engine_ ? engine_->SetExcludedWindow2(window) : 0;
}

int32_t CVzShareWrapper::SetExcludedWindow3(VzWindowHandle window) {
  return engine_ ? engine_->SetExcludedWindow3(window) : 0;
}

void CVzShareWrapper::SetCursorCapture(int32_t enable) {
  if (engine_) engine_->SetCursorCapture(enable);
}

// The client does not use the blank screen, the send backlog or the cursor
// entry: these stay with the engine's own callers.
int32_t CVzShareWrapper::SetBlankScreenMode(int32_t) { return 0; }

int32_t CVzShareWrapper::IsBlankScreenActive() { return 0; }

void CVzShareWrapper::SetSendBacklog(uint32_t) {}

int32_t CVzShareWrapper::StartDS(MeetConfig* meet_config, DSSessionConfig* session, NetworkProxyEntry* proxy) {
  return engine_ ? engine_->StartDS(meet_config, session, proxy) : 0;
}

int32_t CVzShareWrapper::StopDS() { return engine_ ? engine_->StopDS() : 0; }

MonitorInfo* CVzShareWrapper::GetMonitorInfo(int32_t monitor_id) {
  return engine_ ? engine_->GetMonitorInfo(monitor_id) : nullptr;
}

DSSessionConfig* CVzShareWrapper::GetSessionConfig() { return engine_ ? engine_->GetSessionConfig() : nullptr; }

int32_t CVzShareWrapper::SendCommand(DSCommandRecord* command) { return engine_ ? engine_->SendCommand(command) : 0; }

int32_t CVzShareWrapper::SendWebBinary(CVZBinaryData* data) { return engine_ ? engine_->SendWebBinary(data) : 0; }

int32_t CVzShareWrapper::OnCaptureMouseInfo(CaptureMouseInfo*) { return 0; }
