#include "video/devices/ui/win_video_controller.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "video/devices/ui/video_options_window.h"
#include "video/engine/client/video_client_controller.h"

namespace vzpanel {
namespace {

constexpr size_t kTitleCapacity = 128;  // units, with the terminator

}  // namespace

std::u16string GroupMeetingId(std::u16string_view id) {
  std::u16string out(id);
  if (id.size() == 8) {
    out = std::u16string(id.substr(0, 3)) + u" " + std::u16string(id.substr(3, 2)) + u" " + std::u16string(id.substr(5));
  } else if (id.size() == 9) {
    out = std::u16string(id.substr(0, 3)) + u" " + std::u16string(id.substr(3, 3)) + u" " + std::u16string(id.substr(6));
  }
  return out;
}

std::u16string FormatPanelTitle(std::u16string_view format, std::u16string_view grouped_id) {
  std::u16string out;
  bool substituted = false;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size()) {
      if (format[i + 1] == u'%') {
        out.push_back(u'%');
        ++i;
        continue;
      }
      if (format[i + 1] == u's' && !substituted) {
        out.append(grouped_id);
        substituted = true;
        ++i;
        continue;
      }
    }
    out.push_back(format[i]);
  }
  if (out.size() > kTitleCapacity - 1) {
    size_t keep = kTitleCapacity - 1;
    // Never end on the first half of a surrogate pair.
    if (out[keep - 1] >= 0xD800 && out[keep - 1] <= 0xDBFF) --keep;
    out.resize(keep);
  }
  return out;
}

CWinVideoController::CWinVideoController(IAVProviderSink* sink, VideoPanelFactory make_panel)
    : CVideoController(sink), make_panel_(std::move(make_panel)) {}

CWinVideoController::~CWinVideoController() {
  VZ_LOG("");
  CloseOptionsWindow();
  destroyVideoPanel();
}

int32_t CWinVideoController::OpenOptionsWindow(void* parent) {
  if (options_) return 0;
  auto window = std::make_unique<CWinVideoOptionsWindow>(this, this, this);
  window->InitializeWindow(parent, current_device());
  if (!window->IsWindow()) return 0;
  options_ = std::move(window);
  return 0;
}

int32_t CWinVideoController::CloseOptionsWindow() {
  // Out of the member first: the window may call back while it goes.
  std::unique_ptr<IVideoOptionsWindow> window = std::move(options_);
  if (window) window->UninitializeWindow();
  return 0;
}

int32_t CWinVideoController::OnCameraNotify(IVideoCapDevice* device, int32_t kind) {
  CVideoController::OnCameraNotify(device, kind);
  if (options_) options_->OnCameraModify(device, kind);
  return 0;
}

bool CWinVideoController::createVideoPanel(uint64_t container, int32_t layout, const char16_t* roster_id) {
  VZ_LOG("");
  if (panel_) return true;
  if (!make_panel_) return false;
  std::unique_ptr<IVideoPanel> panel = make_panel_(this, roster_id != nullptr ? std::u16string(roster_id) : u"");
  if (!panel) {
    VZ_LOG_ERROR("the video panel could not be made");
    return false;
  }
  if (!panel->createVideoWindow(container, layout)) {
    VZ_LOG_ERROR("the video panel's window could not be made");
    panel->destroyVideoWindow();
    return false;
  }
  panel_ = std::move(panel);
  panel_->setTitle(u"");
  ActivateVideoPanel();
  return true;
}

int32_t CWinVideoController::destroyVideoPanel() {
  VZ_LOG("");
  if (!panel_) return 0;
  // Out of the member first: what the panel's teardown calls back finds none.
  std::unique_ptr<IVideoPanel> panel = std::move(panel_);
  panel->destroyVideoWindow();
  return 1;
}

int32_t CWinVideoController::JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                                       int32_t container_window) {
  VZ_LOG("");
  if (session == nullptr) return 0;
  const bool had_panel = panel_ != nullptr;
  if (!createVideoPanel(static_cast<uint32_t>(container_window), session->Layout, session->RosterId)) return 0;
  ActivateVideoPanel();
  MainViewModel* view = panel_->mainView();
  if (view == nullptr) {
    destroyVideoPanel();
    return 0;
  }
  view->showProgressingAnimation(true);
  panel_->refresh();
  // A join that does not start is reported as failed, and its panel goes:
  // nothing would ever confirm it or take the progress animation away.
  if (CVideoController::JoinVideo(meet_config, session, proxy, container_window) == 0) {
    VZ_LOG_ERROR("the conference join did not start");
    if (!had_panel) destroyVideoPanel();
    else if (panel_ && panel_->mainView() != nullptr) panel_->mainView()->showProgressingAnimation(false);
    return 0;
  }
  if (!panel_ || panel_->mainView() == nullptr) return 0;
  const MeetConfig& meet = CVideoController::meet_config();
  panel_->mainView()->setHeaderColors(meet.HeaderBgColor, meet.HeaderTextColor);
  if (session->VideoToolbar != 0) {
    if (IVideoPanelToolbar* toolbar = panel_->toolbar()) {
      if (session->IsInvisible != 0) toolbar->setInvisibleMode();
      toolbar->setLogo(meet.ShowPoweredBy != 0);
      toolbar->setHeaderColors(meet.HeaderBgColor, meet.HeaderTextColor);
    }
  } else {
    panel_->removeToolbar();
  }
  SetVideoTitle(session->MeetId);
  panel_->refresh();
  return 1;
}

int32_t CWinVideoController::LeaveVideo() {
  CloseOptionsWindow();
  destroyVideoPanel();
  CVideoController::LeaveVideo();
  return 1;
}

int32_t CWinVideoController::ConfigVideo() {
  if (!panel_) return 1;
  ActivateVideoPanel();
  panel_->onOptionsCommand();
  return 1;
}

int32_t CWinVideoController::PreviewCapture(int32_t) {
  // The panel has no preview of its own: the options window shows one.
  return panel_ && HasClient() && current_device() != nullptr ? 1 : 0;
}

int32_t CWinVideoController::SetVideoLayoutMode(int32_t mode, int32_t* extra) {
  VZ_LOG("layout mode [%d]", mode);
  if (!panel_ || panel_->mainView() == nullptr) return 0;
  ActivateVideoPanel();
  panel_->mainView()->setLayoutMode(mode, extra);
  panel_->refresh();
  return 1;
}

int32_t CWinVideoController::StartMyVideo(int32_t value) {
  if (!panel_ || sink() == nullptr) return 0;
  ActivateVideoPanel();
  CVideoController::StartMyVideo(value);
  return 1;
}

int32_t CWinVideoController::StopMyVideo() {
  if (panel_) {
    ActivateVideoPanel();
    CVideoController::StopMyVideo();
    panel_->setMyVideoStatus(false);
  }
  return 1;
}

void CWinVideoController::ActivateVideoPanel() {
  if (panel_) panel_->activate();
}

void CWinVideoController::OnUserChanged(uint32_t msg, const VideoRosterInfo& user, intptr_t arg) {
  OnUsersChanged({UserChange{msg, user, arg}});
}

void CWinVideoController::OnUsersChanged(const std::vector<UserChange>& changes) {
  MainViewModel* view = panel_ ? panel_->mainView() : nullptr;
  if (view != nullptr) view->beginRosterChanges();
  const VideoRosterInfo* mine = nullptr;
  for (const UserChange& change : changes) {
    // The base keeps its picture counters (the figures the main job reports).
    CVideoController::OnUserChanged(change.msg, change.user, change.arg);
    CVideoClientController* joined = client();
    if (view == nullptr || joined == nullptr) continue;
    switch (change.msg) {
      case WMVC_USER_ENTER:
        view->addVideoRoster(&change.user, change.arg != 0);
        break;
      case WMVC_USER_UPDATED:
        view->updateVideoRoster(change.user);
        break;
      case WMVC_USER_LEFT:
        view->removeVideoRoster(&change.user);
        break;
      default:
        break;
    }
    if (change.user.rosterId == joined->my_roster_id()) mine = &change.user;
  }
  if (view == nullptr) return;
  view->endRosterChanges();
  if (!panel_ || client() == nullptr) return;
  // The toolbar may have been removed: then there is nothing to show.
  if (mine != nullptr) {
    if (IVideoPanelToolbar* toolbar = panel_->toolbar()) toolbar->setStatus(mine->head.AudioStatus);
  }
  panel_->refresh();
}

void CWinVideoController::OnActiveSpeakerChanged(const VideoRosterInfo* user) {
  if (!panel_ || !HasClient() || user == nullptr || panel_->mainView() == nullptr) return;
  panel_->mainView()->setActiveSpeakerRoster(user);
  panel_->refresh();
}

void CWinVideoController::OnSpotlightChanged(const VideoRosterInfo* user) {
  if (!panel_ || !HasClient() || panel_->mainView() == nullptr) return;
  panel_->mainView()->setSpotlightRoster(user);
  panel_->refresh();
}

void CWinVideoController::SetProgressingStatus(int32_t on) {
  CVideoController::SetProgressingStatus(on);
  if (!panel_ || panel_->mainView() == nullptr) return;
  panel_->mainView()->showProgressingAnimation(on != 0);
  panel_->refresh();
}

void CWinVideoController::SetVideoTitle(const char16_t* meeting_id) {
  if (!panel_ || meeting_id == nullptr) return;
  const std::u16string grouped = GroupMeetingId(meeting_id);
  panel_->setTitle(FormatPanelTitle(vzres::LoadResString(vzres::IDS_VIDEO_PANEL_TITLE), grouped));
}

void CWinVideoController::SetMyVideoStatus(int32_t started) {
  VZ_LOG("started [%d]", started);
  if (panel_) panel_->setMyVideoStatus(started != 0);
}

void CWinVideoController::OnUserBroadcastChanged(const VideoRosterInfo& user, int32_t started) {
  if (IAVProviderSink* to = sink()) to->OnAVVideoBroadcasted(started, user.rosterId.c_str());
  SetProgressingStatus(0);
  SetMyVideoStatus(started);
}

void CWinVideoController::OnUserVideoBlocked(const VideoRosterInfo& user, int32_t blocked) {
  VZ_LOG("roster [%s]", user.rosterId.c_str());
  if (!panel_ || panel_->mainView() == nullptr) return;
  panel_->mainView()->setRosterVideoBlocked(&user, blocked != 0);
  panel_->refresh();
}

void CWinVideoController::OnUserVideoSizeChanged(const VideoRosterInfo&, int32_t width, int32_t height) {
  VZ_LOG("user video size {%d, %d}", width, height);
}

int32_t CWinVideoController::SelectCaptureDevice(IVideoCapDevice* device) {
  if (!panel_) return 1;
  if (CVideoController::SelectCaptureDevice(device) != 0) return 1;
  if (MainViewModel* view = panel_->mainView()) {
    view->refreshMyVideoMirror();
    panel_->refresh();
  }
  return 0;
}

int32_t CWinVideoController::SetSpotlight(const std::string& roster_id) {
  CVideoClientController* joined = client();
  return joined != nullptr ? joined->SetSpotlight(roster_id) : 2;
}

bool CWinVideoController::IsCurrentCameraHardware() {
  IVideoCapDevice* device = current_device();
  return device != nullptr && device->IsHardwareDevice();
}

}  // namespace vzpanel
