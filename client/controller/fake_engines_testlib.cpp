#include "client/controller/fake_engines_testlib.h"

#include <algorithm>
#include <cstring>

#include "common/string_helpers.h"

namespace vz {

namespace {

std::string Narrow(const char16_t* text) { return WideToNarrow(text); }

std::string ProxyName(const NetworkProxyEntry* proxy) { return proxy ? Narrow(proxy->Host) : "none"; }

template <typename T>
void Forget(std::vector<T*>* list, T* item) {
  list->erase(std::remove(list->begin(), list->end(), item), list->end());
}

}  // namespace

// ---------------------------------------------------------------------------
// Sharing engine.

FakeShareEngine::FakeShareEngine(FakeEngineHub& hub, IDSProviderSink* sink, int number)
    : hub_(hub), sink_(sink), number_(number) {}

FakeShareEngine::~FakeShareEngine() = default;

void FakeShareEngine::Add(const std::string& what) { hub_.Add("share " + what); }

void FakeShareEngine::EmitStatus(int32_t status) {
  sink_->OnDSStatusNotification(status);
  ++callbacks_returned_;  // a use after free if the engine went during the call
}

void FakeShareEngine::EmitError(int32_t code, int32_t code_type) {
  sink_->OnDSErrorNotification(code, code_type);
  ++callbacks_returned_;
}

void FakeShareEngine::EmitWebBinary(CVZBinaryData* data) {
  sink_->OnDSWebBinary(data);
  ++callbacks_returned_;
}

void FakeShareEngine::EmitCommand(DSCommandRecord* command) {
  sink_->OnDSCommand(command);
  ++callbacks_returned_;
}

MonitorList* FakeShareEngine::GetMonitorList() {
  Add("GetMonitorList");
  return &monitors_;
}

ApplicationList* FakeShareEngine::GetWindowList() {
  Add("GetWindowList");
  return nullptr;
}

int32_t FakeShareEngine::ShareMonitor(MonitorInfo*, int32_t share) {
  Add("ShareMonitor(" + std::to_string(share) + ")");
  return 1;
}

int32_t FakeShareEngine::ShareWindow(ApplicationInfo*, int32_t share) {
  Add("ShareWindow(" + std::to_string(share) + ")");
  return 1;
}

int32_t FakeShareEngine::StartCapture(MeetConfig* meet_config, int32_t mode) {
  Add("StartCapture(" + std::string(meet_config ? "config" : "null") + "," + std::to_string(mode) + ")");
  return 1;
}

void FakeShareEngine::CaptureNow() { Add("CaptureNow"); }

int32_t FakeShareEngine::ShowPointerWindow(int32_t show) {
  Add("ShowPointerWindow(" + std::to_string(show) + ")");
  return 1;
}

int32_t FakeShareEngine::StartDS(MeetConfig*, DSSessionConfig* session, NetworkProxyEntry* proxy) {
  std::memcpy(&session_, session, sizeof(session_));
  Add("StartDS(proxy=" + ProxyName(proxy) + ",port=" + std::to_string(session->TcpPort) +
      ",presenter=" + std::to_string(session->IsPresenter) + ",web=" + std::to_string(session->IsWebAttendee) + ")");
  started_ = hub_.share_start_result != 0;
  return hub_.share_start_result;
}

int32_t FakeShareEngine::StopDS() {
  Add("StopDS");
  started_ = false;
  return 1;
}

MonitorInfo* FakeShareEngine::GetMonitorInfo(int32_t monitor_id) {
  Add("GetMonitorInfo(" + std::to_string(monitor_id) + ")");
  return &monitors_.Monitors[0];
}

int32_t FakeShareEngine::SendCommand(DSCommandRecord* command) {
  std::memcpy(&last_command_, command, sizeof(last_command_));
  Add("SendCommand(" + std::to_string(command->Type) + "," + Narrow(command->SrcRosterId) + "->" +
      Narrow(command->DstRosterId) + ")");
  return 1;
}

int32_t FakeShareEngine::SendWebBinary(CVZBinaryData* data) {
  Add("SendWebBinary(" + std::to_string(data ? data->length() : 0) + ")");
  return 1;
}

// ---------------------------------------------------------------------------
// Audio engine.

FakeAudioEngine::FakeAudioEngine(FakeEngineHub& hub, IACProviderSink* sink, int number)
    : hub_(hub), sink_(sink), number_(number) {}

FakeAudioEngine::~FakeAudioEngine() = default;

void FakeAudioEngine::Add(const std::string& what) { hub_.Add("audio " + what); }

void FakeAudioEngine::EmitStatus(int32_t status, int32_t muted) {
  sink_->OnACStatusNotification(status, muted);
  ++callbacks_returned_;
}

void FakeAudioEngine::EmitError(int32_t code, int32_t code_type) {
  sink_->OnACAudioErrorCode(code, code_type);
  ++callbacks_returned_;
}

int32_t FakeAudioEngine::JoinAudio(MeetConfig*, ACSessionConfig* session, NetworkProxyEntry* proxy) {
  muted_ = session->IsMuted;
  Add("JoinAudio(proxy=" + ProxyName(proxy) + ",muted=" + std::to_string(session->IsMuted) +
      ",invisible=" + std::to_string(session->IsInvisible) + ")");
  return hub_.audio_join_result;
}

int32_t FakeAudioEngine::LeaveAudio() {
  Add("LeaveAudio");
  return 1;
}

int32_t FakeAudioEngine::ConfigAudio() {
  Add("ConfigAudio");
  return 1;
}

int32_t FakeAudioEngine::MuteAudio() {
  Add("MuteAudio");
  muted_ = 1;
  return 1;
}

int32_t FakeAudioEngine::UnmuteAudio() {
  Add("UnmuteAudio");
  muted_ = 0;
  return 1;
}

// ---------------------------------------------------------------------------
// Video engine.

FakeVideoEngine::FakeVideoEngine(FakeEngineHub& hub, IAVProviderSink* sink, int number)
    : hub_(hub), sink_(sink), number_(number) {}

FakeVideoEngine::~FakeVideoEngine() = default;

void FakeVideoEngine::Add(const std::string& what) { hub_.Add("video " + what); }

void FakeVideoEngine::EmitStatus(int32_t status, int32_t broadcasted) {
  sink_->OnAVStatusNotification(status, broadcasted);
  ++callbacks_returned_;
}

void FakeVideoEngine::EmitError(int32_t code, int32_t code_type) {
  sink_->OnAVVideoErrorCode(code, code_type);
  ++callbacks_returned_;
}

void FakeVideoEngine::EmitMyStatus(const char16_t* roster_id, int32_t status) {
  sink_->OnAVMyStatusChanged(roster_id, status);
  ++callbacks_returned_;
}

void FakeVideoEngine::EmitBroadcasted(int32_t broadcasted) {
  sink_->OnAVVideoBroadcasted(broadcasted, "R1");
  ++callbacks_returned_;
}

int32_t FakeVideoEngine::JoinVideo(MeetConfig*, AVSessionConfig* session, NetworkProxyEntry* proxy,
                                   int32_t container_window) {
  Add("JoinVideo(proxy=" + ProxyName(proxy) + ",broadcast=" + std::to_string(session->Broadcast) +
      ",invisible=" + std::to_string(session->IsInvisible) + ",quality=" + std::to_string(session->VideoQuality) +
      ",toolbar=" + std::to_string(session->VideoToolbar) + ",container=" + std::to_string(container_window) + ")");
  return hub_.video_join_result;
}

int32_t FakeVideoEngine::LeaveVideo() {
  Add("LeaveVideo");
  return 1;
}

int32_t FakeVideoEngine::ConfigVideo() {
  Add("ConfigVideo");
  return 1;
}

int32_t FakeVideoEngine::SetVideoLayoutMode(int32_t mode, int32_t* row_column) {
  Add("SetVideoLayoutMode(" + std::to_string(mode) + "," +
      (row_column ? std::to_string(row_column[0]) + "x" + std::to_string(row_column[1]) : std::string("null")) + ")");
  return 1;
}

int32_t FakeVideoEngine::StartMyVideo(int32_t value) {
  Add("StartMyVideo(" + std::to_string(value) + ")");
  camera_started_ = true;
  return 1;
}

int32_t FakeVideoEngine::StopMyVideo() {
  Add("StopMyVideo");
  camera_started_ = false;
  return 1;
}

void FakeVideoEngine::ActivateVideoPanel() { Add("ActivateVideoPanel"); }

int32_t FakeVideoEngine::AppRosterJoined(RosterRecord* roster, int32_t last) {
  Add("AppRosterJoined(" + Narrow(roster->RosterId) + "," + std::to_string(last) + ")");
  return 1;
}

int32_t FakeVideoEngine::AppRosterUpdated(RosterRecord* roster) {
  Add("AppRosterUpdated(" + Narrow(roster->RosterId) + ")");
  return 1;
}

int32_t FakeVideoEngine::AppRosterLeft(RosterRecord* roster) {
  Add("AppRosterLeft(" + Narrow(roster->RosterId) + ")");
  return 1;
}

// ---------------------------------------------------------------------------
// Web link.

int32_t FakeLinkInstance::Report(const std::string& what, const char16_t* conf_id, const char16_t* ds_id) {
  last_ids_ = Narrow(conf_id) + (ds_id ? "/" + Narrow(ds_id) : std::string());
  hub_.Add("web " + what);
  return 1;
}

namespace {
std::string Args(int32_t a) { return "(" + std::to_string(a) + ")"; }
std::string Args(int32_t a, int32_t b) { return "(" + std::to_string(a) + "," + std::to_string(b) + ")"; }
}  // namespace

int32_t FakeLinkInstance::WSStartListen(AppPeerConfig*) { return 1; }
int32_t FakeLinkInstance::WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id, const char16_t* ds_id) {
  return Report("DSStatus" + Args(status), conf_id, ds_id);
}
int32_t FakeLinkInstance::WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                                   const char16_t* ds_id) {
  return Report("DSError" + Args(code, code_type), conf_id, ds_id);
}
int32_t FakeLinkInstance::WSDSSessionResponseRemoteControl(int32_t, int32_t approved, const char16_t* conf_id,
                                                           const char16_t* ds_id) {
  return Report("DSRemoteControl" + Args(approved), conf_id, ds_id);
}
int32_t FakeLinkInstance::WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* conf_id,
                                                    const char16_t* ds_id) {
  return Report("DSBinary" + Args(data ? static_cast<int32_t>(data->length()) : 0), conf_id, ds_id);
}
int32_t FakeLinkInstance::WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id) {
  return Report("ACJoined" + Args(muted, ssrc), conf_id);
}
int32_t FakeLinkInstance::WSACSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  return Report("ACStatus" + Args(status), conf_id);
}
int32_t FakeLinkInstance::WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return Report("ACError" + Args(code, code_type), conf_id);
}
int32_t FakeLinkInstance::WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id) {
  return Report("ACMuted" + Args(muted), conf_id);
}
int32_t FakeLinkInstance::WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id) {
  return Report("ACMicStatus" + Args(status), conf_id);
}
int32_t FakeLinkInstance::WSACSessionResponseSpeakers(ACSpeakerEntry*, int32_t count, const char16_t* conf_id) {
  return Report("ACSpeakers" + Args(count), conf_id);
}
int32_t FakeLinkInstance::WSACSessionResponseRostersNetwork(ACRosterNetworkEntry*, int32_t count,
                                                            const char16_t* conf_id) {
  return Report("ACRostersNetwork" + Args(count), conf_id);
}
int32_t FakeLinkInstance::WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                                         const char16_t* conf_id) {
  return Report("ACDeviceLevel" + Args(speaker_level, microphone_level), conf_id);
}
int32_t FakeLinkInstance::WSACSessionNotifyJoin(const char16_t* conf_id) { return Report("ACNotifyJoin", conf_id); }
int32_t FakeLinkInstance::WSACSessionNotifyLeave(const char16_t* conf_id) { return Report("ACNotifyLeave", conf_id); }
int32_t FakeLinkInstance::WSACSessionNotifyMute(const char16_t* conf_id) { return Report("ACNotifyMute", conf_id); }
int32_t FakeLinkInstance::WSACSessionNotifyUnmute(const char16_t* conf_id) { return Report("ACNotifyUnmute", conf_id); }
int32_t FakeLinkInstance::WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id) {
  return Report("AVJoined" + Args(broadcasted, ssrc), conf_id);
}
int32_t FakeLinkInstance::WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  return Report("AVStatus" + Args(status), conf_id);
}
int32_t FakeLinkInstance::WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return Report("AVError" + Args(code, code_type), conf_id);
}
int32_t FakeLinkInstance::WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id) {
  return Report("AVBroadcasted" + Args(broadcasted), conf_id);
}

// ---------------------------------------------------------------------------
// The hub and the libraries' exports.

FakeEngineHub::FakeEngineHub() : link_(*this) { current_ = this; }

FakeEngineHub::~FakeEngineHub() {
  for (FakeShareEngine* engine : live_shares_) delete engine;
  for (FakeAudioEngine* engine : live_audios_) delete engine;
  for (FakeVideoEngine* engine : live_videos_) delete engine;
  if (current_ == this) current_ = nullptr;
}

void FakeEngineHub::AddShareLibrary(FakeModuleLoader& loader) {
  loader.AddLibrary("vzshare.dll",
                    {{1, reinterpret_cast<void*>(&CreateShare)}, {2, reinterpret_cast<void*>(&ReleaseShare)}});
}
void FakeEngineHub::AddAudioLibrary(FakeModuleLoader& loader) {
  loader.AddLibrary("vzaudio.dll",
                    {{1, reinterpret_cast<void*>(&CreateAudio)}, {2, reinterpret_cast<void*>(&ReleaseAudio)}});
}
void FakeEngineHub::AddVideoLibrary(FakeModuleLoader& loader) {
  loader.AddLibrary("vzvideo.dll",
                    {{1, reinterpret_cast<void*>(&CreateVideo)}, {2, reinterpret_cast<void*>(&ReleaseVideo)}});
}
void FakeEngineHub::AddLinkLibrary(FakeModuleLoader& loader) {
  loader.AddLibrary("vzlink.dll",
                    {{1, reinterpret_cast<void*>(&CreateLink)}, {2, reinterpret_cast<void*>(&ReleaseLink)}});
}
void FakeEngineHub::AddAllLibraries(FakeModuleLoader& loader) {
  AddShareLibrary(loader);
  AddAudioLibrary(loader);
  AddVideoLibrary(loader);
  AddLinkLibrary(loader);
}

std::vector<std::string> FakeEngineHub::Take(const std::string& prefix) {
  std::vector<std::string> taken;
  for (size_t i = std::min(taken_, journal_.size()); i < journal_.size(); ++i) {
    if (journal_[i].compare(0, prefix.size(), prefix) == 0) taken.push_back(journal_[i]);
  }
  taken_ = journal_.size();
  return taken;
}

IDSProvider* FakeEngineHub::CreateShare(IDSProviderSink* sink, int32_t mode) {
  FakeEngineHub& hub = *current_;
  if (hub.refuse_instances) return nullptr;
  auto* engine = new FakeShareEngine(hub, sink, ++hub.shares_made_);
  hub.Add("share#" + std::to_string(hub.shares_made_) + " made(mode=" + std::to_string(mode) + ")");
  hub.share_ = engine;
  hub.live_shares_.push_back(engine);
  ++hub.live_;
  return engine;
}

int32_t FakeEngineHub::ReleaseShare(IDSProvider* engine) {
  FakeEngineHub& hub = *current_;
  auto* fake = static_cast<FakeShareEngine*>(engine);
  hub.Add("share#" + std::to_string(fake->number()) + " released");
  if (hub.share_ == fake) hub.share_ = nullptr;
  Forget(&hub.live_shares_, fake);
  --hub.live_;
  delete fake;
  return 1;
}

IACProvider* FakeEngineHub::CreateAudio(IACProviderSink* sink) {
  FakeEngineHub& hub = *current_;
  if (hub.refuse_instances) return nullptr;
  auto* engine = new FakeAudioEngine(hub, sink, ++hub.audios_made_);
  hub.Add("audio#" + std::to_string(hub.audios_made_) + " made");
  hub.audio_ = engine;
  hub.live_audios_.push_back(engine);
  ++hub.live_;
  return engine;
}

int32_t FakeEngineHub::ReleaseAudio(IACProvider* engine) {
  FakeEngineHub& hub = *current_;
  auto* fake = static_cast<FakeAudioEngine*>(engine);
  hub.Add("audio#" + std::to_string(fake->number()) + " released");
  if (hub.audio_ == fake) hub.audio_ = nullptr;
  Forget(&hub.live_audios_, fake);
  --hub.live_;
  delete fake;
  return 1;
}

IAVProvider* FakeEngineHub::CreateVideo(IAVProviderSink* sink) {
  FakeEngineHub& hub = *current_;
  if (hub.refuse_instances) return nullptr;
  auto* engine = new FakeVideoEngine(hub, sink, ++hub.videos_made_);
  hub.Add("video#" + std::to_string(hub.videos_made_) + " made");
  hub.video_ = engine;
  hub.live_videos_.push_back(engine);
  ++hub.live_;
  return engine;
}

int32_t FakeEngineHub::ReleaseVideo(IAVProvider* engine) {
  FakeEngineHub& hub = *current_;
  auto* fake = static_cast<FakeVideoEngine*>(engine);
  hub.Add("video#" + std::to_string(fake->number()) + " released");
  if (hub.video_ == fake) hub.video_ = nullptr;
  Forget(&hub.live_videos_, fake);
  --hub.live_;
  delete fake;
  return 1;
}

IVzLinkInstance* FakeEngineHub::CreateLink(IVzLinkInstanceSink*) { return &current_->link_; }

int32_t FakeEngineHub::ReleaseLink(IVzLinkInstance*) { return 1; }

}  // namespace vz
