#include "client/controller/ac_engine_wrapper.h"

#include "common/trace_client.h"

CACEngineWrapper::CACEngineWrapper(vz::IModuleLoader& loader) : loader_(loader) {
  VZ_LOG("");
  engine_ = nullptr;
  module_ = loader_.Open("vzaudio.dll");
  if (!module_) VZ_LOG_ERROR("Can't find AC engine dll!");
}

CACEngineWrapper::~CACEngineWrapper() {
  VZ_LOG("");
  ReleaseInstance();
  module_ = nullptr;  // never unloaded
}

int32_t CACEngineWrapper::CreateInstance(IACProviderSink* sink) {
  VZ_LOG("");
  if (!sink) return 0;
  if (!module_) return 0;
  const auto create = reinterpret_cast<ACCreateInstanceFn>(loader_.Ordinal(module_, 1));
  if (!create) return 0;
  // A second engine would otherwise leak the first with its callbacks alive.
  if (engine_) ReleaseInstance();
  engine_ = create(sink);
  return engine_ ? 1 : 0;
}

void CACEngineWrapper::ReleaseInstance() {
  VZ_LOG("");
  if (!engine_ || !module_) return;
  const auto release = reinterpret_cast<ACDeleteInstanceFn>(loader_.Ordinal(module_, 2));
  if (!release) {
    VZ_LOG_ERROR("Can't release the AC engine: no release export.");
    return;
  }
  // Forgotten before the call, so calls made while it is released get defaults.
  IACProvider* engine = engine_;
  engine_ = nullptr;
  release(engine);
}

int32_t CACEngineWrapper::JoinAudio(MeetConfig* meet_config, ACSessionConfig* session, NetworkProxyEntry* proxy) {
  return engine_ ? engine_->JoinAudio(meet_config, session, proxy) : 0;
}

int32_t CACEngineWrapper::LeaveAudio() { return engine_ ? engine_->LeaveAudio() : 0; }

int32_t CACEngineWrapper::ConfigAudio() { return engine_ ? engine_->ConfigAudio() : 0; }

int32_t CACEngineWrapper::MuteAudio() { return engine_ ? engine_->MuteAudio() : 0; }

int32_t CACEngineWrapper::UnmuteAudio() { return engine_ ? engine_->UnmuteAudio() : 0; }

int32_t CACEngineWrapper::IsAudioMuted() { return engine_ ? engine_->IsAudioMuted() : 0; }

int32_t CACEngineWrapper::IsAudioConfigOpen() { return engine_ ? engine_->IsAudioConfigOpen() : 0; }

int32_t CACEngineWrapper::GetAudioSsrc() { return engine_ ? engine_->GetAudioSsrc() : 0; }
