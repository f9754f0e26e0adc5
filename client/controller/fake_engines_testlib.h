#pragma once
// Fake engine libraries and a fake web link for the controller's scenario
// tests. Everything they are asked and everything the web page is told goes
// into one journal, in order, as short texts:
//   "web DSStatus(1)", "web ACError(9,2)", ...   reports to the web page
//   "share StartDS(proxy=B,port=443)", ...       calls on an engine
//   "share#2 released"                           an engine handed back
// Engines are made by the libraries' first export, one new object for each
// instance, and deleted by the second export, so a use after the release is
// a fault under the address sanitizer. Each engine can call its sink, as the
// real ones do, from a test (Emit*), and it touches itself after the call
// returns: an engine released inside its own callback is caught there.
//
// One hub at a time (the exports are plain functions); tests only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "contracts/ac_provider.h"
#include "client/controller/fake_module_loader_testlib.h"
#include "contracts/ds_provider.h"
#include "contracts/av_provider.h"
#include "contracts/vz_link_instance.h"

namespace vz {

class FakeEngineHub;

class FakeShareEngine final : public IDSProvider {
 public:
  FakeShareEngine(FakeEngineHub& hub, IDSProviderSink* sink, int number);
  ~FakeShareEngine() override;

  // The engine's callbacks.
  void EmitStatus(int32_t status);
  void EmitError(int32_t code, int32_t code_type);
  void EmitWebBinary(CVZBinaryData* data);
  void EmitCommand(DSCommandRecord* command);
  IDSProviderSink* sink() const { return sink_; }
  int number() const { return number_; }  // 1 for the first engine of its kind
  const DSSessionConfig& session() const { return session_; }
  const DSCommandRecord& last_command() const { return last_command_; }

  MonitorList* GetMonitorList() override;
  ApplicationList* GetWindowList() override;
  int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) override;
  int32_t ShareWindow(ApplicationInfo* window, int32_t share) override;
  int32_t StartCapture(MeetConfig* meet_config, int32_t mode) override;
  int32_t StopCapture() override { return 0; }
  void CaptureNow() override;
  void Refresh() override {}
  void SetCaptureHold(int32_t) override {}
  int32_t GetCaptureHold() override { return 0; }
  int32_t ShowPointerWindow(int32_t show) override;
  int32_t IsPointerWindowShown() override { return 0; }
  int32_t ShowArrowIndicator(const char16_t*, uint32_t, VzPoint*) override { return 0; }
  int32_t SetArrowIndicatorText(const char16_t*, uint32_t) override { return 0; }
  int32_t SetExcludedWindow1(VzWindowHandle) override { return 0; }
  int32_t SetExcludedWindow2(VzWindowHandle) override { return 0; }
  int32_t SetExcludedWindow3(VzWindowHandle) override { return 0; }
  void SetCursorCapture(int32_t) override {}
  int32_t SetBlankScreenMode(int32_t) override { return 0; }
  int32_t IsBlankScreenActive() override { return 0; }
  void SetSendBacklog(uint32_t) override {}
  int32_t StartDS(MeetConfig* meet_config, DSSessionConfig* session, NetworkProxyEntry* proxy) override;
  int32_t StopDS() override;
  MonitorInfo* GetMonitorInfo(int32_t monitor_id) override;
  DSSessionConfig* GetSessionConfig() override { return started_ ? &session_ : nullptr; }
  int32_t SendCommand(DSCommandRecord* command) override;
  int32_t SendWebBinary(CVZBinaryData* data) override;
  int32_t OnCaptureMouseInfo(CaptureMouseInfo*) override { return 0; }

 private:
  void Add(const std::string& what);
  FakeEngineHub& hub_;
  IDSProviderSink* const sink_;
  const int number_;
  bool started_ = false;
  DSSessionConfig session_{};
  DSCommandRecord last_command_{};
  MonitorList monitors_{};
  int callbacks_returned_ = 0;
};

class FakeAudioEngine final : public IACProvider {
 public:
  FakeAudioEngine(FakeEngineHub& hub, IACProviderSink* sink, int number);
  ~FakeAudioEngine() override;

  void EmitStatus(int32_t status, int32_t muted = 0);
  void EmitError(int32_t code, int32_t code_type);
  IACProviderSink* sink() const { return sink_; }
  int number() const { return number_; }  // 1 for the first engine of its kind

  int32_t JoinAudio(MeetConfig* meet_config, ACSessionConfig* session, NetworkProxyEntry* proxy) override;
  int32_t LeaveAudio() override;
  int32_t ConfigAudio() override;
  int32_t MuteAudio() override;
  int32_t UnmuteAudio() override;
  int32_t IsAudioMuted() override { return muted_; }
  int32_t IsAudioConfigOpen() override { return 0; }
  int32_t GetAudioSsrc() override { return 0x1234; }

 private:
  void Add(const std::string& what);
  FakeEngineHub& hub_;
  IACProviderSink* const sink_;
  const int number_;
  int32_t muted_ = 0;
  int callbacks_returned_ = 0;
};

class FakeVideoEngine final : public IAVProvider {
 public:
  FakeVideoEngine(FakeEngineHub& hub, IAVProviderSink* sink, int number);
  ~FakeVideoEngine();

  void EmitStatus(int32_t status, int32_t broadcasted = 0);
  void EmitError(int32_t code, int32_t code_type);
  void EmitMyStatus(const char16_t* roster_id, int32_t status);
  void EmitBroadcasted(int32_t broadcasted);
  IAVProviderSink* sink() const { return sink_; }
  int number() const { return number_; }  // 1 for the first engine of its kind
  void set_camera_started(bool started) { camera_started_ = started; }

  int32_t JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                    int32_t container_window) override;
  int32_t LeaveVideo() override;
  int32_t ConfigVideo() override;
  int32_t PreviewCapture(int32_t) override { return 0; }
  int32_t Reserved4(int32_t) override { return 0; }
  int32_t Reserved5(int32_t) override { return 0; }
  int32_t SetVideoLayoutMode(int32_t mode, int32_t* row_column) override;
  int32_t StartMyVideo(int32_t value) override;
  int32_t StopMyVideo() override;
  int32_t PauseMyVideo() override { return 0; }
  int32_t ResumeMyVideo() override { return 0; }
  int32_t IsMyVideoStarted() override { return camera_started_ ? 1 : 0; }
  int32_t GetCurrentCaptureDevice() override { return -1; }
  int32_t SelectCaptureDeviceById(int32_t) override { return 0; }
  void ActivateVideoPanel() override;
  int32_t GetVideoStatus() override { return 0; }
  int32_t AppRosterJoined(RosterRecord* roster, int32_t last) override;
  int32_t AppRosterUpdated(RosterRecord* roster) override;
  int32_t AppRosterLeft(RosterRecord* roster) override;

 private:
  void Add(const std::string& what);
  FakeEngineHub& hub_;
  IAVProviderSink* const sink_;
  const int number_;
  bool camera_started_ = false;
  int callbacks_returned_ = 0;
};

// The web link: every report becomes a "web ..." entry; every call returns 1.
class FakeLinkInstance final : public IVzLinkInstance {
 public:
  explicit FakeLinkInstance(FakeEngineHub& hub) : hub_(hub) {}

  int32_t WSStartListen(AppPeerConfig* config) override;
  int32_t WSSendValue1(int32_t) override { return 1; }
  int32_t WSSendValue2(int32_t) override { return 1; }
  int32_t WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id, const char16_t* ds_id) override;
  int32_t WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                   const char16_t* ds_id) override;
  int32_t WSDSSessionResponseRemoteControl(int32_t, int32_t approved, const char16_t*, const char16_t*) override;
  int32_t WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* conf_id, const char16_t* ds_id) override;
  int32_t WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id) override;
  int32_t WSACSessionResponseStatus(int32_t status, const char16_t* conf_id) override;
  int32_t WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) override;
  int32_t WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id) override;
  int32_t WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id) override;
  int32_t WSACSessionResponseSpeakers(ACSpeakerEntry* speakers, int32_t count, const char16_t* conf_id) override;
  int32_t WSACSessionResponseRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count,
                                            const char16_t* conf_id) override;
  int32_t WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                         const char16_t* conf_id) override;
  int32_t WSACSessionNotifyJoin(const char16_t* conf_id) override;
  int32_t WSACSessionNotifyLeave(const char16_t* conf_id) override;
  int32_t WSACSessionNotifyMute(const char16_t* conf_id) override;
  int32_t WSACSessionNotifyUnmute(const char16_t* conf_id) override;
  int32_t WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id) override;
  int32_t WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id) override;
  int32_t WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) override;
  int32_t WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id) override;
  int32_t WSAVSessionNotifyJoin(const char16_t*) override { return 1; }
  int32_t WSDSSessionNotifyStart(const char16_t*) override { return 1; }

  // The conference (and sharing) ids of the last report, "conf/ds".
  const std::string& last_ids() const { return last_ids_; }

 private:
  int32_t Report(const std::string& what, const char16_t* conf_id, const char16_t* ds_id = nullptr);
  FakeEngineHub& hub_;
  std::string last_ids_;
};

class FakeEngineHub {
 public:
  FakeEngineHub();   // becomes the current hub
  ~FakeEngineHub();  // deletes engines never handed back
  FakeEngineHub(const FakeEngineHub&) = delete;
  FakeEngineHub& operator=(const FakeEngineHub&) = delete;

  // Makes the libraries loadable ("vzshare.dll", "vzaudio.dll",
  // "vzvideo.dll", "vzlink.dll"); a library not added is missing.
  void AddShareLibrary(FakeModuleLoader& loader);
  void AddAudioLibrary(FakeModuleLoader& loader);
  void AddVideoLibrary(FakeModuleLoader& loader);
  void AddLinkLibrary(FakeModuleLoader& loader);
  void AddAllLibraries(FakeModuleLoader& loader);

  // The journal.
  void Add(std::string entry) { journal_.push_back(std::move(entry)); }
  const std::vector<std::string>& journal() const { return journal_; }
  // The entries since the last Take(), and only those that start with the
  // prefix when one is given ("web " for the reports).
  std::vector<std::string> Take(const std::string& prefix = "");
  void Clear() { journal_.clear(); }

  // What the engines answer.
  int32_t share_start_result = 1;
  int32_t audio_join_result = 1;
  int32_t video_join_result = 1;
  bool refuse_instances = false;  // the factories return null

  // The newest engine of each kind while it is not released, else null.
  FakeShareEngine* share() const { return share_; }
  FakeAudioEngine* audio() const { return audio_; }
  FakeVideoEngine* video() const { return video_; }
  FakeLinkInstance& link() { return link_; }
  int shares_made() const { return shares_made_; }
  int audios_made() const { return audios_made_; }
  int videos_made() const { return videos_made_; }
  int live_engines() const { return live_; }

 private:
  static IDSProvider* CreateShare(IDSProviderSink* sink, int32_t mode);
  static int32_t ReleaseShare(IDSProvider* engine);
  static IACProvider* CreateAudio(IACProviderSink* sink);
  static int32_t ReleaseAudio(IACProvider* engine);
  static IAVProvider* CreateVideo(IAVProviderSink* sink);
  static int32_t ReleaseVideo(IAVProvider* engine);
  static IVzLinkInstance* CreateLink(IVzLinkInstanceSink* sink);
  static int32_t ReleaseLink(IVzLinkInstance* instance);

  static inline FakeEngineHub* current_ = nullptr;
  std::vector<std::string> journal_;
  size_t taken_ = 0;
  FakeLinkInstance link_;
  FakeShareEngine* share_ = nullptr;
  FakeAudioEngine* audio_ = nullptr;
  FakeVideoEngine* video_ = nullptr;
  int shares_made_ = 0;
  int audios_made_ = 0;
  int videos_made_ = 0;
  int live_ = 0;
  // Engines never handed back, deleted with the hub.
  std::vector<FakeShareEngine*> live_shares_;
  std::vector<FakeAudioEngine*> live_audios_;
  std::vector<FakeVideoEngine*> live_videos_;
};

}  // namespace vz
