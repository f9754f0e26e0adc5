#pragma once
// CVideoController: the object behind the video library's IAVProvider. It
// owns the conference client and the current camera, and is the only road
// from the engine to the meeting client: every client callback (engine,
// timer and transport threads) becomes a message posted to its helper
// mailbox and is handled on the thread that created it, where the
// IAVProviderSink is called, in posting order. The participants' changes
// that follow each other in the mailbox are merged into one message (see
// UserChangeBatch), handed over together by OnUsersChanged.
//
// Lifetime: made by VideoCreateInstance, ended by VideoDeleteInstance (leave,
// Stop, Release). The sink may end it from inside any of its callbacks: a
// handler touches nothing of the object after its sink call.
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/app_thread.h"
#include "contracts/av_provider.h"
#include "video/engine/client/user_change_batch.h"
#include "video/engine/client/video_client_sink.h"
#include "video/engine/client/video_roster_info.h"
#include "video/engine/core/video_interfaces.h"
#include "video/engine/core/video_options_interfaces.h"

class CPictureCounterSink;
class CVideoClientController;

// Messages of the helper mailbox.
enum VideoControllerMessage : uint32_t {
  WMVC_STATUS = 1125,
  WMVC_RECONNECTING = 1127,
  WMVC_ERROR = 1128,
  WMVC_MY_STATUS = 1129,
  WMVC_VIDEO_SIZE = 1130,
  WMVC_RENDER_BLOCKED = 1131,
  WMVC_SENDING = 1132,
  WMVC_MY_ROSTER_STATUS = 1134,
  // The kinds of a participant's change, carried by WMVC_USER_CHANGES.
  WMVC_USER_ENTER = 1135,
  WMVC_USER_UPDATED = 1136,
  WMVC_USER_LEFT = 1137,
  WMVC_ACTIVE_SPEAKER = 1138,
  WMVC_SPOTLIGHT = 1139,
  WMVC_USER_CHANGES = 1140,  // wParam: the number of the batch to take
  WMVC_CLOSE_OPTIONS = 1224,
};

// Camera failure, engine creation failure, invalid own roster: (code, 10).
inline constexpr int32_t kVideoErrorCodeType = 10;
inline constexpr int32_t kVideoErrorCamera = 31;

class CVideoController : public IAVProvider,
                         public CAppThread,
                         public IVideoClientSink,
                         public IVideoOptionsSink,
                         public IVideoRenderService,
                         public IVideoCapDeviceNotifySink,
                         public IVideoOptionsHost {
 public:
  explicit CVideoController(IAVProviderSink* sink);
  ~CVideoController() override;

  // IAVProvider (owner thread).
  int32_t JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                    int32_t container_window) override;
  int32_t LeaveVideo() override;
  int32_t ConfigVideo() override { return 0; }
  int32_t PreviewCapture(int32_t) override { return 0; }
  int32_t Reserved4(int32_t) override { return 0; }
  int32_t Reserved5(int32_t) override { return 0; }
  int32_t SetVideoLayoutMode(int32_t, int32_t*) override { return 0; }
  int32_t StartMyVideo(int32_t value) override;
  int32_t StopMyVideo() override;
  int32_t PauseMyVideo() override;
  int32_t ResumeMyVideo() override;
  int32_t IsMyVideoStarted() override;
  int32_t GetCurrentCaptureDevice() override;
  int32_t SelectCaptureDeviceById(int32_t value) override;
  void ActivateVideoPanel() override {}
  int32_t GetVideoStatus() override { return status_; }
  int32_t AppRosterJoined(RosterRecord* roster, int32_t last) override;
  int32_t AppRosterUpdated(RosterRecord* roster) override;
  int32_t AppRosterLeft(RosterRecord* roster) override;

  // Own operations the panel overrides; here they only keep state, except
  // that every participant who sends video is shown to a picture counter
  // (CPictureCounterSink) in place of the panel's views.
  virtual void OnUserChanged(uint32_t msg, const VideoRosterInfo& user, intptr_t arg);
  // The merged changes of one turn, in order; by default each in turn to
  // OnUserChanged. A panel overrides it to lay itself out once for all.
  virtual void OnUsersChanged(const std::vector<UserChange>& changes);
  virtual void OnActiveSpeakerChanged(const VideoRosterInfo* user);
  virtual void OnSpotlightChanged(const VideoRosterInfo* user);  // null: cleared
  virtual void SetProgressingStatus(int32_t /*on*/) {}
  virtual void OnUserBroadcastChanged(const VideoRosterInfo& user, int32_t started);
  virtual void OnUserVideoBlocked(const VideoRosterInfo& user, int32_t blocked);
  virtual void OnUserVideoSizeChanged(const VideoRosterInfo& user, int32_t width, int32_t height);

  // The camera options window (owner thread): opening one that is open does
  // nothing; without a window backend nothing opens (logged). All answer 0.
  virtual int32_t OpenOptionsWindow(void* parent);
  virtual int32_t CloseOptionsWindow();
  virtual int32_t IsOptionsWindowOpening() { return options_window_ != nullptr ? 1 : 0; }
  // For the panel: show another participant at a size through a renderer
  // (an engine object answering IVideoDeliverer), and take it away.
  int32_t RequestSourceVideo(const std::string& rosterId, int32_t sizeType, uintptr_t renderer);
  int32_t UnRequestSourceVideo(const std::string& rosterId, uintptr_t renderer);

  CVideoClientController* client() const { return client_.load(); }
  // The picture counter showing a participant; false when there is none.
  bool ViewFiguresForTesting(const std::string& rosterId, int64_t* pictures, int64_t* last_counter,
                             int64_t* rising, double* min_psnr, int64_t* sharp = nullptr);
  const MeetConfig& meet_config() const { return meet_config_; }

  // CAppThread (owner thread). Stop drops the batches of changes with the
  // messages that carried them.
  int Stop() override;
  intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void OnTimer(uintptr_t timer_id) override;

  // IVideoClientSink (any thread): copies and posts.
  void OnJoinVideoConference(int32_t result) override;
  void OnLeftVideoConference(int32_t code, int32_t codetype) override;
  void OnVideoConfReconnecting() override;
  void OnUserStateUpdated(const std::string& rosterId) override;
  void OnUserEnter(const std::string& rosterId, int32_t arg) override;
  void OnUserLeft(const std::string& rosterId) override;
  void OnActiveSpeaker(const std::string& rosterId) override;
  void OnSetSpotlightRoster(const std::string& rosterId) override;
  void OnVCNetworkIndication(int32_t value) override;
  void OnVCStatusNotification(int32_t status) override;
  void OnVCErrorNotification(int32_t code, int32_t codetype) override;
  void OnVCSendingProcess(int32_t status) override;
  void OnVCConnectCamera(IVideoCapDevice* device, int32_t connected) override;
  void OnVCMyStatusChanged(int32_t newState) override;
  void GetChiefSender() override;
  void OnRenderBlocked(const std::string& rosterId, int32_t blocked) override;
  void OnVideoSizeChanged(const std::string& rosterId, int32_t width, int32_t height) override;

  // IVideoCapDeviceNotifySink.
  int32_t OnCameraNotify(IVideoCapDevice* device, int32_t kind) override;

  // IVideoOptionsSink, IVideoRenderService, IVideoOptionsHost: the options
  // window's calls (owner thread).
  int32_t SelectCaptureDevice(IVideoCapDevice* device) override;
  int32_t StartCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer) override;
  int32_t StopCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer) override;
  int32_t CreateVideoRenderer(IVideoRenderer** out, void* owner_view) override;
  int32_t DestroyVideoRenderer(IVideoRenderer* renderer) override;
  int32_t SetBKColorInRenderer(IVideoRenderer* renderer, uint32_t colour) override;
  int32_t ClearRendererStream(IVideoRenderer* renderer) override;
  int32_t RedrawRenderer(IVideoRenderer* renderer) override;
  int32_t OnRendererDisplayChange(IVideoRenderer* renderer) override;
  int32_t OnRendererPositionChange(IVideoRenderer* renderer) override;
  int32_t ShowAdvancedSettingWindow(IVideoCapDevice* device, int32_t a, int32_t b, void* window) override;
  int32_t RequestCloseOptionsWindow() override;

 protected:
  // For a controller that adds the panel: the meeting client's sink and the
  // current camera (null when none; no reference added).
  IAVProviderSink* sink() const { return sink_; }
  IVideoCapDevice* current_device() const { return current_device_; }

 private:
  // Posts a copy of a participant's record; false (nothing posted) when the
  // participant is unknown.
  bool PostUser(uint32_t msg, const std::string& rosterId, intptr_t lParam);
  // Any message but a participant's change: it ends the batch of changes
  // before it, so that what follows it is never handled before it.
  int Post(uint32_t msg, uintptr_t wParam, intptr_t lParam, PayloadFree free_payload = nullptr);
  // Merges a participant's change into the open batch, or opens one and
  // posts WMVC_USER_CHANGES for it (any thread).
  void PostUserChange(uint32_t msg, const std::string& rosterId, intptr_t lParam);
  // The batch numbered `serial` (and those before it, whose messages were
  // dropped) out of the queue (owner thread).
  UserChangeBatch TakeUserChanges(uint64_t serial);
  void PickCurrentDevice();
  void DropView(std::string rosterId);
  void DropViews();
  void SetCurrentDevice(IVideoCapDevice* device);

  IAVProviderSink* sink_;
  std::atomic<CVideoClientController*> client_{nullptr};
  IVideoCapDevice* current_device_ = nullptr;
  MeetConfig meet_config_{};
  IVideoCapDevicesNotifier* notifier_ = nullptr;
  IVideoOptionsWindow* options_window_ = nullptr;
  int32_t status_ = 0;
  int32_t broadcast_ = 0;
  std::string meet_id_;
  std::map<std::string, CPictureCounterSink*> views_;  // owner thread

  // The batches of changes posted and not yet taken, by number; the last
  // one takes changes while open. Any thread, under changes_lock_, which is
  // taken after the client's lock and never before it.
  std::mutex changes_lock_;
  std::deque<std::pair<uint64_t, UserChangeBatch>> change_batches_;
  uint64_t last_batch_serial_ = 0;
  bool batch_open_ = false;
};
