#include "client/controller/av_engine_wrapper.h"

#include <cerrno>

#include "common/trace_client.h"

CAVEngineWrapper::CAVEngineWrapper(vz::IModuleLoader& loader) : loader_(loader) {
  VZ_LOG("");
  engine_ = nullptr;
  errno = 0;
  module_ = loader_.Open("vzvideo.dll");
  // The loader has logged the system's reason text already.
  if (!module_) VZ_LOG_ERROR("Can't find AV engine dll! error [%d]", errno);
}

CAVEngineWrapper::~CAVEngineWrapper() {
  VZ_LOG("");
  ReleaseInstance();
  module_ = nullptr;  // never unloaded
}

int32_t CAVEngineWrapper::CreateInstance(IAVProviderSink* sink) {
  VZ_LOG("");
  if (!sink) return 0;
  if (!module_) return 0;
  const auto create = reinterpret_cast<VideoCreateInstanceFn>(loader_.Ordinal(module_, 1));
  if (!create) return 0;
  if (engine_) ReleaseInstance();  // would otherwise leak with its callbacks alive
  engine_ = create(sink);
  return engine_ ? 1 : 0;
}

void CAVEngineWrapper::ReleaseInstance() {
  VZ_LOG("");
  if (!engine_ || !module_) return;
  const auto release = reinterpret_cast<VideoDeleteInstanceFn>(loader_.Ordinal(module_, 2));
  if (!release) {
    VZ_LOG_ERROR("Can't release the AV engine: no release export.");
    return;
  }
  IAVProvider* engine = engine_;
  engine_ = nullptr;  // calls made while it is released get defaults
  release(engine);
}

int32_t CAVEngineWrapper::JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                                    int32_t container_window) {
  return engine_ ? engine_->JoinVideo(meet_config, session, proxy, container_window) : 0;
}

int32_t CAVEngineWrapper::LeaveVideo() { return engine_ ? engine_->LeaveVideo() : 0; }

int32_t CAVEngineWrapper::ConfigVideo() { return engine_ ? engine_->ConfigVideo() : 0; }

int32_t CAVEngineWrapper::PreviewCapture(int32_t value) { return engine_ ? engine_->PreviewCapture(value) : 0; }

int32_t CAVEngineWrapper::Reserved4(int32_t value) { return engine_ ? engine_->Reserved4(value) : 0; }

int32_t CAVEngineWrapper::Reserved5(int32_t value) { return engine_ ? engine_->Reserved5(value) : 0; }

int32_t CAVEngineWrapper::SetVideoLayoutMode(int32_t mode, int32_t* row_column) {
  return engine_ ? engine_->SetVideoLayoutMode(mode, row_column) : 0;
}

int32_t CAVEngineWrapper::StartMyVideo(int32_t value) { return engine_ ? engine_->StartMyVideo(value) : 0; }

int32_t CAVEngineWrapper::StopMyVideo() { return engine_ ? engine_->StopMyVideo() : 0; }

int32_t CAVEngineWrapper::PauseMyVideo() { return engine_ ? engine_->PauseMyVideo() : 0; }

int32_t CAVEngineWrapper::ResumeMyVideo() { return engine_ ? engine_->ResumeMyVideo() : 0; }

int32_t CAVEngineWrapper::IsMyVideoStarted() { return engine_ ? engine_->IsMyVideoStarted() : 0; }

int32_t CAVEngineWrapper::GetCurrentCaptureDevice() { return engine_ ? engine_->GetCurrentCaptureDevice() : -1; }

int32_t CAVEngineWrapper::SelectCaptureDeviceById(int32_t device_id) {
  return engine_ ? engine_->SelectCaptureDeviceById(device_id) : 0;
}

void CAVEngineWrapper::ActivateVideoPanel() {
  if (engine_) engine_->ActivateVideoPanel();
}

int32_t CAVEngineWrapper::GetVideoStatus() { return engine_ ? engine_->GetVideoStatus() : 0; }

int32_t CAVEngineWrapper::AppRosterJoined(RosterRecord* roster, int32_t last) {
  return engine_ ? engine_->AppRosterJoined(roster, last) : 0;
}

int32_t CAVEngineWrapper::AppRosterUpdated(RosterRecord* roster) {
  return engine_ ? engine_->AppRosterUpdated(roster) : 0;
}

int32_t CAVEngineWrapper::AppRosterLeft(RosterRecord* roster) { return engine_ ? engine_->AppRosterLeft(roster) : 0; }
