// The meeting components controller: construction and destruction, the
// records and lookups, the web link's callbacks that belong to no road, the
// report operations and the proxies of a connected pipe.
#include "client/controller/app_components_controller.h"

#include <cstring>
#include <string>

#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

bool IsEmpty(const char16_t* text) { return text == nullptr || text[0] == u'\0'; }

}  // namespace

CAppComponentsController::CAppComponentsController(const ControllerPorts& ports)
    : own_engines_(ports.engines ? nullptr : std::make_unique<EngineFactory>()),
      engines_(ports.engines ? ports.engines : own_engines_.get()),
      proxies_(ports.proxies),
      application_version_(ports.application_version),
      ui_thread_(ports.ui_loop ? *ports.ui_loop : vz::RunLoop::ForCurrentThread()) {
  VZ_LOG_OBJ("");
}

CAppComponentsController::~CAppComponentsController() {
  VZ_LOG_OBJ("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  release_queue_.ReleaseAll();
  // Whatever the engines still deliver while they are released goes nowhere.
  sharing_.DetachSink();
  audio_.DetachSink();
  video_.DetachSink();
  // Share, audio, video, link: each engine is released, then its wrapper
  // destroyed (the libraries stay loaded).
  sharing_.ReleaseNow();
  audio_.ReleaseNow();
  video_.ReleaseNow();
  if (link_) link_->ReleaseInstance();
  link_.reset();
  rosters_.clear();
}

// ---------------------------------------------------------------------------
// Start-up.

int32_t CAppComponentsController::StartAppPeerListen(const AppPeerConfig* config) {
  VZ_LOG("with config");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (config == nullptr) return 0;
  std::memcpy(&peer_config_, config, sizeof(peer_config_));
  if (IsEmpty(peer_config_.MeetId) && IsEmpty(peer_config_.PipeName)) {
    VZ_LOG_ERROR("Application can't start listen, meet id is empty.");
    return 0;
  }
  VZ_LOGW(u"MeetId [%s]", peer_config_.MeetId);
  VZ_LOGW(u"RosterId [%s]", peer_config_.RosterId);
  // One link for the life of the controller: a second start (a hand-off
  // after a refused one) reuses it rather than dropping a listening link.
  if (!link_) link_ = engines_->NewLinkWrapper();
  if (!link_) return 0;
  link_->CreateInstance(this);
  link_->WSStartListen(&peer_config_);
  return 1;
}

// ---------------------------------------------------------------------------
// Web link callbacks outside the roads.

int32_t CAppComponentsController::OnPluginWindowEvent(int32_t, WindowEventRecord*) {
  VZ_CHECK_UI_THREAD(ui_thread_);
  return 0;
}

int32_t CAppComponentsController::OnPluginMouseEvent(MouseEventRecord*) {
  VZ_CHECK_UI_THREAD(ui_thread_);
  return 0;
}

int32_t CAppComponentsController::OnAppSocketListener(int32_t status, int32_t code) {
  VZ_LOG("status [%d] code [%d]", status, code);
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (status == kListenerConnected) {
    const std::string roster = WideToNarrow(peer_config_.RosterId);
    const std::string meet = WideToNarrow(peer_config_.MeetId);
    const char* version = application_version_ ? application_version_() : nullptr;
    VZ_COLLECT("Velzar Meet Application version [%s] meet [%s] roster id [%s]", version ? version : "NONE",
               meet.c_str(), roster.c_str());
    InitNetworkProxies();
  } else if (status == kListenerDisconnected) {
    VZ_LOG_ERROR("pipe connection disconnected!");
  }
  return 1;
}

int32_t CAppComponentsController::OnAppRequestConfigProxy(int32_t) {
  VZ_CHECK_UI_THREAD(ui_thread_);
  return ConfigNetworkProxy();
}

int32_t CAppComponentsController::ConfigNetworkProxy() { return 0; }

int32_t CAppComponentsController::OnAppCmdMeetConfig(MeetConfig* config) {
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (config == nullptr) return 0;
  std::memcpy(&meet_config_, config, sizeof(meet_config_));
  VZ_LOG("audio [%d] video [%d] sharing [%d] remote control [%d]", meet_config_.AudioEnabled, meet_config_.VideoEnabled,
         meet_config_.SharingEnabled, meet_config_.RemoteControlEnabled);
  return 1;
}

int32_t CAppComponentsController::OnAppAudioStatusJoined(int32_t muted) {
  VZ_LOG("joined, muted [%d]", muted);
  VZ_CHECK_UI_THREAD(ui_thread_);
  NotifyAudioStatusChanged(kSessionJoined, muted);
  return 1;
}

int32_t CAppComponentsController::OnAppAudioStatusLeft() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  NotifyAudioStatusChanged(kSessionEnded, 0);
  return 1;
}

int32_t CAppComponentsController::OnAppAudioStatusMuted() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  return 1;
}

int32_t CAppComponentsController::OnAppAudioStatusUnmuted() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  return 1;
}

// ---------------------------------------------------------------------------
// Proxies.

void CAppComponentsController::InitNetworkProxies() {
  SetNetworkProxyEntry(proxies_ ? proxies_->VZGetNetworkProxy() : nullptr);
  std::string all;
  const NetworkProxyTable* table = proxies_ ? proxies_->GetNetworkProxyTable() : nullptr;
  const int32_t count = table ? table->Count : 0;
  for (int32_t i = 0; i < count && i < kMaxNetworkProxies; ++i) {
    const NetworkProxyEntry& entry = table->Entries[i];
    // As the web page's log has always read it: no "]" after the port.
    const std::string text = "proxy index:[" + std::to_string(i) + "]:[" + WideToNarrow(entry.Host) + "]:[" +
                             std::to_string(entry.Port) + ":[Auth(" + std::to_string(entry.Authentication) +
                             ")]:[Success(" + std::to_string(entry.Success) + ")]";
    VZ_LOG("%s", text.c_str());
    all += text;
  }
  VZ_COLLECT("proxy info [%s]", all.c_str());
}

const NetworkProxyEntry* CAppComponentsController::NextNetworkProxy() {
  return proxies_ ? proxies_->VZGetNetworkProxy() : nullptr;
}

NetworkProxyEntry* CAppComponentsController::GetNetworkProxyEntry() { return IsProxyInUse(proxy_) ? &proxy_ : nullptr; }

void CAppComponentsController::SetNetworkProxyEntry(const NetworkProxyEntry* entry) {
  if (entry == nullptr) {
    proxy_ = NetworkProxyEntry{};
  } else {
    std::memcpy(&proxy_, entry, sizeof(proxy_));
  }
}

// ---------------------------------------------------------------------------
// Reports.

int32_t CAppComponentsController::ReportDSSessionStatus(int32_t status) {
  return link_ ? link_->WSDSSessionResponseStatus(status, sharing_.request().MeetId, sharing_.request().DSId) : 0;
}

int32_t CAppComponentsController::ReportDSSessionError(int32_t code, int32_t code_type) {
  return link_ ? link_->WSDSSessionResponseError(code, code_type, sharing_.request().MeetId, sharing_.request().DSId)
               : 0;
}

int32_t CAppComponentsController::ReportDSRemoteControl(int32_t approved) {
  return link_ ? link_->WSDSSessionResponseRemoteControl(0, approved, sharing_.request().MeetId,
                                                         sharing_.request().DSId)
               : 0;
}

int32_t CAppComponentsController::ReportACSessionJoined(int32_t muted, int32_t ssrc) {
  return link_ ? link_->WSACSessionResponseJoined(muted, ssrc, audio_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportACSessionStatus(int32_t status) {
  return link_ ? link_->WSACSessionResponseStatus(status, audio_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportACSessionError(int32_t code, int32_t code_type) {
  return link_ ? link_->WSACSessionResponseError(code, code_type, audio_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportACSessionMuted(int32_t muted) {
  return link_ ? link_->WSACSessionResponseMuted(muted, audio_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportACDeviceLevel(int32_t speaker_level, int32_t microphone_level) {
  return link_ ? link_->WSACSessionResponseDeviceLevel(speaker_level, microphone_level, audio_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportAVSessionJoined(int32_t broadcasted, int32_t ssrc) {
  return link_ ? link_->WSAVSessionResponseJoined(broadcasted, ssrc, video_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportAVSessionStatus(int32_t status) {
  return link_ ? link_->WSAVSessionResponseStatus(status, video_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportAVSessionError(int32_t code, int32_t code_type) {
  return link_ ? link_->WSAVSessionResponseError(code, code_type, video_.request().MeetId) : 0;
}

int32_t CAppComponentsController::ReportAVSessionBroadcasted(int32_t broadcasted) {
  return link_ ? link_->WSAVSessionResponseBroadcasted(broadcasted, video_.request().MeetId) : 0;
}

// ---------------------------------------------------------------------------
// State changes: the platform-neutral part keeps the states.

void CAppComponentsController::NotifyRosterStatusChanged(int32_t kind, RosterRecord*) { VZ_LOG("kind [%d]", kind); }

void CAppComponentsController::NotifySharingStatusChanged(int32_t status) {
  VZ_LOG("status [%d]", status);
  sharing_.set_status(status);
}

void CAppComponentsController::NotifySharingError(int32_t code, int32_t code_type) {
  VZ_LOG("err code [%d], codetype [%d]", code, code_type);
  sharing_.set_status(kSessionEnded);
}

void CAppComponentsController::NotifyAudioStatusChanged(int32_t status, int32_t muted) {
  VZ_LOG("status [%d], muted [%d]", status, muted);
  audio_.set_status(status);
}

void CAppComponentsController::NotifyAudioMuted(int32_t muted) { VZ_LOG("muted [%d]", muted); }

void CAppComponentsController::NotifyAudioError(int32_t code, int32_t code_type) {
  VZ_LOG("err code [%d], codetype [%d]", code, code_type);
  audio_.set_status(kSessionEnded);
}

void CAppComponentsController::NotifyVideoStatusChanged(int32_t status, int32_t broadcasted) {
  VZ_LOG("status [%d] broadcasted [%d]", status, broadcasted);
  video_.set_status(status);
}

void CAppComponentsController::NotifyVideoError(int32_t code, int32_t code_type) {
  VZ_LOG("err code [%d], codetype [%d]", code, code_type);
}

// ---------------------------------------------------------------------------
// Lookups.

RosterRecord* CAppComponentsController::FindRoster(const char16_t* roster_id) {
  if (IsEmpty(roster_id)) return nullptr;
  const auto found = rosters_.find(std::u16string(roster_id));
  return found == rosters_.end() ? nullptr : &found->second;
}

RosterRecord* CAppComponentsController::FindRemoteControlRoster() {
  return IsEmpty(remote_control_roster_) ? nullptr : FindRoster(remote_control_roster_);
}

int32_t CAppComponentsController::IsMyRosterInvisible() {
  const RosterRecord* mine = FindRoster(peer_config_.RosterId);
  return mine ? mine->IsInvisible : 0;
}

int32_t CAppComponentsController::IsMyRosterPresenter() {
  const RosterRecord* mine = FindRoster(peer_config_.RosterId);
  return mine ? mine->IsPresenter : 0;
}

int32_t CAppComponentsController::IsMyRosterId(const char16_t* roster_id) const {
  return !IsEmpty(roster_id) && std::u16string_view(roster_id) == std::u16string_view(peer_config_.RosterId) ? 1 : 0;
}

int32_t CAppComponentsController::IsRemoteControlRoster(const char16_t* roster_id) const {
  return !IsEmpty(remote_control_roster_) && roster_id != nullptr &&
                 std::u16string_view(roster_id) == std::u16string_view(remote_control_roster_)
             ? 1
             : 0;
}

int32_t CAppComponentsController::IsNativeRosterIdForTesting(const char16_t* roster_id) {
  if (roster_id == nullptr) return 0;
  return std::u16string_view(roster_id).find(u"vzweb-") == std::u16string_view::npos ? 1 : 0;
}

void CAppComponentsController::GetRosterList(std::vector<RosterRecord*>* list) {
  if (list == nullptr) return;
  list->clear();
  for (auto& [id, record] : rosters_) list->push_back(&record);
}

void CAppComponentsController::GetRosterColorsForTesting(std::vector<uint32_t>* colors) const {
  if (colors == nullptr) return;
  colors->assign(std::begin(kAnnotationPalette), std::end(kAnnotationPalette));
}
