#include "video/engine/client/video_controller.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/trace_client.h"
#include "video/engine/client/picture_counter_sink.h"
#include "video/engine/client/video_client_controller.h"
#include "video/engine/core/video_factories.h"

namespace {

constexpr int32_t kSendingDelaySeconds = 2;

void FreeUserRecord(uintptr_t wParam, intptr_t) { delete reinterpret_cast<VideoRosterInfo*>(wParam); }

}  // namespace

CVideoController::CVideoController(IAVProviderSink* sink) : sink_(sink), meet_config_(kDefaultMeetConfig) {
  VZ_LOG("[0x%08X] >", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  PickCurrentDevice();
  IVideoCapDevicesNotifier* notifier = nullptr;
  if (CreateVideoCapDevicesNotifier(this, &notifier) == VSE_S_OK) {
    notifier_ = notifier;
  } else {
    // Without hot-plug news the cameras present now still work.
    VZ_LOG_WARN("no camera notifier; cameras are picked at start only");
  }
  client_ = new CVideoClientController(this);
  client_.load()->SetVideoQualityMode(1);
}

CVideoController::~CVideoController() {
  VZ_LOG("");
  sink_ = nullptr;
  LeaveVideo();
  CloseOptionsWindow();
  if (notifier_ != nullptr) notifier_->Release();
  notifier_ = nullptr;
  SetCurrentDevice(nullptr);
}

void CVideoController::PickCurrentDevice() {
  IVideoCapDeviceEnumerator* devices = nullptr;
  if (CreateVideoCapDeviceEnumerator(&devices) != VSE_S_OK || devices == nullptr) {
    SetCurrentDevice(nullptr);
    return;
  }
  devices->Reset();
  SetCurrentDevice(devices->GetNextDevice());
  devices->Release();
}

void CVideoController::SetCurrentDevice(IVideoCapDevice* device) {
  if (device != nullptr) device->AddRef();
  if (current_device_ != nullptr) current_device_->Release();
  current_device_ = device;
}

// ---------------------------------------------------------------------------
// IAVProvider.

int32_t CVideoController::JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                                    int32_t) {
  VZ_LOG("");
  CVideoClientController* client = client_;
  if (session == nullptr || client == nullptr) return 0;
  if (meet_config != nullptr) std::memcpy(&meet_config_, meet_config, sizeof(meet_config_));
  broadcast_ = session->Broadcast;
  const int32_t result = client->JoinVideoConference(session, proxy);
  if (session->VideoQuality >= 0 && session->VideoQuality <= 3) client->SetVideoQualityMode(session->VideoQuality);
  meet_id_ = NarrowRosterId(session->MeetId, sizeof(session->MeetId) / sizeof(char16_t));
  return result;
}

int32_t CVideoController::LeaveVideo() {
  VZ_LOG("m_pIVideoClient=%d", client_.load() != nullptr ? 1 : 0);
  CVideoClientController* client = client_;
  if (client == nullptr) return 0;
  CloseOptionsWindow();
  DropViews();
  client->StopMyVideo();
  client->LeaveVideoConference();
  // Callbacks made while the client goes (its session's leave) find no
  // client to look participants up in.
  client_ = nullptr;
  delete client;
  return 0;
}

int32_t CVideoController::StartMyVideo(int32_t value) {
  VZ_LOG("Platform will take care.");
  CVideoClientController* client = client_;
  if (client == nullptr) return 0;
  if (current_device_ != nullptr && SelectCaptureDeviceById(value) != 0) {
    broadcast_ = 1;
    if (client->IsMyVideoStarted() == 0) SetProgressingStatus(1);
    if (client->StartMyVideo(current_device_, kSendingDelaySeconds) == 0) return 1;
  } else {
    VZ_LOG("Platform will take care. 1");
  }
  Post(WMVC_ERROR, kVideoErrorCamera, kVideoErrorCodeType);
  return 0;
}

int32_t CVideoController::StopMyVideo() {
  if (CVideoClientController* client = client_) {
    broadcast_ = 0;
    client->StopMyVideo();
  }
  return 0;
}

int32_t CVideoController::PauseMyVideo() {
  CVideoClientController* client = client_;
  if (client == nullptr) return 0;
  client->PauseMyVideo();
  return 1;
}

int32_t CVideoController::ResumeMyVideo() {
  CVideoClientController* client = client_;
  if (client == nullptr) return 0;
  client->ResumeMyVideo();
  return 1;
}

int32_t CVideoController::IsMyVideoStarted() {
  CVideoClientController* client = client_;
  return client != nullptr ? client->IsMyVideoStarted() : 0;
}

int32_t CVideoController::GetCurrentCaptureDevice() {
  return current_device_ != nullptr ? current_device_->GetDeviceType() : -1;
}

int32_t CVideoController::SelectCaptureDeviceById(int32_t value) {
  CVideoClientController* client = client_;
  if (client == nullptr) return 0;
  if (current_device_ != nullptr && current_device_->GetDeviceType() == value) return 1;
  IVideoCapDeviceEnumerator* devices = nullptr;
  if (CreateVideoCapDeviceEnumerator(&devices) != VSE_S_OK || devices == nullptr) return 0;
  IVideoCapDevice* found = nullptr;
  devices->Reset();
  while (IVideoCapDevice* device = devices->GetNextDevice()) {
    if (device->GetDeviceType() == value) {
      found = device;
      break;
    }
  }
  if (found != nullptr) SetCurrentDevice(found);
  devices->Release();
  if (found == nullptr) return 0;
  if (client->IsMyVideoStarted() != 0) client->SelectCaptureDevice(current_device_);
  return 1;
}

int32_t CVideoController::AppRosterJoined(RosterRecord* roster, int32_t last) {
  CVideoClientController* client = client_;
  if (roster == nullptr || client == nullptr) return 0;
  client->AppRosterEnter(roster, last);
  return 1;
}

int32_t CVideoController::AppRosterUpdated(RosterRecord* roster) {
  CVideoClientController* client = client_;
  if (client == nullptr) return 0;
  client->AppRosterUpdate(roster);
  return 1;
}

int32_t CVideoController::AppRosterLeft(RosterRecord* roster) {
  CVideoClientController* client = client_;
  if (client == nullptr) return 0;
  client->AppRosterLeft(roster);
  return 1;
}

int32_t CVideoController::RequestSourceVideo(const std::string& rosterId, int32_t sizeType, uintptr_t renderer) {
  CVideoClientController* client = client_;
  return client != nullptr ? client->RequestSourceVideo(rosterId, sizeType, renderer) : 2;
}

int32_t CVideoController::UnRequestSourceVideo(const std::string& rosterId, uintptr_t renderer) {
  CVideoClientController* client = client_;
  return client != nullptr ? client->UnRequestSourceVideo(rosterId, renderer) : 2;
}

// Own operations; the panel builds on them.
void CVideoController::OnUserChanged(uint32_t msg, const VideoRosterInfo& user, intptr_t) {
  CVideoClientController* client = client_;
  if (client == nullptr || user.rosterId == client->my_roster_id()) return;
  if (msg == WMVC_USER_LEFT || user.videoStatus != 1) {
    DropView(user.rosterId);
    return;
  }
  if (views_.count(user.rosterId) != 0 || client->GetSessionStatus() != 2) return;
  std::string png;
  if (const char* folder = std::getenv("VZ_VIDEO_SNAPSHOT_DIR")) png = std::string(folder) + "/" + user.rosterId + ".png";
  auto* view = new CPictureCounterSink(user.rosterId, png);
  view->AddRef();
  views_[user.rosterId] = view;
  if (client->RequestSourceVideo(user.rosterId, kVideoSize640x360, view->handle()) != 0) {
    VZ_LOG_WARN("cannot show [%s] yet", user.rosterId.c_str());
    DropView(user.rosterId);
  }
}

// By value: DropViews passes the map's own key, which the erase frees.
void CVideoController::DropView(std::string rosterId) {
  auto found = views_.find(rosterId);
  if (found == views_.end()) return;
  CPictureCounterSink* view = found->second;
  views_.erase(found);
  if (CVideoClientController* client = client_) client->UnRequestSourceVideo(rosterId, view->handle());
  view->Release();
}

void CVideoController::DropViews() {
  while (!views_.empty()) DropView(views_.begin()->first);
}

bool CVideoController::ViewFiguresForTesting(const std::string& rosterId, int64_t* pictures,
                                             int64_t* last_counter, int64_t* rising, double* min_psnr,
                                             int64_t* sharp) {
  auto found = views_.find(rosterId);
  if (found == views_.end()) return false;
  const CPictureCounterSink::Figures f = found->second->figures();
  *pictures = f.pictures;
  *last_counter = f.last_counter;
  *rising = f.rising;
  *min_psnr = f.min_psnr;
  if (sharp != nullptr) *sharp = f.sharp;
  return true;
}

void CVideoController::OnUsersChanged(const std::vector<UserChange>& changes) {
  for (const UserChange& change : changes) OnUserChanged(change.msg, change.user, change.arg);
}

void CVideoController::OnActiveSpeakerChanged(const VideoRosterInfo*) {}
void CVideoController::OnSpotlightChanged(const VideoRosterInfo*) {}
void CVideoController::OnUserBroadcastChanged(const VideoRosterInfo&, int32_t) {}
void CVideoController::OnUserVideoBlocked(const VideoRosterInfo&, int32_t) {}
void CVideoController::OnUserVideoSizeChanged(const VideoRosterInfo&, int32_t, int32_t) {}

// ---------------------------------------------------------------------------
// The owner thread's handlers.

intptr_t CVideoController::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  // The record a message carries is ours from here on, whatever happens.
  std::unique_ptr<VideoRosterInfo> user;
  if (msg == WMVC_MY_STATUS || msg == WMVC_VIDEO_SIZE || msg == WMVC_RENDER_BLOCKED || msg == WMVC_ACTIVE_SPEAKER ||
      msg == WMVC_SPOTLIGHT) {
    user.reset(reinterpret_cast<VideoRosterInfo*>(wParam));
  }
  std::unique_ptr<RosterRecord> my_roster;
  if (msg == WMVC_MY_ROSTER_STATUS) my_roster.reset(reinterpret_cast<RosterRecord*>(wParam));
  if (sink_ == nullptr) {
    if (msg == WMVC_USER_CHANGES) TakeUserChanges(wParam);
    return 0;
  }

  switch (msg) {
    case WMVC_STATUS: {
      const auto status = static_cast<int32_t>(wParam);
      SetProgressingStatus(0);
      status_ = status;
      if (status == kSessionEnded) LeaveVideo();
      if (status == kSessionJoined && broadcast_ != 0) {
        if (current_device_ != nullptr) {
          StartMyVideo(current_device_->GetDeviceType());
        } else {
          Post(WMVC_ERROR, kVideoErrorCamera, kVideoErrorCodeType);
        }
      }
      // The sink may delete us here: nothing of ours is touched after it.
      sink_->OnAVStatusNotification(status, broadcast_);
      return 0;
    }
    case WMVC_RECONNECTING:
      status_ = kSessionConnecting;
      SetProgressingStatus(1);
      sink_->OnAVStatusNotification(kSessionConnecting, broadcast_);
      return 0;
    case WMVC_ERROR:
      SetProgressingStatus(0);
      sink_->OnAVVideoErrorCode(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
      return 0;
    case WMVC_MY_STATUS:
      if (user) OnUserBroadcastChanged(*user, static_cast<int32_t>(lParam));
      return 0;
    case WMVC_VIDEO_SIZE:
      if (user) OnUserVideoSizeChanged(*user, static_cast<int32_t>((lParam >> 16) & 0xFFFF), static_cast<int32_t>(lParam & 0xFFFF));
      return 0;
    case WMVC_RENDER_BLOCKED:
      if (user) {
        VZ_LOG("roster [%s] block [%d]", user->rosterId.c_str(), static_cast<int>(lParam));
        OnUserVideoBlocked(*user, static_cast<int32_t>(lParam));
      }
      return 0;
    case WMVC_SENDING:
      return 0;
    case WMVC_MY_ROSTER_STATUS:
      if (my_roster) sink_->OnAVMyStatusChanged(my_roster->RosterId, static_cast<int32_t>(lParam));
      return 0;
    case WMVC_USER_CHANGES: {
      UserChangeBatch batch = TakeUserChanges(wParam);
      if (!batch.empty()) OnUsersChanged(batch.Take());
      return 0;
    }
    case WMVC_ACTIVE_SPEAKER:
      OnActiveSpeakerChanged(user.get());
      return 0;
    case WMVC_SPOTLIGHT:
      OnSpotlightChanged(user.get());
      return 0;
    case WMVC_CLOSE_OPTIONS:
      CloseOptionsWindow();
      return 0;
    default:
      return 0;
  }
}

int CVideoController::Stop() {
  const int result = CAppThread::Stop();
  std::lock_guard<std::mutex> hold(changes_lock_);
  change_batches_.clear();
  batch_open_ = false;
  return result;
}

void CVideoController::OnTimer(uintptr_t) {}

// ---------------------------------------------------------------------------
// The client's callbacks (any thread).

bool CVideoController::PostUser(uint32_t msg, const std::string& rosterId, intptr_t lParam) {
  CVideoClientController* client = client_;
  if (client == nullptr) return false;
  auto copy = std::make_unique<VideoRosterInfo>();
  if (!client->CopyUser(rosterId, copy.get())) return false;
  Post(msg, reinterpret_cast<uintptr_t>(copy.release()), lParam, &FreeUserRecord);
  return true;
}

int CVideoController::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam, PayloadFree free_payload) {
  std::lock_guard<std::mutex> hold(changes_lock_);
  batch_open_ = false;
  return PostMessage(msg, wParam, lParam, free_payload);
}

void CVideoController::PostUserChange(uint32_t msg, const std::string& rosterId, intptr_t lParam) {
  CVideoClientController* client = client_;
  if (client == nullptr) return;
  UserChange change{msg, VideoRosterInfo(), lParam};
  if (!client->CopyUser(rosterId, &change.user)) return;
  std::lock_guard<std::mutex> hold(changes_lock_);
  if (!batch_open_) {
    // Posted under the lock: the owner thread cannot take the batch before
    // it holds this change.
    if (PostMessage(WMVC_USER_CHANGES, static_cast<uintptr_t>(last_batch_serial_ + 1), 0) == 0) return;
    change_batches_.emplace_back(++last_batch_serial_, UserChangeBatch());
    batch_open_ = true;
  }
  change_batches_.back().second.Add(std::move(change));
}

UserChangeBatch CVideoController::TakeUserChanges(uint64_t serial) {
  UserChangeBatch taken;
  std::lock_guard<std::mutex> hold(changes_lock_);
  while (!change_batches_.empty() && change_batches_.front().first <= serial) {
    if (change_batches_.front().first == serial) taken = std::move(change_batches_.front().second);
    change_batches_.pop_front();
  }
  // Taken while open: what comes next opens another.
  if (change_batches_.empty()) batch_open_ = false;
  return taken;
}

void CVideoController::OnJoinVideoConference(int32_t result) { VZ_LOG("result [%d]", result); }

void CVideoController::OnLeftVideoConference(int32_t code, int32_t codetype) {
  if (code != 0) Post(WMVC_ERROR, static_cast<uintptr_t>(code), codetype);
  Post(WMVC_STATUS, kSessionEnded, 0);
}

void CVideoController::OnVideoConfReconnecting() { Post(WMVC_RECONNECTING, 0, 0); }

void CVideoController::OnUserStateUpdated(const std::string& rosterId) {
  PostUserChange(WMVC_USER_UPDATED, rosterId, 0);
}

void CVideoController::OnUserEnter(const std::string& rosterId, int32_t arg) {
  PostUserChange(WMVC_USER_ENTER, rosterId, arg);
}

void CVideoController::OnUserLeft(const std::string& rosterId) { PostUserChange(WMVC_USER_LEFT, rosterId, 0); }

void CVideoController::OnActiveSpeaker(const std::string& rosterId) { PostUser(WMVC_ACTIVE_SPEAKER, rosterId, 0); }

void CVideoController::OnSetSpotlightRoster(const std::string& rosterId) {
  if (rosterId.empty() || !PostUser(WMVC_SPOTLIGHT, rosterId, 0)) Post(WMVC_SPOTLIGHT, 0, 0);
}

void CVideoController::OnVCNetworkIndication(int32_t value) { VZ_LOG("value [%d]", value); }

void CVideoController::OnVCStatusNotification(int32_t status) {
  if (sink_ != nullptr) Post(WMVC_STATUS, static_cast<uintptr_t>(status), 0);
}

void CVideoController::OnVCErrorNotification(int32_t code, int32_t codetype) {
  if (sink_ != nullptr) Post(WMVC_ERROR, static_cast<uintptr_t>(code), codetype);
}

void CVideoController::OnVCSendingProcess(int32_t status) {
  if (status == 1 || status == 4) Post(WMVC_SENDING, status == 1 ? 1 : 0, 0);
}

void CVideoController::OnVCConnectCamera(IVideoCapDevice*, int32_t connected) {
  CVideoClientController* client = client_;
  if (connected == 0 && client != nullptr && client->IsMyVideoStarted() != 0) {
    Post(WMVC_ERROR, kVideoErrorCamera, kVideoErrorCodeType);
    client->StopMyVideo();
  }
}

void CVideoController::OnVCMyStatusChanged(int32_t newState) {
  CVideoClientController* client = client_;
  if (client == nullptr) return;
  auto copy = std::make_unique<VideoRosterInfo>();
  if (!client->CopyMyInfo(copy.get())) return;
  Post(WMVC_MY_STATUS, reinterpret_cast<uintptr_t>(copy.release()), newState == 1 ? 1 : 0, &FreeUserRecord);
}

void CVideoController::GetChiefSender() { VZ_LOG(""); }

void CVideoController::OnRenderBlocked(const std::string& rosterId, int32_t blocked) {
  PostUser(WMVC_RENDER_BLOCKED, rosterId, blocked);
}

void CVideoController::OnVideoSizeChanged(const std::string& rosterId, int32_t width, int32_t height) {
  PostUser(WMVC_VIDEO_SIZE, rosterId, (static_cast<intptr_t>(width) << 16) + height);
}

int32_t CVideoController::OnCameraNotify(IVideoCapDevice* device, int32_t kind) {
  VZ_LOG("device type [%u]", device != nullptr ? static_cast<unsigned>(device->GetDeviceType()) : 0u);
  PickCurrentDevice();
  if (options_window_ != nullptr) options_window_->OnCameraModify(device, kind);
  return 0;
}
