#include "client/app/meet_main_controller.h"

#include "common/trace_client.h"
#include "platform/text.h"

namespace {

// Stands in when the frame is given no proxy module: nothing is stored.
class NoProxyProvider : public IProxyProvider {
 public:
  const NetworkProxyEntry* VZGetNetworkProxy() override { return nullptr; }
  const NetworkProxyTable* GetNetworkProxyTable() const override { return &table_; }
  bool LoadProxyCredentials(NetworkProxyEntry*) override { return false; }
  void SaveProxyCredentials(const NetworkProxyEntry*) override {}

 private:
  NetworkProxyTable table_;
};

IProxyProvider& ProxiesOrNone(IProxyProvider* proxies) {
  static NoProxyProvider none;
  return proxies ? *proxies : none;
}

}  // namespace

CMeetMainController::CMeetMainController(std::unique_ptr<CAppWinComponentsController> controller,
                                         const MeetFramePorts& ports)
    : controller_(std::move(controller)),
      ports_(ports),
      proxy_settings_(*this, ProxiesOrNone(ports.proxies)) {
  VZ_LOG_OBJ("");
  VZ_LOG("---- Tracer Samples -- [ BEGIN ] ----");
  VZ_LOG("cchar testing: Are you -> [%s]?", "owner of meet");
  VZ_LOGW(u"wchar testing: Are you -> [%s]?", u"会议的主人");
  VZ_LOG("---- Tracer Samples -- [ END ] ----");
  if (ports_.loop == nullptr) ports_.loop = &vz::RunLoop::ForCurrentThread();
  controller_->SetDelegate(this);
}

CMeetMainController::~CMeetMainController() {
  VZ_LOG_OBJ("");
  *alive_ = false;
  OnClose();
  controller_.reset();
}

int CMeetMainController::OnCreate() {
  VZ_LOG("");
  int error = 0;
  if (ports_.devices != nullptr) {
    std::shared_ptr<bool> alive = alive_;
    devices_registered_ = ports_.devices->Start(
        [this, alive](const vz::UsbDeviceMonitor::Change& change) {
          if (!*alive) return;
          OnDeviceChange(change.arrived ? kDeviceArrival : kDeviceRemoveComplete, kDeviceTypeInterface,
                         vz::Utf8ToUtf16(change.name));
        },
        &error);
  }
  if (!devices_registered_) VZ_LOG_ERROR("Failed to register device notification. error [%d]", error);
  return 0;
}

void CMeetMainController::SetAppConfig(AppPeerConfig* config) {
  VZ_LOG("");
  if (config == nullptr) return;
  if (config->MeetId[0] == u'\0' && config->PipeName[0] == u'\0') {
    std::shared_ptr<bool> alive = alive_;
    vz::RunLoop* loop = ports_.loop;
    // The dialog's give-up is the frame's message 1025: handled from the loop.
    connecting_dialog_ = ports_.dialogs ? ports_.dialogs->ShowConnectingDialog([this, alive, loop] {
      loop->Post([this, alive] {
        if (*alive) OnConnectionCanceled();
      });
    })
                                        : nullptr;
    StartTimer(kHandOffPollTimer, kHandOffPollMs);
    return;
  }
  controller_->StartAppPeerListen(config);
}

// ---------------------------------------------------------------------------
// Quitting.

void CMeetMainController::quitApplication() {
  VZ_LOG("");
  if (quitting_) {
    VZ_LOG("already quitting");
    return;
  }
  quitting_ = true;
  closeVideo();
  stopSharing();
  leaveAudio();
  if (ports_.hand_off) ports_.hand_off->DeleteHandOffFile();
  // WM_CLOSE, then WM_QUIT.
  std::shared_ptr<bool> alive = alive_;
  vz::RunLoop* loop = ports_.loop;
  loop->Post([this, alive] {
    if (*alive) OnClose();
  });
  loop->Post([loop] { loop->Quit(); });
}

void CMeetMainController::closeVideo() {
  VZ_LOG("");
  controller_->LeaveVideo();
  controller_->ReportAVSessionStatus(kSessionEnded);
}

void CMeetMainController::stopSharing() {
  VZ_LOG("");
  controller_->StopDs();
  controller_->ReportDSSessionStatus(kSessionEnded);
}

void CMeetMainController::leaveAudio() {
  VZ_LOG("");
  controller_->LeaveAudio();
  controller_->ReportACSessionStatus(kSessionEnded);
}

void CMeetMainController::OnClose() {
  if (closed_) return;
  closed_ = true;
  VZ_LOG("");
  KillTimer(kHandOffPollTimer);
  KillTimer(kAudioRejoinTimer);
  CloseConnectingDialog();
  if (ports_.devices != nullptr && devices_registered_) ports_.devices->Stop();
  devices_registered_ = false;
}

int CMeetMainController::OnConnectionCanceled() {
  VZ_LOG("user cancelled application connection.");
  quitApplication();
  return 0;
}

// ---------------------------------------------------------------------------
// Timers and device changes.

void CMeetMainController::StartTimer(uintptr_t id, uint32_t interval_ms) {
  std::shared_ptr<bool> alive = alive_;
  ports_.loop->StartTimer(this, id, interval_ms, [this, alive, id] {
    if (*alive) OnTimer(id);
  });
  if (id == kAudioRejoinTimer) audio_rejoin_pending_ = true;
}

void CMeetMainController::KillTimer(uintptr_t id) {
  ports_.loop->KillTimer(this, id);
  if (id == kAudioRejoinTimer) audio_rejoin_pending_ = false;
}

void CMeetMainController::OnTimer(uintptr_t id) {
  if (id == kHandOffPollTimer) {
    AppPeerConfig config;
    if (ports_.hand_off && ports_.hand_off->ReadAppPeerConfigFromHandOff(&config, ports_.parent_of)) {
      KillTimer(kHandOffPollTimer);
      controller_->StartAppPeerListen(&config);
    }
    return;
  }
  if (id == kAudioRejoinTimer) {
    KillTimer(kAudioRejoinTimer);
    controller_->JoinAudio();
    if (reopen_audio_settings_) controller_->ConfigAudio();
  }
}

int CMeetMainController::OnDeviceChange(uint32_t event, int32_t device_type, const std::u16string& name) {
  VZ_LOG("nEventType=%d, dwData=%d", static_cast<int>(event), 0);
  if (event != kDeviceArrival && event != kDeviceRemoveComplete) return 1;
  VZ_LOGW(u"device type =[%d] name=[%s]", device_type, name.c_str());
  if (device_type == kDeviceTypeInterface) audioDeviceInputResourceNotification(event == kDeviceArrival);
  return 1;
}

void CMeetMainController::audioDeviceInputResourceNotification(bool arrived) {
  VZ_LOG("audioDeviceInputResourceNotification");
  if (controller_->GetACState() != kSessionJoined) return;
  reopen_audio_settings_ = controller_->IsAudioConfigOpen() != 0;
  controller_->LeaveAudio();
  StartTimer(kAudioRejoinTimer, arrived ? kAudioRejoinAfterArrivalMs : kAudioRejoinAfterRemovalMs);
}

// ---------------------------------------------------------------------------
// The controller's delegate.

void CMeetMainController::OnAppUpdateListenerStatus(int32_t status, int32_t code) {
  VZ_LOG(" status = %d, code =%d", status, code);
  CloseConnectingDialog();
  if (status != kListenerConnected) {
    VZ_LOG_ERROR("Can't connect to pipe server. quit.");
    quitApplication();
  }
}

void CMeetMainController::OnAppUpdateDSSessionStatus(int32_t status) { VZ_LOG("status [%d]", status); }

void CMeetMainController::OnAppUpdateDSSessionError(int32_t error, int32_t code_type) {
  VZ_LOG("error [%d] codeType [%d]", error, code_type);
  if (error == kProxySettingsNeededCode) PostShowNetworkProxySettingWindow(kProxySessionSharing);
}

void CMeetMainController::OnAppUpdateACSessionStatus(int32_t status, int32_t muted) {
  VZ_LOG("status [%d] muted [%d]", status, muted);
}

void CMeetMainController::OnAppUpdateACSessionError(int32_t error, int32_t code_type) {
  VZ_LOG("error [%d] codeType [%d]", error, code_type);
  if (error == kProxySettingsNeededCode) PostShowNetworkProxySettingWindow(kProxySessionAudio);
}

void CMeetMainController::OnAppUpdateAVSessionStatus(int32_t status, int32_t broadcasted) {
  VZ_LOG("status [%d] broadcasted [%d]", status, broadcasted);
}

void CMeetMainController::OnAppUpdateAVSessionError(int32_t error, int32_t code_type) {
  VZ_LOG("error [%d] codeType [%d]", error, code_type);
  if (error == kProxySettingsNeededCode) PostShowNetworkProxySettingWindow(kProxySessionVideo);
}

void CMeetMainController::OnAppRequestStopSharing() {
  // The frame's message 1035: handled from the loop, after the panel's click.
  std::shared_ptr<bool> alive = alive_;
  ports_.loop->Post([this, alive] {
    if (*alive) stopSharing();
  });
}

void CMeetMainController::OnAppRequestLeaveAudio() {
  if (!audio_rejoin_pending_) return;
  VZ_LOG("the web page left audio: the rejoin after the device change is dropped");
  KillTimer(kAudioRejoinTimer);
}

void CMeetMainController::CloseConnectingDialog() { connecting_dialog_.reset(); }

// ---------------------------------------------------------------------------
// The proxy settings.

// An engine reports the proxy error from inside its callback: the dialog (and
// its nested loop, during which the engine may be released) opens from a
// task of the loop, when no engine is on the stack.
void CMeetMainController::PostShowNetworkProxySettingWindow(int32_t type) {
  std::shared_ptr<bool> alive = alive_;
  ports_.loop->Post([this, alive, type] {
    if (*alive) showNetworkProxySettingWindow(type);
  });
}

void CMeetMainController::showNetworkProxySettingWindow(int32_t type) {
  proxy_settings_.showNetworkProxySettingWindow(type);
}

const NetworkProxyEntry* CMeetMainController::GetNetworkProxyEntry() { return controller_->GetNetworkProxyEntry(); }

void CMeetMainController::SetNetworkProxyEntry(const NetworkProxyEntry* entry) {
  controller_->SetNetworkProxyEntry(entry);
}

void CMeetMainController::RunNetworkProxySettingDialog(CNetworkProxySettingDlg* dialog) {
  if (ports_.dialogs) {
    ports_.dialogs->RunProxySettingsDialog(dialog);
  } else {
    dialog->OnCancel();
  }
}

void CMeetMainController::JoinAudio() { controller_->JoinAudio(); }
void CMeetMainController::StartDS() { controller_->StartDS(); }
void CMeetMainController::JoinVideo() { controller_->JoinVideo(); }
