#include "client/controller/vz_link_wrapper.h"

#include "common/trace_client.h"

CVzLinkWrapper::CVzLinkWrapper(vz::IModuleLoader& loader) : loader_(loader) {
  VZ_LOG("");
  instance_ = nullptr;
  module_ = loader_.Open("vzlink.dll");
  if (!module_) VZ_LOG_ERROR("Can't find app socket sdk dll!");
}

CVzLinkWrapper::~CVzLinkWrapper() {
  VZ_LOG_ERROR("CVzLinkWrapper::~CVzLinkWrapper");
  ReleaseInstance();
  module_ = nullptr;  // never unloaded
}

int32_t CVzLinkWrapper::CreateInstance(IVzLinkInstanceSink* sink) {
  VZ_LOG("");
  if (instance_) ReleaseInstance();  // would otherwise leak with its pipe and callbacks alive
  instance_ = nullptr;
  if (!module_) return 0;
  const auto create = reinterpret_cast<CreateVzLinkInstanceFn>(loader_.Ordinal(module_, 1));
  if (!create) return 0;
  instance_ = create(sink);
  return instance_ ? 1 : 0;
}

void CVzLinkWrapper::ReleaseInstance() {
  VZ_LOG("");
  if (!instance_ || !module_) return;
  const auto release = reinterpret_cast<ReleaseVzLinkInstanceFn>(loader_.Ordinal(module_, 2));
  if (!release) {
    VZ_LOG_ERROR("Can't release the link instance: no release export.");
    return;
  }
  IVzLinkInstance* instance = instance_;
  instance_ = nullptr;  // calls made while it is released get defaults
  release(instance);
}

int32_t CVzLinkWrapper::WSStartListen(AppPeerConfig* config) { return instance_ ? instance_->WSStartListen(config) : 0; }

int32_t CVzLinkWrapper::WSSendValue1(int32_t value) { return instance_ ? instance_->WSSendValue1(value) : 0; }

int32_t CVzLinkWrapper::WSSendValue2(int32_t value) { return instance_ ? instance_->WSSendValue2(value) : 0; }

int32_t CVzLinkWrapper::WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id, const char16_t* ds_id) {
  return instance_ ? instance_->WSDSSessionResponseStatus(status, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                                 const char16_t* ds_id) {
  return instance_ ? instance_->WSDSSessionResponseError(code, code_type, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionResponseRemoteControl(int32_t unused, int32_t approved, const char16_t* conf_id,
                                                         const char16_t* ds_id) {
  return instance_ ? instance_->WSDSSessionResponseRemoteControl(unused, approved, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* conf_id,
                                                  const char16_t* ds_id) {
  return instance_ ? instance_->WSDSSessionResponseBinary(data, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseJoined(muted, ssrc, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseStatus(status, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseError(code, code_type, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseMuted(muted, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseMicStatus(status, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseSpeakers(ACSpeakerEntry* speakers, int32_t count,
                                                    const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseSpeakers(speakers, count, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count,
                                                          const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseRostersNetwork(rosters, count, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                                       const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionResponseDeviceLevel(speaker_level, microphone_level, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyJoin(const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionNotifyJoin(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyLeave(const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionNotifyLeave(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyMute(const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionNotifyMute(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyUnmute(const char16_t* conf_id) {
  return instance_ ? instance_->WSACSessionNotifyUnmute(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id) {
  return instance_ ? instance_->WSAVSessionResponseJoined(broadcasted, ssrc, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  return instance_ ? instance_->WSAVSessionResponseStatus(status, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return instance_ ? instance_->WSAVSessionResponseError(code, code_type, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id) {
  return instance_ ? instance_->WSAVSessionResponseBroadcasted(broadcasted, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionNotifyStart(const char16_t* conf_id) {
  return instance_ ? instance_->WSDSSessionNotifyStart(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionNotifyJoin(const char16_t* conf_id) {
  return instance_ ? instance_->WSAVSessionNotifyJoin(conf_id) : 0;
}
