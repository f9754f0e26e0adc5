#include "client/controller/ac_engine_wrapper.h"

#include "common/trace_client.h"

CACEngineWrapper::CACEngineWrapper(vz::IModuleLoader& loader) : library_(loader, "vzaudio.dll", "AC engine") {
  VZ_LOG("");
  if (!library_.loaded()) VZ_LOG_ERROR("Can't find AC engine dll!");
}

CACEngineWrapper::~CACEngineWrapper() {
  VZ_LOG("");
  ReleaseInstance();
}

int32_t CACEngineWrapper::CreateInstance(IACProviderSink* sink) {
  VZ_LOG("");
  if (!sink) return 0;
  return library_.Create(sink) ? 1 : 0;
}

void CACEngineWrapper::ReleaseInstance() {
  VZ_LOG("");
  library_.Release();
}

int32_t CACEngineWrapper::JoinAudio(MeetConfig* meet_config, ACSessionConfig* session, NetworkProxyEntry* proxy) {
  return engine() ? engine()->JoinAudio(meet_config, session, proxy) : 0;
}

int32_t CACEngineWrapper::LeaveAudio() { return engine() ? engine()->LeaveAudio() : 0; }

int32_t CACEngineWrapper::ConfigAudio() { return engine() ? engine()->ConfigAudio() : 0; }

int32_t CACEngineWrapper::MuteAudio() { return engine() ? engine()->MuteAudio() : 0; }

int32_t CACEngineWrapper::UnmuteAudio() { return engine() ? engine()->UnmuteAudio() : 0; }

int32_t CACEngineWrapper::IsAudioMuted() { return engine() ? engine()->IsAudioMuted() : 0; }

int32_t CACEngineWrapper::IsAudioConfigOpen() { return engine() ? engine()->IsAudioConfigOpen() : 0; }

int32_t CACEngineWrapper::GetAudioSsrc() { return engine() ? engine()->GetAudioSsrc() : 0; }
