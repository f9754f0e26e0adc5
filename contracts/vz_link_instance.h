#pragma once
// The web link (vzlink) and the meeting client's side of it: the link's
// operations (IVzLinkInstance, mostly reports to the web page), the web
// page's requests as callbacks (IVzLinkInstanceSink) and the types of the
// library's two exports. Conference and sharing ids are wide texts.
#include <cstdint>

#include "common/vz_binary_data.h"
#include "contracts/ac_report_entries.h"
#include "contracts/app_peer_config.h"
#include "contracts/link_request_records.h"
#include "contracts/session_records.h"

// 25 operations in slot order; no destructor slot (the link is released
// through its second export). Reports carry no error in their result: each
// returns 0, except the speakers and networks reports (1 when they built a
// report, whether or not the pipe was there to take it) and the two values
// (always 1). A report made while no pipe is connected is built, logged and
// dropped.
class IVzLinkInstance {
 public:
  virtual int32_t WSStartListen(AppPeerConfig* config) = 0;  // 1
  virtual int32_t WSSendValue1(int32_t value) = 0;
  virtual int32_t WSSendValue2(int32_t value) = 0;
  // Sharing reports.
  virtual int32_t WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id, const char16_t* ds_id) = 0;
  virtual int32_t WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                           const char16_t* ds_id) = 0;  // 5
  virtual int32_t WSDSSessionResponseRemoteControl(int32_t unused, int32_t approved, const char16_t* conf_id,
                                                   const char16_t* ds_id) = 0;
  // The two ids are passed along but not used by the link.
  virtual int32_t WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* conf_id, const char16_t* ds_id) = 0;
  // Audio reports.
  virtual int32_t WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id) = 0;  // 8
  virtual int32_t WSACSessionResponseStatus(int32_t status, const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) = 0;  // 10
  virtual int32_t WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionResponseSpeakers(ACSpeakerEntry* speakers, int32_t count, const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionResponseRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count,
                                                    const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                                 const char16_t* conf_id) = 0;  // 15
  virtual int32_t WSACSessionNotifyJoin(const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionNotifyLeave(const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionNotifyMute(const char16_t* conf_id) = 0;
  virtual int32_t WSACSessionNotifyUnmute(const char16_t* conf_id) = 0;
  // Video reports.
  virtual int32_t WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id) = 0;  // 20
  virtual int32_t WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id) = 0;
  virtual int32_t WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) = 0;
  virtual int32_t WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id) = 0;
  virtual int32_t WSAVSessionNotifyJoin(const char16_t* conf_id) = 0;   // 24
  virtual int32_t WSDSSessionNotifyStart(const char16_t* conf_id) = 0;  // 25

 protected:
  ~IVzLinkInstance() = default;
};

// The web page's requests, implemented by the meeting client and called on
// the thread that created the link. Records and texts belong to the link
// and are freed after the call; results are not read.
class IVzLinkInstanceSink {
 public:
  virtual int32_t OnPluginWindowEvent(int32_t type, WindowEventRecord* record) = 0;
  virtual int32_t OnPluginMouseEvent(MouseEventRecord* record) = 0;
  // status 2: the pipe is connected; 1: lost or never opened.
  virtual int32_t OnAppSocketListener(int32_t status, int32_t code) = 0;
  virtual int32_t OnAppRequestConfigProxy(int32_t unused) = 0;
  virtual int32_t OnAppCmdUserJoined(RosterRecord* roster) = 0;
  virtual int32_t OnAppCmdUserLeft(RosterRecord* roster) = 0;
  virtual int32_t OnAppCmdUserUpdated(RosterRecord* roster) = 0;
  virtual int32_t OnAppCmdMeetConfig(MeetConfig* config) = 0;
  // Sharing requests.
  virtual int32_t OnDSSessionRequestStart(DSSessionConfig* session) = 0;
  virtual int32_t OnDSSessionRequestWebJoin(DSSessionConfig* session) = 0;
  virtual int32_t OnDSSessionRequestUpdate(DSSessionConfig* session) = 0;
  virtual int32_t OnDSSessionRequestStop(const char16_t* session_id) = 0;  // the id may be null
  virtual int32_t OnDSSessionRequestQuickStart(DSSessionConfig* session) = 0;
  virtual int32_t OnDSDataCommand(CVZBinaryData* data) = 0;
  // Audio requests.
  virtual int32_t OnACSessionRequestJoin(ACSessionConfig* session) = 0;
  virtual int32_t OnACSessionRequestUpdate(ACSessionConfig* session) = 0;
  virtual int32_t OnACSessionRequestLeave(const char16_t* conf_id) = 0;  // the id may be null
  virtual int32_t OnACSessionRequestConfig(int32_t unused) = 0;
  virtual int32_t OnACSessionRequestMute(int32_t unused) = 0;
  virtual int32_t OnACSessionRequestUnmute(int32_t unused) = 0;
  // What the web page tells of its own audio.
  virtual int32_t OnAppAudioStatusJoined(int32_t muted) = 0;
  virtual int32_t OnAppAudioStatusLeft() = 0;
  virtual int32_t OnAppAudioStatusMuted() = 0;
  virtual int32_t OnAppAudioStatusUnmuted() = 0;
  // Video requests.
  virtual int32_t OnAVSessionRequestJoin(AVSessionConfig* session) = 0;
  virtual int32_t OnAVSessionRequestUpdate(AVSessionConfig* session) = 0;
  virtual int32_t OnAVSessionRequestLeave(const char16_t* conf_id) = 0;  // the id may be null
  virtual int32_t OnAVSessionRequestConfig(int32_t unused) = 0;
  // row_column: {row, column}, each an unsigned 16-bit value.
  virtual int32_t OnAVSessionRequestLayout(int32_t unused, int32_t layout, int32_t* row_column) = 0;
  virtual int32_t OnAVSessionRequestCameraOn(int32_t unused) = 0;
  virtual int32_t OnAVSessionRequestCameraOff(int32_t unused) = 0;

 protected:
  ~IVzLinkInstanceSink() = default;
};

// vzlink export 1 ("CreateVzLinkInstance"): the link for a sink; null only
// when it cannot be made.
using CreateVzLinkInstanceFn = IVzLinkInstance* (*)(IVzLinkInstanceSink* sink);
// vzlink export 2 ("ReleaseVzLinkInstance"): stops and releases; null is ignored. Always 1.
using ReleaseVzLinkInstanceFn = int32_t (*)(IVzLinkInstance* instance);
