#pragma once
// The stand-in audio engine: takes a join and reports "connecting" then
// "joined" (or a scripted error), keeps the mute state, reports "left" on a
// leave, and gives a fixed synchronisation source. It carries no audio.
//
// Lives on the thread that created it: every sink call is posted to that
// thread's run loop (through its CAppThread mailbox) and so never happens
// inside an engine operation. A leave drops the reports of the join it ends;
// Stop drops everything still queued.
#include <cstdint>
#include <vector>

#include "contracts/ac_provider.h"
#include "common/app_thread.h"
#include "outside/vzaudio/audio_script.h"

// The synchronisation source that the stand-in reports for the user's audio.
inline constexpr int32_t kStandInAudioSsrc = 0x12345678;

// CAppThread comes first, so the object starts with its reference-counted base.
class CAudioStandInEngine : public CAppThread, public IACProvider {
 public:
  CAudioStandInEngine(IACProviderSink* sink, AudioScript script);

  int32_t JoinAudio(MeetConfig* meet_config, ACSessionConfig* session, NetworkProxyEntry* proxy) override;
  int32_t LeaveAudio() override;
  int32_t ConfigAudio() override;
  int32_t MuteAudio() override;
  int32_t UnmuteAudio() override;
  int32_t IsAudioMuted() override;
  int32_t IsAudioConfigOpen() override;
  int32_t GetAudioSsrc() override;

  intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void OnTimer(uintptr_t timer_id) override;

 private:
  // One report to the sink, carried by a posted message.
  struct Report {
    enum Kind { kStatus, kError, kSpeakers, kNetworks, kLevels, kMic } kind;
    uint32_t session;  // the join it belongs to
    int32_t first = 0;
    int32_t second = 0;
    std::vector<ACSpeakerEntry> speakers;
    std::vector<ACRosterNetworkEntry> networks;
  };
  ~CAudioStandInEngine() override = default;  // through Release only
  // Posts a report of the current join.
  void Post(Report::Kind kind, int32_t first = 0, int32_t second = 0, std::vector<ACSpeakerEntry> speakers = {},
            std::vector<ACRosterNetworkEntry> networks = {});
  static void FreeReport(uintptr_t wParam, intptr_t lParam);

  IACProviderSink* const sink_;
  const AudioScript script_;
  uint32_t session_ = 0;  // counts joins and leaves
  bool in_session_ = false;
  int32_t muted_ = 0;
  int32_t config_open_ = 0;
  ACSessionConfig session_config_{};
};
