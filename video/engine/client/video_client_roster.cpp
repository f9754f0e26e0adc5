// The conference client's participants: join and leave, the meeting
// client's and the video server's rosters, who subscribes to my video, my
// subscriptions to the others' video and the renderers that show them.
#include <algorithm>
#include <cstring>

#include "common/trace_client.h"
#include "video/engine/client/video_client_controller.h"
#include "video/engine/core/video_types.h"

namespace {

constexpr int32_t kListenLctm = 1;
constexpr int32_t kRenderVideoType = kVideoTypeBgr24BottomUp;
constexpr int32_t kDecoderMode = 1;
constexpr char kRecordingServer[] = "recordingserver";

const int32_t kLayerSizes[3][2] = {{160, 90}, {320, 180}, {640, 360}};

IVideoDeliverer* DelivererOf(uintptr_t handle) {
  auto* object = reinterpret_cast<IEngineUnknown*>(handle);
  void* deliverer = nullptr;
  if (object == nullptr || object->QueryInterface(&IID_IVideoDeliverer, &deliverer) != VSE_S_OK) return nullptr;
  // The caller's handle keeps the object alive; the channel takes its own.
  static_cast<IVideoDeliverer*>(deliverer)->Release();
  return static_cast<IVideoDeliverer*>(deliverer);
}

}  // namespace

// ---------------------------------------------------------------------------
// Join and leave.

int32_t CVideoClientController::JoinVideoConference(const AVSessionConfig* cfg, const NetworkProxyEntry* proxy) {
  VZ_LOG("pCfg=0x%0x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(cfg)));
  if (cfg == nullptr) return 0;
  std::memcpy(&config_, cfg, sizeof(config_));
  const std::string my_id = NarrowRosterId(config_.RosterId, sizeof(config_.RosterId) / sizeof(char16_t));
  if (my_id.empty()) {
    sink_->OnVCErrorNotification(6, 10);
    VZ_LOG_ERROR("RosterId is invalid");
    return 0;
  }
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    my_roster_id_ = my_id;
    VZ_LOG("m_strMyRosterId=%s", my_roster_id_.c_str());
    if (VideoRosterInfo* mine = FindUser_l(my_roster_id_)) {
      if (my_info_owned_) delete my_info_;
      my_info_ = mine;
      my_info_owned_ = false;
    } else if (my_info_ == nullptr || my_info_->rosterId != my_roster_id_) {
      if (my_info_owned_) delete my_info_;
      my_info_ = new VideoRosterInfo();
      my_info_->rosterId = my_roster_id_;
      my_info_owned_ = true;
    }
  }
  if (!session_) {
    const VideoClientFactories& factories = CurrentVideoClientFactories();
    if (factories.make_session != nullptr) session_.reset(factories.make_session(this));
    if (!session_) {
      VZ_LOG_ERROR("create video session failed.");
      return 0;
    }
  }
  av_session_status_ = kSessionConnecting;
  left_reported_ = false;
  sink_->OnVCStatusNotification(kSessionConnecting);
  if (session_->JoinSession(&config_, proxy, this) != 0) return 1;
  // Nothing will ever confirm this join: say so now rather than stay
  // "connecting" for good.
  VZ_LOG_ERROR("the session could not start joining");
  av_session_status_ = kSessionIdle;
  sink_->OnVCErrorNotification(1, 10);
  sink_->OnVCStatusNotification(kSessionIdle);
  return 0;
}

int32_t CVideoClientController::LeaveVideoConference() {
  VZ_LOG("m_avSessionStatus=%d", av_session_status_.load());
  if (av_session_status_ == kSessionIdle || !session_) return 0;
  if (av_session_status_.exchange(kSessionIdle) == kSessionEnded) return 0;  // left already, and reported
  sink_->OnVCStatusNotification(kSessionIdle);
  session_->LeaveSession();
  return 0;
}

// ---------------------------------------------------------------------------
// The meeting client's rosters.

int32_t CVideoClientController::AppRosterEnter(const RosterRecord* record, int32_t arg) {
  if (record == nullptr) {
    VZ_LOG_ERROR("roster IS NULL!!!");
    return 4;
  }
  const std::string id = NarrowRosterId(record->RosterId, sizeof(record->RosterId) / sizeof(char16_t));
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VZ_LOG("rosterId=%s enter myInfo=0x%08x", id.c_str(), static_cast<unsigned>(reinterpret_cast<uintptr_t>(my_info_)));
  if (VideoRosterInfo* user = FindUser_l(id)) {
    VZ_LOG_ERROR("rosterId=%s is there already, this should not happen!!!", id.c_str());
    user->SetAppRoster(*record);
    ApplyKnownServerRoster_l(user);
    sink_->OnUserStateUpdated(id);
    VZ_LOG("User(%s) has entered", id.c_str());
    return 0;
  }
  VZ_LOG("rosterId=%s is new user", id.c_str());
  VideoRosterInfo* user = nullptr;
  if (id == my_roster_id_ && my_info_ != nullptr) {
    user = my_info_;
    my_info_owned_ = false;
  } else {
    user = new VideoRosterInfo();
  }
  user->SetAppRoster(*record);
  ApplyKnownServerRoster_l(user);
  users_[id] = user;
  RebuildSsrcIndex_l();
  sink_->OnUserEnter(id, arg);
  return 0;
}

int32_t CVideoClientController::AppRosterUpdate(const RosterRecord* record) {
  if (record == nullptr) {
    VZ_LOG_ERROR("roster IS NULL!!!");
    return 4;
  }
  const std::string id = NarrowRosterId(record->RosterId, sizeof(record->RosterId) / sizeof(char16_t));
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VideoRosterInfo* user = FindUser_l(id);
  if (user == nullptr) {
    VZ_LOG("User(%s) not found", id.c_str());
    return 5;
  }
  user->SetAppRoster(*record);
  sink_->OnUserStateUpdated(id);
  return 0;
}

int32_t CVideoClientController::AppRosterLeft(const RosterRecord* record) {
  if (record == nullptr) {
    VZ_LOG_ERROR("roster IS NULL!!!");
    return 4;
  }
  const std::string id = NarrowRosterId(record->RosterId, sizeof(record->RosterId) / sizeof(char16_t));
  std::lock_guard<std::recursive_mutex> hold(lock_);
  auto found = users_.find(id);
  if (found == users_.end()) {
    VZ_LOG("User(%s) not found", id.c_str());
    return 5;
  }
  VideoRosterInfo* user = found->second;
  if (IsMe_l(user)) {
    VZ_LOG_ERROR("The roster is myself, it is impossible!!!");
    return 0;
  }
  sink_->OnUserLeft(id);
  users_.erase(found);
  RebuildSsrcIndex_l();
  DestroyListenChannel_l(user);
  delete user;
  return 0;
}

bool CVideoClientController::CopyUser(const std::string& rosterId, VideoRosterInfo* out) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  const VideoRosterInfo* user = FindUser_l(rosterId);
  if (user == nullptr || out == nullptr) return false;
  *out = *user;
  return true;
}

bool CVideoClientController::CopyMyInfo(VideoRosterInfo* out) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (my_info_ == nullptr || out == nullptr) return false;
  *out = *my_info_;
  return true;
}

std::map<int32_t, std::vector<std::string>> CVideoClientController::SubscribersForTesting() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return subscribers_;
}

std::vector<SubscriptionRecord> CVideoClientController::EncodeLayersForTesting() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return encode_layers_;
}

VideoRosterInfo* CVideoClientController::FindUser_l(const std::string& rosterId) {
  auto found = users_.find(rosterId);
  return found == users_.end() ? nullptr : found->second;
}

void CVideoClientController::RebuildSsrcIndex_l() {
  std::map<uint32_t, std::string> index;
  ssrc_users_.clear();
  for (const auto& [id, user] : users_) {
    if (user->ssrc == 0) continue;
    index.emplace(user->ssrc, id);
    ssrc_users_.emplace(user->ssrc, user);
  }
  std::lock_guard<std::mutex> hold(ssrc_lock_);
  ssrc_ids_.swap(index);
}

std::string CVideoClientController::RosterIdOfSsrc(uint32_t ssrc) {
  std::lock_guard<std::mutex> hold(ssrc_lock_);
  auto found = ssrc_ids_.find(ssrc);
  return found == ssrc_ids_.end() ? std::string() : found->second;
}

VideoRosterInfo* CVideoClientController::FindUserBySsrc_l(uint32_t ssrc) {
  auto found = ssrc_users_.find(ssrc);
  return found == ssrc_users_.end() ? nullptr : found->second;
}

void CVideoClientController::ApplyKnownServerRoster_l(VideoRosterInfo* user) {
  auto known = server_rosters_.find(user->rosterId);
  if (known != server_rosters_.end()) {
    user->ApplyServerRoster(known->second);
    RebuildSsrcIndex_l();
  }
}

void CVideoClientController::DestroyListenChannel_l(VideoRosterInfo* user) {
  if (user->listenChannel == nullptr) return;
  if (engine() != nullptr) engine()->DestroyVideoListenChannel(user->ssrc);
  user->listenChannel = nullptr;
}

// ---------------------------------------------------------------------------
// The video server's rosters.

bool CVideoClientController::ShownStateChanges(const VideoRosterInfo& user, const ServerRoster& r) {
  return user.videoStatus != static_cast<int32_t>(r.status) || user.spotlight != static_cast<int32_t>(r.spotlight) ||
         user.active != static_cast<int32_t>(r.active) || (r.ssrc != 0 && user.ssrc != r.ssrc);
}

void CVideoClientController::OnRosterChanged(uint32_t rosterType, const ServerRoster* rosters, uint32_t count) {
  if (rosters == nullptr) return;
  for (uint32_t i = 0; i < count; ++i) {
    switch (rosterType) {
      case kServerRosterEntered:
        OnServerRosterEnter(rosters[i]);
        break;
      case kServerRosterLeft:
        OnServerRosterLeft(rosters[i]);
        break;
      case kServerRosterUpdated:
        OnServerRosterUpdated(rosters[i]);
        break;
      default:
        break;
    }
  }
}

int32_t CVideoClientController::OnServerRosterEnter(const ServerRoster& r) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VZ_LOG("roster=%s ssrc=%d, sourceStatus=%d", r.rosterId.c_str(), r.ssrc, r.status);
  VideoRosterInfo* user = FindUser_l(r.rosterId);
  auto known = server_rosters_.find(r.rosterId);
  if (known != server_rosters_.end()) {
    if (r.rosterId == my_roster_id_) VZ_LOG("It is my roster, nothing to do!!!");
    if (user != nullptr && user->isSubscribed != 0 && user->wantedSize != kVideoSizeNone) SendSubscribeRequest(user);
    server_rosters_.erase(known);
  }
  server_rosters_[r.rosterId] = r;
  if (user != nullptr && !IsMe_l(user)) {
    const bool changed = ShownStateChanges(*user, r);
    user->ApplyServerRoster(r);
    RebuildSsrcIndex_l();
    // A member the server announces again as it was (a reconnection) costs
    // the panel nothing.
    if (changed) sink_->OnUserStateUpdated(r.rosterId);
  } else {
    VZ_LOG_WARN("APP Roster doesn't come yet, do nothing!!!");
  }
  return 0;
}

int32_t CVideoClientController::OnServerRosterUpdated(const ServerRoster& r) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  ServerRoster& stored = server_rosters_[r.rosterId];
  stored.rosterId = r.rosterId;
  stored.status = r.status;
  stored.spotlight = r.spotlight;
  stored.active = r.active;
  stored.ssrc = r.ssrc;
  if (VideoRosterInfo* user = FindUser_l(r.rosterId)) {
    user->ApplyServerRoster(r);
    RebuildSsrcIndex_l();
    sink_->OnUserStateUpdated(r.rosterId);
  }
  return 0;
}

int32_t CVideoClientController::OnServerRosterLeft(const ServerRoster& r) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  server_rosters_.erase(r.rosterId);
  VideoRosterInfo* user = FindUser_l(r.rosterId);
  if (user == nullptr || IsMe_l(user)) {
    VZ_LOG("Can't find the user!!!");
    return 5;
  }
  user->videoStatus = 0;
  sink_->OnUserStateUpdated(r.rosterId);
  OnVideoUnsubscribedNotify(r.rosterId, kVideoSizeNone);
  return 0;
}

void CVideoClientController::OnStartBroadcastNotify(const std::string& rosterId) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VideoRosterInfo* user = FindUser_l(rosterId);
  if (user == nullptr) {
    VZ_LOG("Can't find the user rosterId=%s", rosterId.c_str());
    return;
  }
  if (IsMe_l(user)) {
    VZ_LOG("It is my roster!!!");
    return;
  }
  if (user->videoStatus == 1) return;  // said again (a reconnection): nothing new for the panel
  user->videoStatus = 1;
  sink_->OnUserStateUpdated(rosterId);
}

void CVideoClientController::OnStopBroadcastNotify(const std::string& rosterId) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VideoRosterInfo* user = FindUser_l(rosterId);
  if (user == nullptr) {
    VZ_LOG("Can't find the user rosterId=%s", rosterId.c_str());
    return;
  }
  if (IsMe_l(user) || user->videoStatus == 0) return;
  user->videoStatus = 0;
  sink_->OnUserStateUpdated(rosterId);
}

void CVideoClientController::OnSetSpotlightNotify(const std::string& rosterId) {
  if (engine() != nullptr) sink_->OnSetSpotlightRoster(rosterId);
}

void CVideoClientController::OnUnsetSpotlightNotify() { sink_->OnSetSpotlightRoster(""); }

void CVideoClientController::OnActiveSpeakerNotify(const std::string& rosterId) {
  if (engine() != nullptr) sink_->OnActiveSpeaker(rosterId);
}

// ---------------------------------------------------------------------------
// Who subscribes to my video.

void CVideoClientController::OnVideoSubscribedNotify(const std::string& rosterId, int32_t sizeType) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VZ_LOG("rosterid =%s subscribed size=%d", rosterId.c_str(), sizeType);
  if (rosterId == kRecordingServer) {
    VZ_LOG_WARN("Recording Server is going to subscribe video");
    if (encode_controller_ != nullptr) encode_controller_->EnablePeriodicIntraCoding(true);
  }
  VideoRosterInfo* user = FindUser_l(rosterId);
  if (user != nullptr && IsMe_l(user)) {
    VZ_LOG("Self information skip");
  } else if (static_cast<uint32_t>(sizeType) > 2) {
    VZ_LOG_ERROR("Invalid sizeType=%d", sizeType);
  } else {
    for (auto it = subscribers_.begin(); it != subscribers_.end();) {
      auto& ids = it->second;
      ids.erase(std::remove(ids.begin(), ids.end(), rosterId), ids.end());
      it = ids.empty() ? subscribers_.erase(it) : std::next(it);
    }
    subscribers_[sizeType].push_back(rosterId);
    VZ_LOG("%s request video!", rosterId.c_str());
  }
  if (my_info_ != nullptr && my_info_->isSubscribed == 0) {
    my_info_->isSubscribed = 1;
    my_subscribed_ = 1;
    SwitchDataSending();
  }
  DeriveEncodeLayers_l();
}

void CVideoClientController::OnVideoUnsubscribedNotify(const std::string& rosterId, int32_t sizeType) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VZ_LOG("rosterid =%s unsubscribed size=%d", rosterId.c_str(), sizeType);
  if (rosterId == kRecordingServer && encode_controller_ != nullptr) encode_controller_->EnablePeriodicIntraCoding(false);
  VideoRosterInfo* user = FindUser_l(rosterId);
  if (user != nullptr && IsMe_l(user)) return;
  for (auto it = subscribers_.begin(); it != subscribers_.end();) {
    if (sizeType == kVideoSizeNone || it->first == sizeType) {
      auto& ids = it->second;
      ids.erase(std::remove(ids.begin(), ids.end(), rosterId), ids.end());
    }
    it = it->second.empty() ? subscribers_.erase(it) : std::next(it);
  }
  if (subscribers_.empty()) {
    VZ_LOG("Nobody subscribe me now!!! Stop Send data to server");
    if (my_info_ != nullptr) my_info_->isSubscribed = 0;
    my_subscribed_ = 0;
    SwitchDataSending();
  }
  // The layers stay as they are: they are derived again on the next
  // subscription only.
}

void CVideoClientController::DeriveEncodeLayers_l() {
  if (subscribers_.empty() || encode_controller_ == nullptr) return;
  std::vector<SubscriptionRecord> layers;
  for (const auto& [size, ids] : subscribers_) {  // ascending by size type
    if (size < 0 || size > 2) continue;
    layers.push_back({kLayerSizes[size][0], kLayerSizes[size][1]});
  }
  encode_controller_->SetSubscription(static_cast<int32_t>(layers.size()), layers.data());
  encode_layers_ = layers;
  UpdateEncodeParameter();
}

// ---------------------------------------------------------------------------
// My subscriptions to the others' video.

int32_t CVideoClientController::GetSuitableSubscribingSize(int32_t* size) {
  if (*size < -1 || *size > 3) return 4;
  if (quality_mode_ == kQualityStandard && *size > 1) {
    VZ_LOG("update size because of SQ mode");
    *size = 1;
  } else if (quality_mode_ == kQualityHigh && *size > 2) {
    VZ_LOG("update size because of HQ mode");
    *size = 2;
  }
  return 0;
}

int32_t CVideoClientController::SubscribeVideo(VideoRosterInfo* user, int32_t sizeType) {
  if (user == nullptr) return 4;
  if (av_session_status_ != kSessionJoined) return 1;
  if (!session_) return 2;
  if ((sizeType < 0 || sizeType > 3) && sizeType != kVideoSizeNone) return 4;
  if (user->videoStatus != 1) return 1;
  if (IsMe_l(user)) {
    VZ_LOG("Ignore to subscribe myself video from server");
    return 0;
  }
  if (quality_mode_ == kQualityHigh && sizeType == 2) sizeType = 1;
  if (user->listenChannel == nullptr && engine() != nullptr) {
    IClientListenChannel* channel = nullptr;
    if (engine()->CreateVideoListenChannel(user->ssrc, kListenLctm, kRenderVideoType, kDecoderMode, SampleAllocator(),
                                          &channel) == VSE_S_OK &&
        channel != nullptr) {
      channel->SetAspectRatio(16, 9);
      channel->SetEventSink(this);
      user->listenChannel = channel;
    } else {
      VZ_LOG_ERROR("Create listen channel fail");
    }
  }
  GetSuitableSubscribingSize(&sizeType);
  if (user->isSubscribed == 0 || user->wantedSize != sizeType) {
    user->wantedSize = sizeType;
    session_->SubscribeVideoRequest({{user->rosterId, sizeType}});
    VZ_LOG("Target request videoSize=%d", sizeType);
    user->isSubscribed = 1;
  }
  return 0;
}

int32_t CVideoClientController::UnSubscribeVideo(VideoRosterInfo* user) {
  if (user == nullptr) return 2;
  if (av_session_status_ != kSessionJoined) return 1;
  if (!session_ || engine() == nullptr) return 2;
  if (IsMe_l(user)) return 0;
  user->isSubscribed = 0;
  DestroyListenChannel_l(user);
  session_->UnsubscribeVideoRequest({{user->rosterId, user->wantedSize}});
  user->wantedSize = kVideoSizeNone;
  return 0;
}

void CVideoClientController::SendSubscribeRequest(VideoRosterInfo* user) {
  if (session_) session_->SubscribeVideoRequest({{user->rosterId, user->wantedSize}});
}

int32_t CVideoClientController::RequestSourceVideo(const std::string& rosterId, int32_t sizeType,
                                                   uintptr_t rendererHandle) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (sizeType > 2) return 4;
  VideoRosterInfo* user = FindUser_l(rosterId);
  if (user == nullptr) return 5;
  if (user->videoStatus != 1) {
    VZ_LOG("Peer video isn't sending. rosterId=%s", rosterId.c_str());
    return 0;
  }
  if (user->renderers.count(rendererHandle) != 0) VZ_LOG_ERROR("It should not come here");
  user->renderers[rendererHandle] = sizeType;
  const int32_t largest = user->LargestRendererSize();
  bool ok = true;
  if (user->wantedSize < sizeType) {
    VZ_LOG("Want larger size, need resubscribe");
    ok = SubscribeVideo(user, largest) == 0;
  }
  if (rendererHandle != 0) ok = BindRenderer(user, rendererHandle) == 0 && ok;
  return ok ? 0 : 1;
}

int32_t CVideoClientController::UnRequestSourceVideo(const std::string& rosterId, uintptr_t rendererHandle) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VideoRosterInfo* user = FindUser_l(rosterId);
  if (user == nullptr) {
    VZ_LOG("Can't find user rosterId=%s", rosterId.c_str());
    return 5;
  }
  auto found = user->renderers.find(rendererHandle);
  if (found != user->renderers.end()) {
    UnBindRenderer(user, rendererHandle);
    user->renderers.erase(found);
  }
  const int32_t largest = user->LargestRendererSize();
  if (largest == kVideoSizeNone) {
    UnSubscribeVideo(user);
  } else if (largest < user->wantedSize) {
    SubscribeVideo(user, largest);
  }
  VZ_LOG("UnRequestSourceVideo, SSRC = %d done", user->ssrc);
  return 0;
}

int32_t CVideoClientController::BindRenderer(VideoRosterInfo* user, uintptr_t handle) {
  if (handle == 0) return 4;
  IVideoDeliverer* deliverer = DelivererOf(handle);
  if (deliverer == nullptr) return 4;
  if (IsMe_l(user)) {
    IVideoSampleProvider* output = CaptureOutput(capture_engine_);
    if (output == nullptr) {
      VZ_LOG_WARN("start my video firstly before to request self video");
      return 0;
    }
    return output->AppendVideoDeliverer(deliverer) == VSE_S_OK ? 0 : 1;
  }
  if (user->listenChannel == nullptr) return 2;
  return user->listenChannel->AppendVideoDeliverer(deliverer) == VSE_S_OK ? 0 : 1;
}

int32_t CVideoClientController::UnBindRenderer(VideoRosterInfo* user, uintptr_t handle) {
  if (handle == 0) return 4;
  IVideoDeliverer* deliverer = DelivererOf(handle);
  if (deliverer == nullptr) return 4;
  if (IsMe_l(user)) {
    IVideoSampleProvider* output = CaptureOutput(capture_engine_);
    return output != nullptr && output->RemoveVideoDeliverer(deliverer) == VSE_S_OK ? 0 : 1;
  }
  if (user->listenChannel == nullptr) return 2;
  return user->listenChannel->RemoveVideoDeliverer(deliverer) == VSE_S_OK ? 0 : 1;
}

int32_t CVideoClientController::SetSpotlight(const std::string& rosterId) {
  if (!session_) return 2;
  if (rosterId.empty()) {
    session_->UnsetSpotlightRequest();
  } else {
    session_->SetSpotlightRequest(rosterId);
  }
  return 0;
}
