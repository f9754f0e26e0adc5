#include "client/controller/av_engine_wrapper.h"

#include "common/trace_client.h"

CAVEngineWrapper::CAVEngineWrapper(vz::IModuleLoader& loader) : library_(loader, "vzvideo.dll", "AV engine") {
  VZ_LOG("");
  // The loader has logged the system's reason text already; this line
  // carries its code.
  if (!library_.loaded()) VZ_LOG_ERROR("Can't find AV engine dll! error [%d]", library_.load_error().code);
}

CAVEngineWrapper::~CAVEngineWrapper() {
  VZ_LOG("");
  ReleaseInstance();
}

int32_t CAVEngineWrapper::CreateInstance(IAVProviderSink* sink) {
  VZ_LOG("");
  if (!sink) return 0;
  return library_.Create(sink) ? 1 : 0;
}

void CAVEngineWrapper::ReleaseInstance() {
  VZ_LOG("");
  library_.Release();
}

int32_t CAVEngineWrapper::JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                                    int32_t container_window) {
  return engine() ? engine()->JoinVideo(meet_config, session, proxy, container_window) : 0;
}

int32_t CAVEngineWrapper::LeaveVideo() { return engine() ? engine()->LeaveVideo() : 0; }

int32_t CAVEngineWrapper::ConfigVideo() { return engine() ? engine()->ConfigVideo() : 0; }

int32_t CAVEngineWrapper::PreviewCapture(int32_t value) { return engine() ? engine()->PreviewCapture(value) : 0; }

int32_t CAVEngineWrapper::Reserved4(int32_t value) { return engine() ? engine()->Reserved4(value) : 0; }

int32_t CAVEngineWrapper::Reserved5(int32_t value) { return engine() ? engine()->Reserved5(value) : 0; }

int32_t CAVEngineWrapper::SetVideoLayoutMode(int32_t mode, int32_t* row_column) {
  return engine() ? engine()->SetVideoLayoutMode(mode, row_column) : 0;
}

int32_t CAVEngineWrapper::StartMyVideo(int32_t value) { return engine() ? engine()->StartMyVideo(value) : 0; }

int32_t CAVEngineWrapper::StopMyVideo() { return engine() ? engine()->StopMyVideo() : 0; }

int32_t CAVEngineWrapper::PauseMyVideo() { return engine() ? engine()->PauseMyVideo() : 0; }

int32_t CAVEngineWrapper::ResumeMyVideo() { return engine() ? engine()->ResumeMyVideo() : 0; }

int32_t CAVEngineWrapper::IsMyVideoStarted() { return engine() ? engine()->IsMyVideoStarted() : 0; }

int32_t CAVEngineWrapper::GetCurrentCaptureDevice() { return engine() ? engine()->GetCurrentCaptureDevice() : -1; }

int32_t CAVEngineWrapper::SelectCaptureDeviceById(int32_t device_id) {
  return engine() ? engine()->SelectCaptureDeviceById(device_id) : 0;
}

void CAVEngineWrapper::ActivateVideoPanel() {
  if (engine()) engine()->ActivateVideoPanel();
}

int32_t CAVEngineWrapper::GetVideoStatus() { return engine() ? engine()->GetVideoStatus() : 0; }

int32_t CAVEngineWrapper::AppRosterJoined(RosterRecord* roster, int32_t last) {
  return engine() ? engine()->AppRosterJoined(roster, last) : 0;
}

int32_t CAVEngineWrapper::AppRosterUpdated(RosterRecord* roster) {
  return engine() ? engine()->AppRosterUpdated(roster) : 0;
}

int32_t CAVEngineWrapper::AppRosterLeft(RosterRecord* roster) { return engine() ? engine()->AppRosterLeft(roster) : 0; }
