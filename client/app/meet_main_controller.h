#pragma once
// CMeetMainController: the client's main frame. It is not a window here but
// the dispatcher of the UI thread's run loop: it owns the meeting components
// controller, hears its state changes as its delegate, waits for a hand-off
// while no meeting is given (timer 1), rejoins audio after a USB device came
// or went (timer 2), offers the proxy settings after proxy errors, and quits
// the application in a fixed order.
//
// Lives on the UI thread, the owner of the run loop it is given.
#include <cstdint>
#include <memory>
#include <string>

#include "client/app/frame_dialogs.h"
#include "client/app/hand_off_file.h"
#include "client/controller/app_win_components_controller.h"
#include "client/proxy/network_proxy_setting_opener.h"
#include "client/proxy/proxy_provider.h"
#include "platform/device_change.h"
#include "platform/run_loop.h"

// The frame's timers.
inline constexpr uintptr_t kHandOffPollTimer = 1;
inline constexpr uint32_t kHandOffPollMs = 1000;
inline constexpr uintptr_t kAudioRejoinTimer = 2;
inline constexpr uint32_t kAudioRejoinAfterArrivalMs = 2000;
inline constexpr uint32_t kAudioRejoinAfterRemovalMs = 200;

// Device events as the frame receives them.
inline constexpr uint32_t kDeviceArrival = 0x8000;
inline constexpr uint32_t kDeviceRemoveComplete = 0x8004;
inline constexpr int32_t kDeviceTypeInterface = 5;

// What the frame is built on; everything stays the caller's.
struct MeetFramePorts {
  vz::RunLoop* loop = nullptr;              // the UI thread's loop
  IFrameDialogs* dialogs = nullptr;
  vz::UsbDeviceMonitor* devices = nullptr;  // null: no device notifications
  IProxyProvider* proxies = nullptr;        // for storing confirmed credentials
  const HandOffFile* hand_off = nullptr;
  ParentProcessLookup parent_of = GetParentProcessId;
};

class CMeetMainController final : public AppWinComponentsControllerDelegate, private INetworkProxySettingHost {
 public:
  CMeetMainController(std::unique_ptr<CAppWinComponentsController> controller, const MeetFramePorts& ports);
  // Destroys the controller (which releases its engines and the link).
  ~CMeetMainController();
  CMeetMainController(const CMeetMainController&) = delete;
  CMeetMainController& operator=(const CMeetMainController&) = delete;

  // Creation: registers for USB device changes. Returns 0, also when the
  // registration failed (audio is then not rejoined on device changes).
  int OnCreate();
  // Connected start (a meeting id or a pipe name): the link listens at once.
  // Waiting start: the connecting dialog and the hand-off poll.
  void SetAppConfig(AppPeerConfig* config);

  // Quits in the fixed order: video and its status 4 report, sharing and its
  // report, audio and its report, the hand-off file removed, then the frame
  // closes and the run loop ends.
  void quitApplication();
  void closeVideo();
  void stopSharing();
  void leaveAudio();

  // A device arrived (true) or was removed: while audio is joined, it is
  // left now and joined again a little later.
  void audioDeviceInputResourceNotification(bool arrived);
  // Opens the proxy settings for a session type (1 audio, 2 video, 4
  // sharing), or adds the type to the open dialog.
  void showNetworkProxySettingWindow(int32_t type);
  // The same from a task of the loop: what the engines' error reports use.
  void PostShowNetworkProxySettingWindow(int32_t type);

  // The frame's messages.
  int OnDeviceChange(uint32_t event, int32_t device_type, const std::u16string& name);
  void OnTimer(uintptr_t id);
  int OnConnectionCanceled();

  // AppWinComponentsControllerDelegate.
  void OnAppUpdateListenerStatus(int32_t status, int32_t code) override;
  void OnAppUpdateDSSessionStatus(int32_t status) override;
  void OnAppUpdateDSSessionError(int32_t error, int32_t code_type) override;
  void OnAppUpdateACSessionStatus(int32_t status, int32_t muted) override;
  void OnAppUpdateACSessionError(int32_t error, int32_t code_type) override;
  void OnAppUpdateAVSessionStatus(int32_t status, int32_t broadcasted) override;
  void OnAppUpdateAVSessionError(int32_t error, int32_t code_type) override;
  void OnAppRequestStopSharing() override;
  void OnAppRequestLeaveAudio() override;

  CAppWinComponentsController& controller() { return *controller_; }
  bool IsConnectingDialogShownForTesting() const { return connecting_dialog_ != nullptr; }
  bool IsAudioRejoinPendingForTesting() const { return audio_rejoin_pending_; }
  bool IsClosedForTesting() const { return closed_; }

 private:
  // INetworkProxySettingHost.
  const NetworkProxyEntry* GetNetworkProxyEntry() override;
  void SetNetworkProxyEntry(const NetworkProxyEntry* entry) override;
  void RunNetworkProxySettingDialog(CNetworkProxySettingDlg* dialog) override;
  void JoinAudio() override;
  void StartDS() override;
  void JoinVideo() override;

  void StartTimer(uintptr_t id, uint32_t interval_ms);
  void KillTimer(uintptr_t id);
  void CloseConnectingDialog();
  // WM_CLOSE: the frame lets go of its timers, dialog and device monitor.
  void OnClose();

  std::unique_ptr<CAppWinComponentsController> controller_;
  MeetFramePorts ports_;
  std::unique_ptr<IConnectingDialog> connecting_dialog_;
  NetworkProxySettingOpener proxy_settings_;
  // Remembered across an audio rejoin: the audio settings were open.
  bool reopen_audio_settings_ = false;
  bool audio_rejoin_pending_ = false;
  bool devices_registered_ = false;
  bool quitting_ = false;
  bool closed_ = false;
  // Tasks posted to the loop see through this whether the frame still lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
