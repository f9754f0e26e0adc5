#pragma once
// The web link's wrapper: loads "vzlink.dll", makes the link instance
// through the library's first export and offers its operations by name.
// Without a library or an instance every operation returns 0 and does
// nothing else. (The last two operations come in the opposite order of the
// instance's table; forwarding is by name, so that does not matter.)
//
// Lives on the UI thread: created, called and deleted there.
#include <cstdint>

#include "client/controller/engine_library_binding.h"
#include "client/controller/wrapper_module_loader.h"
#include "contracts/vz_link_instance.h"

class CVzLinkWrapper {
 public:
  // Loads the library; one error line when it is missing.
  explicit CVzLinkWrapper(vz::IModuleLoader& loader = vz::SystemModuleLoader());
  // Releases a held instance; the library stays loaded.
  virtual ~CVzLinkWrapper();
  CVzLinkWrapper(const CVzLinkWrapper&) = delete;
  CVzLinkWrapper& operator=(const CVzLinkWrapper&) = delete;

  // 1 when an instance was made, else 0. Unlike the engine wrappers the sink
  // is passed on as it is, null included. An instance held from before is
  // released first.
  int32_t CreateInstance(IVzLinkInstanceSink* sink);
  void ReleaseInstance();

  virtual int32_t WSStartListen(AppPeerConfig* config);
  virtual int32_t WSSendValue1(int32_t value);
  virtual int32_t WSSendValue2(int32_t value);
  virtual int32_t WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id, const char16_t* ds_id);
  virtual int32_t WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                           const char16_t* ds_id);
  virtual int32_t WSDSSessionResponseRemoteControl(int32_t unused, int32_t approved, const char16_t* conf_id,
                                                   const char16_t* ds_id);
  virtual int32_t WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* conf_id, const char16_t* ds_id);
  virtual int32_t WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id);
  virtual int32_t WSACSessionResponseStatus(int32_t status, const char16_t* conf_id);
  virtual int32_t WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id);
  virtual int32_t WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id);
  virtual int32_t WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id);
  virtual int32_t WSACSessionResponseSpeakers(ACSpeakerEntry* speakers, int32_t count, const char16_t* conf_id);
  virtual int32_t WSACSessionResponseRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count,
                                                    const char16_t* conf_id);
  virtual int32_t WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                                 const char16_t* conf_id);
  virtual int32_t WSACSessionNotifyJoin(const char16_t* conf_id);
  virtual int32_t WSACSessionNotifyLeave(const char16_t* conf_id);
  virtual int32_t WSACSessionNotifyMute(const char16_t* conf_id);
  virtual int32_t WSACSessionNotifyUnmute(const char16_t* conf_id);
  virtual int32_t WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id);
  virtual int32_t WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id);
  virtual int32_t WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id);
  virtual int32_t WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id);
  virtual int32_t WSDSSessionNotifyStart(const char16_t* conf_id);
  virtual int32_t WSAVSessionNotifyJoin(const char16_t* conf_id);

 private:
  IVzLinkInstance* instance() const { return library_.engine(); }

  EngineLibraryBinding<IVzLinkInstance, CreateVzLinkInstanceFn, ReleaseVzLinkInstanceFn> library_;
};
