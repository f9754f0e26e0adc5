#pragma once
// CVideoClientController: the conference client of the video engine. It
// joins and leaves through the video session, keeps the participants (the
// meeting client's rosters and the video server's), subscribes to the
// others' video by size, tracks who subscribes to mine, binds renderers,
// runs my camera and my send channel, and hands the transport's network
// measurements to the send side once a second.
//
// Results of the client operations: 0 success, 1 failed, 2 not available,
// 3 creation failed, 4 null or invalid argument, 5 unknown roster (unless
// an operation says otherwise).
// Threads: the operations and the timers on the owner thread (the thread
// that made the client); session callbacks on transport threads; channel
// and capture callbacks on engine threads. One re-entrant lock guards the
// participant maps and the users' channels; the sink is called without
// touching the owner thread (the controller posts everything on).
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "contracts/media_transport.h"
#include "contracts/session_records.h"
#include "contracts/session_status.h"
#include "video/engine/client/video_client_seams.h"
#include "video/engine/client/video_client_sink.h"
#include "video/engine/client/video_roster_info.h"
#include "video/engine/core/vz_timer.h"

class CVzVideoSampleAllocator;
namespace vz {
class RunLoop;
}

class CVideoClientController : public IVideoCapEngineSink,
                               public IVZVideoSessionSink,
                               public IVideoPacketTransport,
                               public IVideoListenChannelSink,
                               public IVideoSourceChannelSink,
                               public IMediaTransportFilter,
                               public IVideoTimerSink,
                               public IVideoEncodeControllerSink {
 public:
  // Quality modes: 0 caps subscriptions at 320x180, 1 at 640x360.
  static constexpr int32_t kQualityStandard = 0;
  static constexpr int32_t kQualityHigh = 1;
  static constexpr uint32_t kTimerIntervalMs = 1000;

  explicit CVideoClientController(IVideoClientSink* sink);
  ~CVideoClientController() override;
  CVideoClientController(const CVideoClientController&) = delete;
  CVideoClientController& operator=(const CVideoClientController&) = delete;

  // --- Joining and the participants.
  // 1 when the join started, else 0 (an empty own roster id reports error
  // (6, 10); a session that cannot start reports (1, 10) and status 0).
  int32_t JoinVideoConference(const AVSessionConfig* cfg, const NetworkProxyEntry* proxy);
  int32_t LeaveVideoConference();
  int32_t AppRosterEnter(const RosterRecord* record, int32_t arg);
  int32_t AppRosterUpdate(const RosterRecord* record);
  int32_t AppRosterLeft(const RosterRecord* record);
  int32_t OnServerRosterEnter(const ServerRoster& roster);
  int32_t OnServerRosterUpdated(const ServerRoster& roster);
  int32_t OnServerRosterLeft(const ServerRoster& roster);
  // A copy of a participant's record; false when unknown.
  bool CopyUser(const std::string& rosterId, VideoRosterInfo* out);
  bool CopyMyInfo(VideoRosterInfo* out);
  int32_t GetSessionStatus() const { return av_session_status_.load(); }
  const std::string& my_roster_id() const { return my_roster_id_; }
  // Who subscribes to my video, by size type.
  std::map<int32_t, std::vector<std::string>> SubscribersForTesting();
  // The layer sizes last handed to the encode controller (empty: none yet).
  std::vector<SubscriptionRecord> EncodeLayersForTesting();
  IVideoSampleAllocator* SampleAllocator();

  // --- Other participants' video.
  int32_t SetSpotlight(const std::string& rosterId);
  int32_t RequestSourceVideo(const std::string& rosterId, int32_t sizeType, uintptr_t rendererHandle);
  int32_t UnRequestSourceVideo(const std::string& rosterId, uintptr_t rendererHandle);

  // --- My video.
  void SetVideoQualityMode(int32_t mode);
  int32_t StartMyVideo(IVideoCapDevice* device, uint32_t delaySeconds);
  int32_t StopMyVideo();
  int32_t PauseMyVideo();
  int32_t ResumeMyVideo();
  int32_t IsMyVideoStarted();
  int32_t SelectCaptureDevice(IVideoCapDevice* device);
  int32_t StartCameraPreview(IVideoCapDevice* device, uintptr_t rendererHandle);
  int32_t StopCameraPreview(IVideoCapDevice* device, uintptr_t rendererHandle);
  int32_t ShowAdvancedSettingWindow(IVideoCapDevice* device, void* parent);

  // IVZVideoSessionSink (transport threads).
  void OnSessionJoin(int32_t bResult, uint32_t ssrc) override;
  void OnSessionLeave(int32_t code, int32_t codetype) override;
  void OnReconnecting() override;
  void OnReceiveRtpData(const uint8_t* data, uint32_t len) override;
  void OnReceiveRtcpData(const uint8_t* data, uint32_t len) override;
  void OnRosterChanged(uint32_t rosterType, const ServerRoster* rosters, uint32_t count) override;
  void OnStartBroadcastNotify(const std::string& rosterId) override;
  void OnStopBroadcastNotify(const std::string& rosterId) override;
  void OnVideoSubscribedNotify(const std::string& rosterId, int32_t sizeType) override;
  void OnVideoUnsubscribedNotify(const std::string& rosterId, int32_t sizeType) override;
  void OnSetSpotlightNotify(const std::string& rosterId) override;
  void OnUnsetSpotlightNotify() override;
  void OnActiveSpeakerNotify(const std::string& rosterId) override;

  // IVideoCapEngineSink (capture threads).
  int32_t OnStarted(IVideoCapDevice* device, int32_t result) override;
  int32_t OnCaptureVideoSizeChanged(int32_t width, int32_t height) override;
  int32_t OnDevicePortrait(int32_t isLandscape) override;

  // IVideoPacketTransport (engine threads).
  int32_t SendRtpPacket(int32_t kind, const uint8_t* data, int32_t length) override;
  int32_t SendRtcpPacket(const uint8_t* data, int32_t length, int32_t kind) override;

  // IVideoListenChannelSink.
  int32_t OnKeyFrameLost(uint32_t ssrc) override;
  int32_t OnRenderBlocked(uint32_t ssrc, int32_t blocked) override;
  int32_t OnListenParameterChanged(uint32_t ssrc, int32_t kind, int32_t value) override;

  // IVideoSourceChannelSink.
  int32_t OnKeyFrameRequested(uint32_t ssrc) override;
  int32_t OnSourceParameterChanged(uint32_t ssrc, int32_t kind, int32_t value) override;
  int32_t OnSendRate(int32_t kbps) override;
  int32_t OnNotifySourceBitrateInfo(int32_t minimum, int32_t maximum) override;

  // IMediaTransportFilter (transport threads).
  int32_t Filter(int32_t a, int32_t b, int32_t* out, int32_t d) override;
  void OnAdjustment(uint8_t state, int32_t bandwidth, int32_t jitter, float lossrate, int32_t rtt,
                    int32_t totalbw) override;
  int32_t QueryValue(uint8_t kind, int32_t* out) override;
  int32_t NotifyFlag(int32_t flag) override;
  uint8_t GetSessionType() override;

  // IVideoTimerSink (owner thread).
  void OnTimer(CVzTimer* timer) override;

  // IVideoEncodeControllerSink.
  int32_t OnCaptureParameterChanged(const VideoFormat& format) override;
  int32_t OnProbingDeltaBitrate(int32_t source_id, int32_t delta_kbps) override;

 private:
  using UserMap = std::map<std::string, VideoRosterInfo*>;

  VideoRosterInfo* FindUser_l(const std::string& rosterId);
  VideoRosterInfo* FindUserBySsrc_l(uint32_t ssrc);
  // The roster id of an SSRC for callbacks from engine threads, which must
  // not take the participants' lock (the owner thread holds it while it
  // calls into the channels); empty when unknown.
  std::string RosterIdOfSsrc(uint32_t ssrc);
  void RebuildSsrcIndex_l();
  bool IsMe_l(const VideoRosterInfo* user) const { return user != nullptr && user == my_info_; }
  void ApplyKnownServerRoster_l(VideoRosterInfo* user);
  // Whether the server's entry changes what the panel shows of `user`.
  static bool ShownStateChanges(const VideoRosterInfo& user, const ServerRoster& r);
  void DeriveEncodeLayers_l();
  void DestroyListenChannel_l(VideoRosterInfo* user);
  int32_t GetSuitableSubscribingSize(int32_t* size);
  int32_t SubscribeVideo(VideoRosterInfo* user, int32_t sizeType);
  int32_t UnSubscribeVideo(VideoRosterInfo* user);
  void SendSubscribeRequest(VideoRosterInfo* user);
  int32_t BindRenderer(VideoRosterInfo* user, uintptr_t handle);
  int32_t UnBindRenderer(VideoRosterInfo* user, uintptr_t handle);

  // Runs `work` on the owner thread: at once there, else posted to its run
  // loop (dropped if the client is gone by then). The engine and its
  // channels are made and destroyed there, since their timers run on the
  // loop of the thread that makes them.
  void RunOnOwner(std::function<void()> work);
  void HandleSessionJoin(int32_t bResult, uint32_t ssrc);
  void HandleSessionLeave(int32_t code, int32_t codetype);
  bool InitSourceChannel();
  void DestroySourceChannel();
  void FinishJoin();
  int32_t SendSelfStatus(int32_t status);
  int32_t SwitchDataSending();
  void UpdateEncodeParameter();
  // Reads the camera's capabilities; 0, or 1 when it has none, 2 without an
  // encode controller. `for_capture` stores the choice and hands the list to
  // the encode controller.
  int32_t ChooseCapability(IVideoCapDevice* device, bool for_capture, VideoFormat* chosen);
  IVideoSampleProvider* CaptureOutput(IVideoCapEngine* engine);
  void ReleaseCaptureEngine();
  void ReleasePreviewEngine();
  void RunSendingDelayTick();
  void RunAdjustmentTick();

  IVideoClientSink* const sink_;
  vz::RunLoop* const owner_loop_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // Made on the owner thread at the first join, read by transport threads.
  std::atomic<IClientVideoEngine*> engine_{nullptr};
  IClientVideoEngine* engine() const { return engine_.load(std::memory_order_acquire); }
  std::unique_ptr<IVZVideoSession> session_;
  AVSessionConfig config_{};
  std::atomic<int32_t> av_session_status_{kSessionIdle};
  std::atomic<bool> left_reported_{false};
  int32_t quality_mode_ = kQualityHigh;

  std::recursive_mutex lock_;  // the maps below and the users' channels
  UserMap users_;
  std::map<std::string, ServerRoster> server_rosters_;
  std::map<int32_t, std::vector<std::string>> subscribers_;
  std::string my_roster_id_;
  VideoRosterInfo* my_info_ = nullptr;
  bool my_info_owned_ = false;  // not in the user map (my roster has not come)

  std::map<uint32_t, VideoRosterInfo*> ssrc_users_;  // under lock_, for received RTP
  std::mutex ssrc_lock_;  // never held while calling out
  std::map<uint32_t, std::string> ssrc_ids_;
  // Mirrors my isSubscribed for the send path (the packet threads never
  // take the participants' lock).
  std::atomic<int32_t> my_subscribed_{0};

  // My video.
  IVideoCapEngine* capture_engine_ = nullptr;
  IVideoCapDevice* capture_device_ = nullptr;
  IVideoCapEngine* preview_engine_ = nullptr;
  IVideoCapDevice* preview_device_ = nullptr;
  IClientSourceChannel* source_channel_ = nullptr;
  IVideoEncodeController* encode_controller_ = nullptr;
  std::vector<SubscriptionRecord> encode_layers_;  // as last set
  CVzVideoSampleAllocator* allocator_ = nullptr;
  VideoFormat capture_capability_{};
  uint32_t self_video_output_ = 0;
  uint32_t sending_delay_seconds_ = 0;
  std::atomic<int32_t> my_video_paused_{0};
  std::atomic<int32_t> reconnecting_{0};
  std::atomic<uint32_t> last_receive_ms_{0};
  std::atomic<uint32_t> last_nobody_log_s_{0};

  // The network adjustment: written on a transport thread, read by the
  // timer; the lock keeps a reader from seeing half a record.
  std::mutex adjustment_lock_;
  UplinkStat uplink_{};
  uint32_t uplink_time_ms_ = 0;
  bool has_uplink_ = false;
  int32_t total_bw_ = 0;
  uint32_t last_adjustment_log_ms_ = 0;
  bool adjustment_logged_ = false;
  uint32_t last_handled_adjustment_ms_ = 0;
  bool handled_adjustment_ = false;
  std::atomic<int32_t> max_bandwidth_{8192};
  std::atomic<int32_t> min_bandwidth_{8192};

  CVzTimer sending_delay_timer_;
  CVzTimer adjustment_timer_;
};
