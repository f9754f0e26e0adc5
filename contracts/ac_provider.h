#pragma once
// The outside audio engine (vzaudio) and the meeting client's side of it:
// the engine's operations (IACProvider), the client's callbacks
// (IACProviderSink) and the types of the library's two exports.
#include <cstdint>

#include "contracts/network_proxy_entry.h"
#include "contracts/ac_report_entries.h"
#include "contracts/session_records.h"
#include "contracts/session_status.h"

// Implemented by the meeting client. Every call arrives on the thread that
// called the engine's first export, never from inside an engine operation.
class IACProviderSink {
 public:
  // status: a SessionStatus (connecting, joined; ended or idle when over).
  virtual int32_t OnACStatusNotification(int32_t status, int32_t muted) = 0;
  virtual int32_t OnACActivedSpeaker(ACSpeakerEntry* speakers, int32_t count) = 0;
  virtual int32_t OnACRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count) = 0;
  virtual int32_t OnACDeviceVolumeLevel(int32_t speaker_level, int32_t microphone_level) = 0;
  virtual int32_t OnACMicStatus(int32_t status) = 0;
  // 9 or 4: try the next proxy; 13: the proxy asks for credentials.
  virtual int32_t OnACAudioErrorCode(int32_t code, int32_t code_type) = 0;

 protected:
  ~IACProviderSink() = default;
};

class IACProvider {
 public:
  // Non-zero when the join started. The records stay the caller's; the
  // engine copies what it keeps. The proxy may be null.
  virtual int32_t JoinAudio(MeetConfig* meet_config, ACSessionConfig* session, NetworkProxyEntry* proxy) = 0;
  virtual int32_t LeaveAudio() = 0;
  // Opens the engine's audio settings; may be the first call on a fresh engine.
  virtual int32_t ConfigAudio() = 0;
  virtual int32_t MuteAudio() = 0;    // non-zero when now muted
  virtual int32_t UnmuteAudio() = 0;  // non-zero when now unmuted
  virtual int32_t IsAudioMuted() = 0;
  virtual int32_t IsAudioConfigOpen() = 0;
  virtual int32_t GetAudioSsrc() = 0;
  // The client never deletes the engine's object; it uses the second export.
  virtual ~IACProvider() = default;
};

// vzaudio export 1 ("ACCreateInstance"): the engine for a sink, or null.
using ACCreateInstanceFn = IACProvider* (*)(IACProviderSink* sink);
// vzaudio export 2 ("ACDeleteInstance"): releases the engine; the result is not read.
using ACDeleteInstanceFn = int32_t (*)(IACProvider* engine);
