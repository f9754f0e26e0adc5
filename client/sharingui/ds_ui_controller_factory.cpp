// The program's sharing UIs: each over the program's controller, the real
// questions and menus, the screen for thumbnails and XTest for remote input.
#include <algorithm>
#include <vector>

#include "client/controller/app_win_components_controller.h"
#include "client/sharingui/ds_ui_controller.h"
#include "common/trace_client.h"

namespace {

class CAppDSUIOwner : public IDSUIOwner {
 public:
  CAppDSUIOwner(CAppWinComponentsController& controller, vz::ScreenSource* screen)
      : c_(controller), screen_(screen) {}

  RosterRecord* FindRoster(const char16_t* roster_id) override { return c_.FindRoster(roster_id); }
  RosterRecord* FindMyRoster() override { return c_.FindRoster(c_.GetPeerConfig().RosterId); }
  std::u16string MyRosterId() override { return c_.GetPeerConfig().RosterId; }
  bool IsMyRosterId(const char16_t* roster_id) override { return c_.IsMyRosterId(roster_id) != 0; }
  bool IsRemoteControlRoster(const char16_t* roster_id) override { return c_.IsRemoteControlRoster(roster_id) != 0; }
  RosterRecord* FindRemoteControlRoster() override { return c_.FindRemoteControlRoster(); }
  bool IsMyRosterPresenter() override { return c_.IsMyRosterPresenter() != 0; }
  std::vector<std::u16string> GetRosterList() override {
    std::vector<RosterRecord*> rosters;
    c_.GetRosterList(&rosters);
    std::vector<std::u16string> ids;
    for (const RosterRecord* r : rosters) ids.emplace_back(r->RosterId);
    return ids;
  }
  std::u16string GetMeetId() override { return c_.GetMeetId(); }
  int32_t GetDSState() override { return c_.GetDSState(); }
  bool IsQuickStart() override { return c_.GetQuickStartFlag() != 0; }
  void RequestStopSharing() override {
    if (AppWinComponentsControllerDelegate* delegate = c_.delegate(); delegate != nullptr) {
      delegate->OnAppRequestStopSharing();
    } else {
      VZ_LOG_ERROR("no delegate to stop sharing");
    }
  }
  MonitorList* GetMonitorList() override { return c_.GetMonitorList(); }
  ApplicationList* GetWindowList() override { return c_.GetWindowList(); }
  MonitorInfo* GetMonitorInfo(int32_t id) override { return c_.GetMonitorInfo(id); }
  int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) override { return c_.ShareMonitor(monitor, share); }
  int32_t ShareWindow(ApplicationInfo* window, int32_t share) override { return c_.ShareWindow(window, share); }
  void CaptureNow() override { c_.CaptureNow(); }
  int32_t ShowPointerWindow(int32_t show) override { return c_.ShowPointerWindow(show); }
  int32_t ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) override {
    return c_.ShowArrowIndicator(label, color, point);
  }
  int32_t SetArrowIndicatorText(const char16_t* label, uint32_t color) override {
    return c_.SetArrowIndicatorText(label, color);
  }
  int32_t SetExcludedWindow1(VzWindowHandle window) override { return c_.SetExcludedWindow1(window); }
  int32_t SetExcludedWindow2(VzWindowHandle window) override { return c_.SetExcludedWindow2(window); }
  int32_t SendCommand(DSCommandRecord* command) override { return c_.SendCommand(command); }
  bool IsWindowAlive(VzWindowHandle window) override {
    if (screen_ == nullptr) return true;  // cannot tell: taken as there
    const std::vector<vz::ScreenWindow> windows = screen_->Windows();
    return std::any_of(windows.begin(), windows.end(), [window](const vz::ScreenWindow& w) { return w.id == window; });
  }
  void SetRemoteControlRosterId(const char16_t* roster_id) override { c_.SetRemoteControlRosterId(roster_id); }
  void SetRemoteControlPaused() override { c_.SetRemoteControlPaused(); }
  void StopRemoteControlTo(const char16_t* roster_id) override { c_.StopRemoteControlTo(roster_id); }
  void ReportRemoteControlDenied() override { c_.ReportDSRemoteControl(0); }
  void CommandAudioJoin() override { c_.CommandAudioJoin(); }
  void CommandAudioMute() override { c_.CommandAudioMute(); }
  void CommandAudioUnmute() override { c_.CommandAudioUnmute(); }
  void CommandAudioLeave() override { c_.CommandAudioLeave(); }

 private:
  CAppWinComponentsController& c_;
  vz::ScreenSource* screen_;
};

// The owner and the dialogs live as long as the UI: made before it, gone after it.
struct ProgramUIParts {
  ProgramUIParts(CAppWinComponentsController& controller, vz::ScreenSource* screen)
      : owner(controller, screen), dialogs(vz::WindowSystem::Current()) {}
  CAppDSUIOwner owner;
  CDSUIDialogs dialogs;
};

class CProgramDSUIController : private ProgramUIParts, public CDSUIController {
 public:
  CProgramDSUIController(CAppWinComponentsController& controller, vz::ScreenSource* screen,
                         IThumbnailSource* thumbnails, vz::InputInjector* injector)
      : ProgramUIParts(controller, screen),
        CDSUIController(Ports{&owner, &dialogs, thumbnails, injector, vz::WindowSystem::Current(), nullptr}) {}
  ~CProgramDSUIController() override { cleanUp(); }
};

}  // namespace

CDSUIControllerFactory::CDSUIControllerFactory() = default;
CDSUIControllerFactory::~CDSUIControllerFactory() = default;

std::unique_ptr<IDSUIController> CDSUIControllerFactory::CreateDSUIController(CAppWinComponentsController& controller) {
  if (vz::WindowSystem::Current() == nullptr) {
    VZ_LOG_ERROR("no window system: sharing runs without its UI");
    return nullptr;
  }
  if (!screen_) {
    screen_ = vz::OpenX11ScreenSource({});
    thumbnails_ = std::make_unique<CScreenThumbnailSource>(screen_.get());
  }
  if (!injector_) {
    injector_ = vz::InputInjector::Open();
    if (!injector_) VZ_LOG_ERROR("no input injection on this display: remote control is unavailable");
  }
  return std::make_unique<CProgramDSUIController>(controller, screen_.get(), thumbnails_.get(), injector_.get());
}
