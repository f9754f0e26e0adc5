// The conference client's media side: the engine and my send channel made
// at the join, my camera with its sending delay, sending switched by who
// subscribes, RTP and RTCP both ways, and the network adjustment.
#include <cstring>

#include "common/trace_client.h"
#include "platform/big_endian.h"
#include "platform/run_loop.h"
#include "video/engine/client/video_client_controller.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/video_factories.h"
#include "video/engine/core/vz_video_sample_allocator.h"

namespace {

constexpr int32_t kSampleAlignment = 64;
constexpr uint32_t kSamplePurgeMs = 10000;
constexpr uint32_t kSampleIdleMs = 10000;
constexpr int32_t kCodecH264Svc = 1;
constexpr int32_t kMaxCapabilities = 200;
constexpr float kMaxCaptureFrameRate = 30.0f;
constexpr int32_t kCameraPerformanceClass = 4;
constexpr int32_t kDroppedPacketStatus = 200;
constexpr uint32_t kAdjustmentLogGapMs = 10000;
constexpr uint32_t kRtpHeaderBytes = 12;

const OutputRecord kOutputs[3] = {{160, 90, 6.0f, 0}, {320, 180, 12.0f, 0}, {640, 360, 30.0f, 0}};

uint32_t ReadSsrc(const uint8_t* rtp) {
  return vz::Load32(rtp + 8);
}

}  // namespace

CVideoClientController::CVideoClientController(IVideoClientSink* sink)
    : sink_(sink), owner_loop_(&vz::RunLoop::ForCurrentThread()) {
  VZ_LOG("[0x%08X] >", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  sending_delay_seconds_ = VZSE_::NowMs();
  encode_controller_ = CreateEncodeController();
  if (encode_controller_ != nullptr) encode_controller_->SetControllerSink(this);
  allocator_ = new CVzVideoSampleAllocator(kSampleAlignment, kSamplePurgeMs, kSampleIdleMs);
  allocator_->AddRef();
  const VZSE_::TimeValue interval(0, kTimerIntervalMs * 1000);
  if (sending_delay_timer_.Schedule(this, &interval) != VSE_S_OK ||
      adjustment_timer_.Schedule(this, &interval) != VSE_S_OK) {
    VZ_LOG_ERROR("the client's timers could not be scheduled");
  }
}

CVideoClientController::~CVideoClientController() {
  VZ_LOG("begin");
  alive_.reset();  // work posted for us and not run yet is dropped
  sending_delay_timer_.Cancel();
  adjustment_timer_.Cancel();
  // Every channel goes before the session: my send channel's packets and
  // the listen channels' reports (sent from their data threads) go through
  // it.
  ReleasePreviewEngine();
  ReleaseCaptureEngine();
  DestroySourceChannel();
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    for (auto& [id, user] : users_) {
      DestroyListenChannel_l(user);
      delete user;
    }
    users_.clear();
    if (my_info_owned_) delete my_info_;
    my_info_ = nullptr;
  }
  session_.reset();  // leaves: OnSessionLeave(0, 0) arrives during this
  delete engine_.exchange(nullptr);
  if (encode_controller_ != nullptr) encode_controller_->Release();
  allocator_->Release();
  VZ_LOG("End");
}

IVideoSampleAllocator* CVideoClientController::SampleAllocator() { return allocator_; }

// ---------------------------------------------------------------------------
// Session callbacks.

void CVideoClientController::RunOnOwner(std::function<void()> work) {
  if (owner_loop_->BelongsToCurrentThread()) {
    work();
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  if (!owner_loop_->Post([alive, work = std::move(work)] {
        if (alive.lock()) work();
      })) {
    VZ_LOG_ERROR("the owner thread's loop has stopped; a session event is lost");
  }
}

void CVideoClientController::OnSessionJoin(int32_t bResult, uint32_t ssrc) {
  RunOnOwner([this, bResult, ssrc] { HandleSessionJoin(bResult, ssrc); });
}

void CVideoClientController::HandleSessionJoin(int32_t bResult, uint32_t ssrc) {
  uint32_t my_ssrc = 0;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (my_info_ != nullptr) my_ssrc = my_info_->ssrc;
  }
  VZ_LOG("bResult=%d ssrc=%d mySSRC=%d", bResult, ssrc, my_ssrc);
  if (bResult == 0) return;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (my_info_ != nullptr) my_info_->ssrc = ssrc;
  RebuildSsrcIndex_l();
  if (reconnecting_.exchange(0) != 0 && engine() != nullptr) {
    VZ_LOG("This is reconnecting issue...");
    if (source_channel_ != nullptr) engine()->UpdateVideoSourceChannel(ssrc, source_channel_->ClientId());
    if (my_info_ != nullptr && my_info_->listenChannel != nullptr) my_info_->listenChannel->SetSSRC(ssrc);
    if (my_info_ != nullptr && my_info_->videoStatus == 1 && session_) {
      session_->StartBroadcastRequest(my_info_->wantedSize);
      VZ_LOG("Resend myvideo status size=%d", my_info_->wantedSize);
    }
    FinishJoin();
    return;
  }
  if (engine() == nullptr) {
    const VideoClientFactories& factories = CurrentVideoClientFactories();
    if (factories.make_engine != nullptr) engine_.store(factories.make_engine());
  }
  if (engine() == nullptr) {
    VZ_LOG_ERROR("create video engine failed.");
  } else {
    engine()->SetTransportSink(this);
    if (source_channel_ == nullptr && !InitSourceChannel()) VZ_LOG_ERROR("init source channel failed.");
  }
  if (engine() == nullptr || source_channel_ == nullptr) {
    av_session_status_ = kSessionIdle;
    sink_->OnVCErrorNotification(1, 10);
    sink_->OnVCStatusNotification(kSessionIdle);
    return;
  }
  if (encode_controller_ != nullptr) encode_controller_->SetDeviceClass(quality_mode_);
  UpdateEncodeParameter();
  FinishJoin();
}

void CVideoClientController::FinishJoin() {
  av_session_status_ = kSessionJoined;
  sink_->OnVCStatusNotification(kSessionJoined);
  sink_->OnJoinVideoConference(1);
}

bool CVideoClientController::InitSourceChannel() {
  uint32_t my_ssrc = my_info_ != nullptr ? my_info_->ssrc : 0;
  IClientSourceChannel* channel = nullptr;
  if (engine()->CreateVideoSourceChannel(my_ssrc, kCodecH264Svc, this, allocator_, &channel) != VSE_S_OK ||
      channel == nullptr) {
    VZ_LOG_ERROR("Fail to create SourceChannel");
    return false;
  }
  source_channel_ = channel;
  channel->ConfigureOutputs(3, kOutputs);
  channel->SetFecSwitch(false);
  channel->SetPacketTransport(this);
  channel->SetSink(this);
  channel->SetEncodeController(encode_controller_);
  channel->StopSend();
  return true;
}

void CVideoClientController::DestroySourceChannel() {
  IClientSourceChannel* channel = nullptr;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    // A leave arrives more than once (our own, the transport's confirmation,
    // the session's deletion): only the first finds a channel to destroy.
    if (source_channel_ == nullptr) return;
    channel = source_channel_;
    source_channel_ = nullptr;
    if (capture_engine_ != nullptr) capture_engine_->RemoveVideoDeliverer(channel->Deliverer());
    channel->StopSend();
  }
  // Outside the participants' lock: the engine stops the channel, waiting
  // for the frame its data thread is encoding.
  if (engine() != nullptr) engine()->DestroyVideoSourceChannel(channel->ClientId());
}

void CVideoClientController::OnSessionLeave(int32_t code, int32_t codetype) {
  RunOnOwner([this, code, codetype] { HandleSessionLeave(code, codetype); });
}

void CVideoClientController::HandleSessionLeave(int32_t code, int32_t codetype) {
  VZ_LOG("code=%d codetype=%d", code, codetype);
  DestroySourceChannel();
  av_session_status_ = kSessionEnded;
  // Our own leave, the transport's confirmation and the session's deletion
  // each report a leave: the meeting client hears the first only.
  if (left_reported_.exchange(true)) {
    VZ_LOG("the session has been left already");
    return;
  }
  sink_->OnLeftVideoConference(code, codetype);
}

void CVideoClientController::OnReconnecting() {
  reconnecting_ = 1;
  av_session_status_ = kSessionConnecting;
  sink_->OnVideoConfReconnecting();
}

void CVideoClientController::OnReceiveRtpData(const uint8_t* data, uint32_t len) {
  if (data == nullptr || len == 0 || engine() == nullptr) return;
  if (len < kRtpHeaderBytes) {
    VZ_LOG_WARN("RTP packet of %u bytes dropped", len);
    return;
  }
  const uint32_t ssrc = ReadSsrc(data);
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VideoRosterInfo* user = FindUserBySsrc_l(ssrc);
  // A sender I do not subscribe to (or whose channel just went) has no
  // channel to take the packet.
  if (user == nullptr || user->videoStatus != 1 || user->listenChannel == nullptr) return;
  const uint32_t now = VZSE_::NowMs();
  last_receive_ms_ = now;
  user->listenChannel->InputPacket(data, static_cast<int32_t>(len), now, 0);
}

void CVideoClientController::OnReceiveRtcpData(const uint8_t* data, uint32_t len) {
  if (data == nullptr || len == 0 || engine() == nullptr) return;
  engine()->InputRtcpPacket(data, static_cast<int32_t>(len), 0);
}

// ---------------------------------------------------------------------------
// Packets out (engine threads).

int32_t CVideoClientController::SendRtpPacket(int32_t kind, const uint8_t* data, int32_t length) {
  if (!session_ || data == nullptr || length <= 0) {
    VZ_LOG("SendRtpPacket Invalid parameters.");
    return 1;
  }
  // No participants' lock here: the send thread may hold the channel's own
  // locks, which the owner thread takes under the participants' lock.
  if (my_subscribed_ == 0) {
    const uint32_t second = VZSE_::NowMs() / 1000;
    if (second % 5 == 0 && last_nobody_log_s_.exchange(second) != second) {
      VZ_LOG("Nobody subscribe my Video, drop packet");
    }
    return 0;
  }
  if (kind == kDroppedPacketStatus) {
    VZ_LOG("SendRtpPacket packet dropped!");
    return 0;
  }
  if (my_video_paused_ != 0) return 0;
  session_->SendRtp(data, static_cast<uint32_t>(length));
  return 0;
}

int32_t CVideoClientController::SendRtcpPacket(const uint8_t* data, int32_t length, int32_t /*kind*/) {
  if (session_ && data != nullptr && length > 0) session_->SendRtcp(data, static_cast<uint32_t>(length));
  return 0;
}

// ---------------------------------------------------------------------------
// My camera.

int32_t CVideoClientController::StartMyVideo(IVideoCapDevice* device, uint32_t delaySeconds) {
  VZ_LOG("ulDelayTime = %d", delaySeconds);
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (my_info_ != nullptr && my_info_->videoStatus == 1) {
      VZ_LOG_WARN("MyVideo has started!!!");
      sink_->OnVCMyStatusChanged(my_info_->videoStatus);
      return 0;
    }
    if (my_info_ == nullptr) {
      VZ_LOG_ERROR("Can't find myself roster!!");
      return 1;
    }
  }
  if (engine() == nullptr) return 0;
  if (sink_ == nullptr) return 2;
  if (source_channel_ == nullptr) return 3;
  if (device == nullptr) return 4;
  sending_delay_seconds_ = delaySeconds + 1;
  sink_->OnVCSendingProcess(0);
  if (capture_engine_ == nullptr) {
    IVideoCapEngine* engine = nullptr;
    const int32_t chosen = ChooseCapability(device, true, &capture_capability_);
    if (chosen != 0 || CreateVideoCapEngine(device, &capture_capability_, allocator_, &engine) != VSE_S_OK ||
        engine == nullptr) {
      sink_->OnVCConnectCamera(device, 0);
      sink_->OnVCSendingProcess(3);
      if (chosen != 0) {
        VZ_LOG_ERROR("GetAcceptableCameraCapability fail");
      } else {
        VZ_LOG_ERROR("create capture engine fail");
      }
      return 1;
    }
    engine->SetSink(this);
    capture_engine_ = engine;
    capture_device_ = device;
    device->AddRef();
    VZ_LOG("create new capture engine");
  }
  if (capture_engine_->AppendVideoDeliverer(source_channel_->Deliverer()) != VSE_S_OK) return 1;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    self_video_output_ = 0;
    my_info_->videoStatus = 1;
  }
  capture_engine_->Start(false);
  return 0;
}

int32_t CVideoClientController::OnStarted(IVideoCapDevice* device, int32_t result) {
  if (device == nullptr) return 4;
  if (sink_ == nullptr) return 2;
  {
    // A preview camera's start is not my camera's: its failure must not
    // withdraw my video.
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (capture_engine_ == nullptr || capture_engine_->IsDifferentDevice(device)) {
      VZ_LOG("Isn't CurrentDevice");
      return 0;
    }
  }
  sink_->OnVCConnectCamera(device, result == 0 ? 1 : 0);
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (capture_engine_ == nullptr || my_info_ == nullptr || my_info_->videoStatus != 1) return 0;
  if (result != 0) {
    sink_->OnVCSendingProcess(3);
    SendSelfStatus(0);
  } else if (self_video_output_ == 0) {
    sink_->OnVCSendingProcess(1);
    self_video_output_ = 1;
  }
  return 0;
}

int32_t CVideoClientController::OnCaptureVideoSizeChanged(int32_t width, int32_t height) {
  sink_->OnVideoSizeChanged(my_roster_id_, width, height);
  return 0;
}

int32_t CVideoClientController::OnDevicePortrait(int32_t isLandscape) {
  SourceInfo info;
  info.type = isLandscape != 0 ? kSourceCameraLandscape : kSourceCameraPortrait;
  VZ_LOG("isLandscape=%d srcInfoType=%d", isLandscape, info.type);
  std::lock_guard<std::recursive_mutex> hold(lock_);  // the channel goes under it
  if (source_channel_ != nullptr) source_channel_->SetSourceInfo(&info);
  UpdateEncodeParameter();
  return 0;
}

void CVideoClientController::RunSendingDelayTick() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (self_video_output_ == 0) return;
  if (self_video_output_ < sending_delay_seconds_) {
    ++self_video_output_;
  } else if (self_video_output_ == sending_delay_seconds_) {
    VZ_LOG("TIMER_SENDING_DELAY, start to send");
    sink_->OnVCSendingProcess(2);
    SendSelfStatus(1);
    SwitchDataSending();
    ++self_video_output_;  // once
  }
}

int32_t CVideoClientController::SendSelfStatus(int32_t status) {
  if (!session_ || sink_ == nullptr) return 2;
  if (status > 1) {
    VZ_LOG("unknown status");
    return 0;
  }
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (my_info_ == nullptr) return 2;
  my_info_->videoStatus = status;
  if (status == 1) {
    session_->StartBroadcastRequest(my_info_->wantedSize);
  } else {
    session_->StopBroadcastRequest();
  }
  sink_->OnUserStateUpdated(my_roster_id_);
  sink_->OnVCMyStatusChanged(my_info_->videoStatus);
  VZ_LOG("Sending out SourceStatus = %d", status);
  return 0;
}

int32_t CVideoClientController::SwitchDataSending() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  VZ_LOG("m_ulSelfVideoOutput=%d m_ulSendingDelaySeconds=%d", self_video_output_, sending_delay_seconds_);
  if (source_channel_ == nullptr) return 2;
  if (av_session_status_ != kSessionJoined) return 1;
  if (!session_) return 2;
  if (my_info_ != nullptr && my_info_->isSubscribed != 0 && self_video_output_ >= sending_delay_seconds_) {
    VZ_LOG("SourceChannel Start send");
    source_channel_->StartSend();
  } else {
    VZ_LOG("Source Stop Send!");
    source_channel_->StopSend();
  }
  return 0;
}

int32_t CVideoClientController::StopMyVideo() {
  if (engine() == nullptr || sink_ == nullptr) return 2;
  SendSelfStatus(0);
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (my_info_ != nullptr) my_info_->videoStatus = 0;
    self_video_output_ = 0;
  }
  sink_->OnVCSendingProcess(4);
  ReleaseCaptureEngine();
  SwitchDataSending();
  return 0;
}

int32_t CVideoClientController::PauseMyVideo() {
  VZ_LOG("m_isMyVideoPaused=%d", my_video_paused_.load());
  my_video_paused_ = 1;
  return 0;
}

int32_t CVideoClientController::ResumeMyVideo() {
  VZ_LOG("m_isMyVideoPaused=%d", my_video_paused_.load());
  my_video_paused_ = 0;
  return 0;
}

int32_t CVideoClientController::IsMyVideoStarted() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return my_info_ != nullptr && my_info_->videoStatus == 1 ? 1 : 0;
}

void CVideoClientController::ReleaseCaptureEngine() {
  IVideoCapEngine* engine = nullptr;
  IVideoCapDevice* device = nullptr;
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    engine = capture_engine_;
    device = capture_device_;
    capture_engine_ = nullptr;
    capture_device_ = nullptr;
  }
  if (engine != nullptr) {
    engine->Stop();
    engine->SetSink(nullptr);
    engine->Release();
  }
  if (device != nullptr) device->Release();
}

void CVideoClientController::ReleasePreviewEngine() {
  if (preview_engine_ != nullptr) {
    preview_engine_->Stop();
    preview_engine_->SetSink(nullptr);
    preview_engine_->Release();
    preview_engine_ = nullptr;
  }
  if (preview_device_ != nullptr) preview_device_->Release();
  preview_device_ = nullptr;
}

IVideoSampleProvider* CVideoClientController::CaptureOutput(IVideoCapEngine* engine) {
  // The capture engine's provider operations reach its cropper's output.
  return engine;
}

namespace {

struct CollectedDeliverers {
  std::vector<IVideoDeliverer*> list;
};

int32_t CollectDeliverer(IVideoDeliverer* deliverer, void* user_data) {
  deliverer->AddRef();
  static_cast<CollectedDeliverers*>(user_data)->list.push_back(deliverer);
  return 0;
}

}  // namespace

int32_t CVideoClientController::SelectCaptureDevice(IVideoCapDevice* device) {
  if (device == nullptr) return 4;
  if (sink_ == nullptr) return 2;
  if (capture_engine_ != nullptr && !capture_engine_->IsDifferentDevice(device)) {
    VZ_LOG("device has been used to capture");
    return 1;
  }
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (my_info_ == nullptr) return 1;
    if (my_info_->videoStatus != 1) {
      VZ_LOG("self is not sending, return directly");
      return 0;
    }
  }
  CollectedDeliverers collected;
  if (capture_engine_ != nullptr) capture_engine_->EnumVideoDeliverers(&CollectDeliverer, &collected);
  IVideoCapEngine* engine = nullptr;
  if (preview_engine_ != nullptr && !preview_engine_->IsDifferentDevice(device)) {
    VZ_LOG("device is being used to preview, switch to be capture engine");
    engine = preview_engine_;
    preview_engine_ = nullptr;
    if (preview_device_ != nullptr) preview_device_->Release();
    preview_device_ = nullptr;
  } else if (ChooseCapability(device, true, &capture_capability_) != 0) {
    VZ_LOG_ERROR("UpdateCameraCapability fail");
  } else if (CreateVideoCapEngine(device, &capture_capability_, allocator_, &engine) != VSE_S_OK) {
    VZ_LOG_ERROR("CreateVideoCapEngine falied!!!");
    engine = nullptr;
  }
  if (engine == nullptr) {
    for (IVideoDeliverer* d : collected.list) d->Release();
    return 1;
  }
  ReleaseCaptureEngine();
  engine->SetSink(this);
  for (IVideoDeliverer* d : collected.list) {
    if (engine->AppendVideoDeliverer(d) != VSE_S_OK) VZ_LOG_ERROR("videoCaptureEngine->AppendVideoDelivere fail");
    d->Release();
  }
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    capture_engine_ = engine;
    capture_device_ = device;
    device->AddRef();
    self_video_output_ = 0;
  }
  engine->Start(false);
  UpdateEncodeParameter();
  return 0;
}

int32_t CVideoClientController::StartCameraPreview(IVideoCapDevice* device, uintptr_t rendererHandle) {
  auto* renderer = reinterpret_cast<IVideoDeliverer*>(rendererHandle);
  if (device == nullptr || renderer == nullptr) return 4;
  if (capture_engine_ != nullptr && !capture_engine_->IsDifferentDevice(device)) {
    if (capture_engine_->AppendVideoDeliverer(renderer) != VSE_S_OK) return 1;
    VZ_LOG("use current device done");
    return 0;
  }
  ReleasePreviewEngine();
  VideoFormat chosen{};
  if (ChooseCapability(device, false, &chosen) != 0) return 1;
  IVideoCapEngine* engine = nullptr;
  if (CreateVideoCapEngine(device, &chosen, allocator_, &engine) != VSE_S_OK || engine == nullptr) return 3;
  engine->AppendVideoDeliverer(renderer);
  engine->SetSink(this);
  preview_engine_ = engine;
  preview_device_ = device;
  device->AddRef();
  engine->Start(false);
  return 0;
}

int32_t CVideoClientController::StopCameraPreview(IVideoCapDevice* device, uintptr_t rendererHandle) {
  auto* renderer = reinterpret_cast<IVideoDeliverer*>(rendererHandle);
  if (device == nullptr || renderer == nullptr) return 4;
  if (capture_engine_ != nullptr && !capture_engine_->IsDifferentDevice(device)) {
    if (capture_engine_->RemoveVideoDeliverer(renderer) != VSE_S_OK) return 1;
    VZ_LOG("The device is current device");
    return 0;
  }
  ReleasePreviewEngine();
  return 0;
}

int32_t CVideoClientController::ShowAdvancedSettingWindow(IVideoCapDevice* device, void* parent) {
  if (device == nullptr) return 4;
  IVideoCapEngine* engine = nullptr;
  if (capture_engine_ != nullptr && !capture_engine_->IsDifferentDevice(device)) {
    engine = capture_engine_;
  } else if (preview_engine_ != nullptr && !preview_engine_->IsDifferentDevice(device)) {
    engine = preview_engine_;
  }
  if (engine == nullptr || !engine->HasAdvancedSetting()) return 1;
  return engine->ShowAdvancedSetting(parent) != VSE_S_OK ? 1 : 0;
}

int32_t CVideoClientController::ChooseCapability(IVideoCapDevice* device, bool for_capture, VideoFormat* chosen) {
  if (encode_controller_ == nullptr) return 2;
  std::vector<VideoFormat> caps;
  for (int32_t i = 0; i < kMaxCapabilities; ++i) {
    VideoFormat cap{};
    if (device->GetCapability(i, &cap) != VSE_S_OK) break;
    if (cap.max_frame_rate() > kMaxCaptureFrameRate) cap.set_max_frame_rate(kMaxCaptureFrameRate);
    caps.push_back(cap);
  }
  if (caps.empty()) return 1;
  const auto count = static_cast<int32_t>(caps.size());
  if (for_capture) *chosen = VideoFormat{};
  if (encode_controller_->GetCaptureCapability(count, caps.data(), kCameraPerformanceClass, chosen) != VSE_S_OK) {
    return 1;
  }
  if (for_capture) encode_controller_->SetCaptureCameraCapability(count, caps.data(), kCameraPerformanceClass);
  return 0;
}

void CVideoClientController::SetVideoQualityMode(int32_t mode) {
  VZ_LOG("qualityMode = %d", mode);
  quality_mode_ = mode;
  if (encode_controller_ != nullptr) encode_controller_->SetDeviceClass(mode);
  UpdateEncodeParameter();
}

void CVideoClientController::UpdateEncodeParameter() {
  std::lock_guard<std::recursive_mutex> hold(lock_);  // the channel goes under it
  if (encode_controller_ == nullptr || source_channel_ == nullptr) return;
  EncodeParams params{};
  if (encode_controller_->GetEncodeConfiguration(&params) != VSE_S_OK) {
    VZ_LOG_ERROR("VSE_S_OK == m_pEncodeController->GetEncodeConfiguration(&EncodeParam)");
    return;
  }
  if (source_channel_->SetEncodeParam(&params) != VSE_S_OK) {
    VZ_LOG_ERROR("VSE_S_OK == m_pVideoSourceChannel->SetEncodeParam(&EncodeParam)");
  }
}

// ---------------------------------------------------------------------------
// Channel callbacks.

int32_t CVideoClientController::OnKeyFrameLost(uint32_t ssrc) {
  VZ_LOG_WARN("key frame lost, ssrc=%u", ssrc);
  return 0;
}

int32_t CVideoClientController::OnRenderBlocked(uint32_t ssrc, int32_t blocked) {
  const std::string id = RosterIdOfSsrc(ssrc);
  if (id.empty()) return 0;
  sink_->OnRenderBlocked(id, blocked);
  return 0;
}

int32_t CVideoClientController::OnListenParameterChanged(uint32_t ssrc, int32_t kind, int32_t value) {
  const std::string id = RosterIdOfSsrc(ssrc);
  if (id.empty()) {
    VZ_LOG_WARN("Can't find user for SSRC=%d", ssrc);
    return 0;
  }
  if (kind == 3) VZ_LOG("loss rate of %s: %d", id.c_str(), value);
  if (kind == 5) VZ_LOG("render frame rate of %s: %d", id.c_str(), value);
  if (kind == 4) sink_->OnVideoSizeChanged(id, (value >> 16) & 0xFFFF, value & 0xFFFF);
  return 0;
}

int32_t CVideoClientController::OnKeyFrameRequested(uint32_t ssrc) {
  VZ_LOG("key frame requested by ssrc=%u", ssrc);
  return 0;
}

int32_t CVideoClientController::OnSourceParameterChanged(uint32_t ssrc, int32_t kind, int32_t value) {
  if (kind == 5 || kind == 8) VZ_LOG("ssrc=%u kind=%d value=%d", ssrc, kind, value);
  return 0;
}

int32_t CVideoClientController::OnSendRate(int32_t) { return 0; }

int32_t CVideoClientController::OnNotifySourceBitrateInfo(int32_t minimum, int32_t maximum) {
  min_bandwidth_ = minimum;
  max_bandwidth_ = maximum;
  return 0;
}

int32_t CVideoClientController::OnCaptureParameterChanged(const VideoFormat& format) {
  VZ_LOG("type=%d width=%d height=%d", format.video_type, format.width, format.height);
  return 0;
}

int32_t CVideoClientController::OnProbingDeltaBitrate(int32_t source_id, int32_t delta_kbps) {
  VZ_LOG("source=%d delta=%d", source_id, delta_kbps);
  return 0;
}

// ---------------------------------------------------------------------------
// The transport's filter and the network adjustment.

int32_t CVideoClientController::Filter(int32_t, int32_t, int32_t*, int32_t) { return 0; }

void CVideoClientController::OnAdjustment(uint8_t state, int32_t bandwidth, int32_t jitter, float lossrate,
                                          int32_t rtt, int32_t totalbw) {
  const uint32_t now = VZSE_::NowMs();
  std::lock_guard<std::mutex> hold(adjustment_lock_);
  if (!adjustment_logged_ || now - last_adjustment_log_ms_ >= kAdjustmentLogGapMs) {
    adjustment_logged_ = true;
    last_adjustment_log_ms_ = now;
    VZ_LOG("state=%d,bandwidth=%d,jitter=%d,lossrate=%f,rtt=%d,totalbw=%d", state, bandwidth, jitter,
           static_cast<double>(lossrate) * 1000, rtt, totalbw);
  }
  total_bw_ = totalbw;
  uplink_.loss_rate = static_cast<int32_t>(lossrate * 1000);
  uplink_.rtt = rtt / 2;
  uplink_.jitter = jitter;
  uplink_.reserved = 0;
  uplink_.bandwidth = bandwidth * 8;
  uplink_.status = state;
  uplink_time_ms_ = now;
  has_uplink_ = true;
}

int32_t CVideoClientController::QueryValue(uint8_t kind, int32_t* out) {
  if (out == nullptr) return 0;
  if (kind == kTransportQueryMaxSendBandwidth) *out = max_bandwidth_;
  if (kind == kTransportQueryMinSendBandwidth) *out = min_bandwidth_;
  return 0;
}

int32_t CVideoClientController::NotifyFlag(int32_t flag) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (source_channel_ == nullptr) return 1;
  int32_t dropped = 0;
  source_channel_->GetStatus(&dropped, flag != 0);
  return dropped;
}

uint8_t CVideoClientController::GetSessionType() { return kTransportSessionVideo; }

void CVideoClientController::RunAdjustmentTick() {
  UplinkStat record;
  {
    std::lock_guard<std::mutex> hold(adjustment_lock_);
    if (!has_uplink_ || (handled_adjustment_ && static_cast<int32_t>(uplink_time_ms_ - last_handled_adjustment_ms_) <= 0)) {
      return;
    }
    handled_adjustment_ = true;
    last_handled_adjustment_ms_ = uplink_time_ms_;
    record = uplink_;  // a whole record, never half of an older one
  }
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (source_channel_ == nullptr) return;
  source_channel_->UpdateUpLinkNetStat(&record);
  if (encode_controller_ != nullptr) encode_controller_->UpdateUpLinkStat(&record, source_channel_->FecLevel());
}

void CVideoClientController::OnTimer(CVzTimer* timer) {
  if (timer == &sending_delay_timer_) RunSendingDelayTick();
  if (timer == &adjustment_timer_) RunAdjustmentTick();
}
