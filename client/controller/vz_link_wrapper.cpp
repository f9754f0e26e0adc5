#include "client/controller/vz_link_wrapper.h"

#include "common/trace_client.h"

CVzLinkWrapper::CVzLinkWrapper(vz::IModuleLoader& loader) : library_(loader, "vzlink.dll", "link instance") {
  VZ_LOG("");
  if (!library_.loaded()) VZ_LOG_ERROR("Can't find app socket sdk dll!");
}

CVzLinkWrapper::~CVzLinkWrapper() {
  VZ_LOG_ERROR("CVzLinkWrapper::~CVzLinkWrapper");
  ReleaseInstance();
}

int32_t CVzLinkWrapper::CreateInstance(IVzLinkInstanceSink* sink) {
  VZ_LOG("");
  // The sink is passed on as it is, null included.
  return library_.Create(sink) ? 1 : 0;
}

void CVzLinkWrapper::ReleaseInstance() {
  VZ_LOG("");
  library_.Release();
}

int32_t CVzLinkWrapper::WSStartListen(AppPeerConfig* config) {
  return instance() ? instance()->WSStartListen(config) : 0;
}

int32_t CVzLinkWrapper::WSSendValue1(int32_t value) { return instance() ? instance()->WSSendValue1(value) : 0; }

int32_t CVzLinkWrapper::WSSendValue2(int32_t value) { return instance() ? instance()->WSSendValue2(value) : 0; }

int32_t CVzLinkWrapper::WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id, const char16_t* ds_id) {
  return instance() ? instance()->WSDSSessionResponseStatus(status, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                                 const char16_t* ds_id) {
  return instance() ? instance()->WSDSSessionResponseError(code, code_type, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionResponseRemoteControl(int32_t unused, int32_t approved, const char16_t* conf_id,
                                                         const char16_t* ds_id) {
  return instance() ? instance()->WSDSSessionResponseRemoteControl(unused, approved, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* conf_id, const char16_t* ds_id) {
  return instance() ? instance()->WSDSSessionResponseBinary(data, conf_id, ds_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseJoined(muted, ssrc, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseStatus(status, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseError(code, code_type, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseMuted(muted, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseMicStatus(status, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseSpeakers(ACSpeakerEntry* speakers, int32_t count, const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseSpeakers(speakers, count, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count,
                                                          const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseRostersNetwork(rosters, count, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                                       const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionResponseDeviceLevel(speaker_level, microphone_level, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyJoin(const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionNotifyJoin(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyLeave(const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionNotifyLeave(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyMute(const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionNotifyMute(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSACSessionNotifyUnmute(const char16_t* conf_id) {
  return instance() ? instance()->WSACSessionNotifyUnmute(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id) {
  return instance() ? instance()->WSAVSessionResponseJoined(broadcasted, ssrc, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  return instance() ? instance()->WSAVSessionResponseStatus(status, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return instance() ? instance()->WSAVSessionResponseError(code, code_type, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id) {
  return instance() ? instance()->WSAVSessionResponseBroadcasted(broadcasted, conf_id) : 0;
}

int32_t CVzLinkWrapper::WSDSSessionNotifyStart(const char16_t* conf_id) {
  return instance() ? instance()->WSDSSessionNotifyStart(conf_id) : 0;
}

int32_t CVzLinkWrapper::WSAVSessionNotifyJoin(const char16_t* conf_id) {
  return instance() ? instance()->WSAVSessionNotifyJoin(conf_id) : 0;
}
