#include "client/sharingui/ds_ui_controller.h"

#include <algorithm>
#include <cstring>

#include "client/annotation/annotation_event.h"
#include "client/annotation/annotation_palette.h"
#include "client/annotation/annotation_tools.h"
#include "client/annotation/color_popup_menu.h"
#include "client/sharingui/tool_menus.h"
#include "common/trace_client.h"
#include "contracts/session_status.h"
#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace {

using namespace vzres;

constexpr uint32_t kMonitorShared = 4;
// Annotation events come one a stroke: 50 lines at once, then one every 5 s.
constexpr uint32_t kAnnotationLogBurst = 50;
constexpr uint64_t kAnnotationLogRefillMs = 5000;
// Held-back requests: 10 lines at once, then one every 15 s.
constexpr uint32_t kRequestLogBurst = 10;
constexpr uint64_t kRequestLogRefillMs = 15000;
// The shapes menu's items, in order.
constexpr int32_t kShapeTools[] = {kToolLine, kToolArrow, kToolRectangle, kToolTranslucentRectangle,
                                   kToolFilledRectangle, kToolEllipse, kToolTranslucentEllipse, kToolFilledEllipse};

std::u16string Bounded(const char16_t* text, size_t capacity) {
  size_t n = 0;
  while (n < capacity && text[n] != 0) ++n;
  return std::u16string(text, n);
}

std::string Narrow(const char16_t* text, size_t capacity) { return vz::Utf16ToUtf8(Bounded(text, capacity)); }

}  // namespace

CDSUIController::CDSUIController(const Ports& ports)
    : owner_(ports.owner),
      dialogs_(ports.dialogs),
      select_(ports.thumbnails, [this](uint32_t message) { PostPanelMessage(message); }),
      sharing_info_(std::make_unique<SharingInfo>()),
      input_(this, ports.injector),
      clock_(ports.clock != nullptr ? ports.clock : &vz::SystemClock()),
      annotation_log_(kAnnotationLogBurst, kAnnotationLogRefillMs),
      point_log_(kPointLogBurst, kPointLogRefillMs),
      request_log_(kRequestLogBurst, kRequestLogRefillMs) {
  std::memset(sharing_info_.get(), 0, sizeof(SharingInfo));
  if (owner_ == nullptr || dialogs_ == nullptr) {
    VZ_LOG_ERROR("sharing UI without an owner: inert");
    owner_ = nullptr;
    return;
  }
  frame_.setOwner(this);
  frame_.setMyRosterId(vz::Utf16ToUtf8(owner_->MyRosterId()));
  CreatePanel(ports.system);
  palette_.assign(kAnnotationPalette.begin(), kAnnotationPalette.end());
  const uint64_t tick = clock_->NowMs();
  color_ = palette_[tick % 8];
  weight_ = 0;
  tool_ = kToolNone;
}

CDSUIController::~CDSUIController() {
  if (!finished_ && owner_ != nullptr) cleanUp();
}

// ---------------------------------------------------------------------------
// Session state

void CDSUIController::updateMeetConfig(const MeetConfig* config) {
  if (!Usable() || config == nullptr) return;
  config_ = *config;
  select_.updateMeetConfig(config);
  tool_window_.setHeaderColors(config_.HeaderBgColor, config_.HeaderTextColor);
  setColors(config_.HeaderBgColor, config_.HeaderTextColor);
  SetButtonVisible(IDC_PANEL_AUDIO, config_.AudioEnabled > 0);
  SetButtonVisible(IDC_PANEL_CONTROL, config_.RemoteControlEnabled > 0);
}

void CDSUIController::updateAudioStatus(int32_t status, int32_t muted) {
  if (!Usable()) return;
  CImageButton* audio = Button(IDC_PANEL_AUDIO);
  if (audio == nullptr) return;
  switch (status) {
    case kSessionIdle:
    case kSessionEnded:
      audio->EnableWindow(true);
      audio->SetImageState(2);
      break;
    case kSessionConnecting:
      audio->EnableWindow(false);
      audio->SetImageState(2);
      break;
    case kSessionJoined:
      audio->EnableWindow(true);
      audio->SetImageState(muted ? 4 : 3);
      break;
    default:
      break;
  }
}

void CDSUIController::updateRosterStatus(int32_t kind, RosterRecord* roster) {
  if (!Usable() || roster == nullptr) return;
  VZ_LOG("roster status [%d] roster id [%s]", kind, Narrow(roster->RosterId, 128).c_str());
  if (owner_->IsMyRosterId(roster->RosterId)) {
    if (CImageButton* audio = Button(IDC_PANEL_AUDIO); audio != nullptr) audio->SetImageState(roster->AudioStatus);
  }
  if (kind == 2 && owner_->IsRemoteControlRoster(roster->RosterId)) owner_->SetRemoteControlRosterId(nullptr);
}

void CDSUIController::updateDSSessionStatus(int32_t status) {
  if (!Usable()) return;
  VZ_LOG("update DS session status [%d]", status);
  switch (status) {
    case kSessionConnecting:
      showAnnotationToolWindow(false);
      showDSSelectionWindow(1);
      break;
    case kSessionJoined: {
      if (!IsPresenter()) {
        VZ_LOG("Not presenter.");
        showDSSelectionWindow(0);
        return;
      }
      for (uint32_t id : {IDC_PANEL_AUDIO, IDC_PANEL_SHARE, IDC_PANEL_CONTROL, IDC_PANEL_ANNOTATE}) {
        if (CImageButton* button = Button(id); button != nullptr) button->EnableWindow(true);
      }
      frame_.setPanelWindow(window());
      showMeetInfo();
      if (!owner_->IsQuickStart()) {
        showDSSelectionWindow(1);
        return;
      }
      showDSSelectionWindow(0);
      showDSFloationgPanelWindow(true);
      if (MonitorList* monitors = owner_->GetMonitorList(); monitors != nullptr && monitors->Count >= 1) {
        owner_->ShareMonitor(&monitors->Monitors[0], 1);
      }
      break;
    }
    case kSessionIdle:
    case kSessionEnded:
      showDSSelectionWindow(0);
      showDSFloationgPanelWindow(false);
      RemoveOverlay();
      break;
    default:
      break;
  }
}

void CDSUIController::updateDSSessionError(int32_t code, int32_t code_type) {
  if (!Usable()) return;
  VZ_LOG("code [%d] codeType [%d]", code, code_type);
  showDSSelectionWindow(0);
  showDSFloationgPanelWindow(false);
  RemoveOverlay();
}

void CDSUIController::setRemoteControlIndicator(int32_t on) {
  if (!Usable()) return;
  SetRemoteControlIndicator(on != 0);
}

// An attendee's rebuilt frames: this UI has no view of them (the controller
// writes the diagnostic dump, with or without a display).
void CDSUIController::monitorShared(MonitorInfo*, uint8_t*) { VZ_LOG("monitorShared"); }
void CDSUIController::monitorUnShared(MonitorInfo*) { VZ_LOG("monitorUnShared"); }
void CDSUIController::monitorUpdated(MonitorInfo*, VzRect*) { VZ_LOG("monitorUpdated"); }
void CDSUIController::mouseUpdated(CursorInfo*) { VZ_LOG("mouseUpdated"); }

void CDSUIController::cleanUp() {
  if (owner_ == nullptr || finished_) return;
  finished_ = true;
  if (!window()) return;  // the panel was never made, nor anything else
  KillPanelTimer(273);
  input_.StopWatchdog();
  if (dialogs_ != nullptr) dialogs_->CloseAll();
  select_.Show(false);
  RemoveOverlay();
  select_.DestroyWindow();
  if (tool_window_.IsWindow()) tool_window_.DestroyWindow();
  DestroyPanel();
}

// ---------------------------------------------------------------------------
// Panel and selection

void CDSUIController::showDSFloationgPanelWindow(bool show) {
  if (!Usable()) return;
  ShowPanel(show && IsPresenter());
}

void CDSUIController::showMeetInfo() {
  std::u16string text;
  if (config_.MetaInfoEnabled) {
    text = GroupMeetingId(owner_->GetMeetId());
    VZ_LOG("meetid [%s]", vz::Utf16ToUtf8(text).c_str());
  } else {
    text = LoadResString(IDS_MEETING_INFO_HIDDEN);
  }
  SetMeetingIdText(text);
  if (CVzControl* label = GetDlgItem(IDC_PANEL_MEETING_ID); label != nullptr) {
    label->ShowWindow(false);
    label->ShowWindow(true);
  }
}

std::u16string CDSUIController::GroupMeetingId(const std::u16string& id) {
  if (id.size() == 8) return id.substr(0, 3) + u" " + id.substr(3, 2) + u" " + id.substr(5, 3);
  if (id.size() == 9) return id.substr(0, 3) + u" " + id.substr(3, 3) + u" " + id.substr(6, 3);
  return id;
}

void CDSUIController::showDSSelectionWindow(int32_t show) {
  if (!Usable()) return;
  if (show && IsPresenter()) {
    if (!select_.IsWindow() && !select_.CreateWindow(&System())) return;
    select_.Clean();
    select_.Show(true);
    select_.setMonitorsInfo(owner_->GetMonitorList());
    select_.setWindowsInfo(owner_->GetWindowList());
    select_.focusList();
    if (owner_->GetDSState() == 2) {
      select_.showStatusLabel(nullptr);
    } else {
      select_.showStatusLabel(LoadResString(IDS_SELECT_WAITING).c_str());
    }
    return;
  }
  if (select_.IsWindow()) {
    select_.Show(false);
    select_.Clean();
  }
}

void CDSUIController::OnShareClicked() {
  if (!Usable()) return;
  showDSSelectionWindow(select_.IsVisible() ? 0 : 1);
}

void CDSUIController::OnSelectionConfirmed() {
  if (!Usable()) return;
  const MonitorInfo* monitor = select_.getCurrentSelectedMonitor();
  const ApplicationInfo* app = select_.getCurrentSelectedWindow();
  if (monitor == nullptr && app == nullptr) return;
  if (monitor != nullptr && (monitor->StateFlags & kMonitorShared) == 0) {
    MonitorInfo copy = *monitor;
    owner_->ShareMonitor(&copy, 1);
  } else if (app != nullptr && app->Shared == 0) {
    ApplicationInfo copy = *app;
    owner_->ShareWindow(&copy, 1);
  }
  showDSSelectionWindow(0);
  if (!IsPanelVisible()) showDSFloationgPanelWindow(true);
}

bool CDSUIController::NothingShared(const MonitorInfo* monitors, int monitor_count, const ApplicationInfo* windows,
                                    int window_count) {
  for (int i = 0; i < std::clamp(monitor_count, 0, kMonitorListCapacity); ++i) {
    if (monitors[i].StateFlags & kMonitorShared) return false;
  }
  for (int i = 0; i < std::clamp(window_count, 0, kApplicationListCapacity); ++i) {
    if (windows[i].Shared != 0 && owner_->IsWindowAlive(windows[i].Window)) return false;
  }
  return true;
}

void CDSUIController::OnSelectionClosed() {
  if (!Usable()) return;
  showDSSelectionWindow(0);
  MonitorList* monitors = owner_->GetMonitorList();
  ApplicationList* windows = owner_->GetWindowList();
  if (NothingShared(monitors ? monitors->Monitors : nullptr, monitors ? monitors->Count : 0,
                    windows ? windows->Applications : nullptr, windows ? windows->Count : 0)) {
    stopSharing();
  }
}

void CDSUIController::OnWindowListRefresh() {
  if (!Usable()) return;
  select_.setWindowsInfo(owner_->GetWindowList());
}

void CDSUIController::stopSharing() {
  if (!Usable()) return;
  showDSFloationgPanelWindow(false);
  showDSSelectionWindow(0);
  // Held input goes before the request: the stop may end this object.
  input_.resetAllRosterRemoteEvent();
  owner_->RequestStopSharing();
}

void CDSUIController::OnStopClicked() {
  if (!Usable()) return;
  std::shared_ptr<const bool> alive = alive_.Watch();
  const bool yes = dialogs_->AskStopSharing(window());
  if (!*alive || !Usable() || !yes) return;
  stopSharing();
}

void CDSUIController::OnAudioClicked() {
  if (!Usable()) return;
  CImageButton* audio = Button(IDC_PANEL_AUDIO);
  if (audio == nullptr) return;
  switch (audio->GetImageState()) {
    case 2:
    case 8:
      owner_->CommandAudioJoin();
      break;
    case 3:
      owner_->CommandAudioMute();
      break;
    case 4:
      owner_->CommandAudioUnmute();
      break;
    case 7:
      owner_->CommandAudioLeave();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Sharing info and the overlay

void CDSUIController::updateDSSharingInfo(SharingInfo* info) {
  if (!Usable() || info == nullptr) return;
  *sharing_info_ = *info;
  UpdateAnnotationFrame();
  if (NothingShared(sharing_info_->Monitors, sharing_info_->MonitorCount, sharing_info_->Applications,
                    sharing_info_->ApplicationCount)) {
    showDSSelectionWindow(1);
  }
}

void CDSUIController::UpdateAnnotationFrame() {
  const VzRect& shared = sharing_info_->SharedRect;
  // An attendee's info carries no monitor scale: no overlay there.
  if (!IsPresenter() || shared.right <= shared.left || shared.bottom <= shared.top) {
    RemoveOverlay();
    return;
  }
  const std::optional<vz::Rect> place = AnnotationFramePlacement(
      shared, sharing_info_->Monitors, std::clamp(sharing_info_->MonitorCount, 0, kMonitorListCapacity));
  if (!place) return;  // no usable monitor holds it: the overlay stays where it is
  if (!frame_.IsWindow()) {
    if (frame_.Create(*place, &System()) == nullptr) return;
    frame_.setPanelWindow(window());
    frame_.setToolWindow(tool_window_.IsWindow() ? tool_window_.window() : nullptr);
  } else {
    frame_.MoveWindow(*place);
  }
  owner_->SetExcludedWindow1(static_cast<VzWindowHandle>(frame_.window()->NativeId()));
  frame_.setDrawTool(tool_);
  frame_.setPen(weight_, color_);
}

void CDSUIController::RemoveOverlay() {
  if (frame_.IsWindow()) frame_.DestroyWindow();
  if (owner_ != nullptr) owner_->SetExcludedWindow1(0);
}

// ---------------------------------------------------------------------------
// Commands of other participants

void CDSUIController::updateDSCommand(DSCommandRecord* command) {
  if (!Usable() || command == nullptr) return;
  const RosterRecord* sender = owner_->FindRoster(command->SrcRosterId);
  if (sender == nullptr) return;
  const RosterRecord sender_copy = *sender;  // the map may change during a question
  switch (command->Type) {
    case 20:
    case 21:
      VZ_LOG_ERROR("No need it.");
      return;
    case DSCommandLog:
      VZ_COLLECT("command log from [%s]", Narrow(sender_copy.RosterId, 128).c_str());
      return;
    case DSCommandAnnotation:
      ExecuteAnnotationControl(*command, sender_copy);
      return;
    case DSCommandRequestControl:
      HandleControlRequest(*command, sender_copy);
      return;
    default:
      break;
  }
  if (owner_->IsRemoteControlRoster(command->SrcRosterId)) {
    if (command->Type == DSCommandReleaseControl) {
      owner_->SetRemoteControlRosterId(nullptr);
      return;
    }
    if (command->MouseType != 0) input_.ExecuteRemoteMouseControling(*command);
    if (command->KeyType != 0) input_.ExecuteRemoteKeyboardControling(*command);
    return;
  }
  VZ_LOG_ERROR("%s is not controlling roster.", Narrow(sender_copy.Name, 128).c_str());
  // A stop is never answered with a stop: two clients that each take the
  // other for not controlling would send stops back and forth for ever.
  if (command->Type == DSCommandStopControl) return;
  owner_->StopRemoteControlTo(command->SrcRosterId);
}

void CDSUIController::SendRefusal(const std::u16string& requester, const std::u16string& addressee) {
  DSCommandRecord refusal;
  std::memset(&refusal, 0, sizeof(refusal));
  vz::CopyUtf16(refusal.SrcRosterId, 128, addressee);
  vz::CopyUtf16(refusal.DstRosterId, 128, requester);
  refusal.Type = DSCommandRefuseControl;
  owner_->SendCommand(&refusal);
}

void CDSUIController::HandleControlRequest(const DSCommandRecord& record, const RosterRecord& sender) {
  // Copied: the record is the engine's and may be gone after the question.
  const std::u16string requester = Bounded(record.SrcRosterId, 127);
  const std::u16string addressee = Bounded(record.DstRosterId, 127);
  if (consent_pending_) {  // one question at a time: a second request is refused
    SendRefusal(requester, addressee);
    return;
  }
  if (HoldBackRequest(requester, addressee)) return;
  consent_pending_ = true;
  std::shared_ptr<const bool> alive = alive_.Watch();
  const bool yes = dialogs_->AskRemoteControl(RemoteControlRequestText(Bounded(sender.Name, 127)),
                                              uint16_t{IDS_CONSENT_ALLOW}, uint16_t{IDS_CONSENT_REFUSE},
                                              IDB_CONSENT_ASK);
  if (!*alive) return;
  consent_pending_ = false;
  if (!Usable()) return;  // the session stopped meanwhile
  if (owner_->FindRoster(requester.c_str()) == nullptr) return;  // the requester left meanwhile
  if (yes) {
    owner_->SetRemoteControlRosterId(requester.c_str());
  } else {
    SendRefusal(requester, addressee);
    refused_[requester] = Refusal{clock_->NowMs(), false};
  }
}

bool CDSUIController::HoldBackRequest(const std::u16string& requester, const std::u16string& addressee) {
  const uint64_t now = clock_->NowMs();
  std::erase_if(refused_, [now](const auto& entry) { return now - entry.second.at_ms >= kRequestWaitAfterRefusalMs; });
  auto it = refused_.find(requester);
  if (it == refused_.end()) return false;
  const uint64_t left = kRequestWaitAfterRefusalMs - (now - it->second.at_ms);
  if (request_log_.Take(now)) {
    VZ_LOG("control request of [%s] held back: refused %llu ms ago, asked about again in %llu ms%s",
           vz::Utf16ToUtf8(requester).c_str(), static_cast<unsigned long long>(now - it->second.at_ms),
           static_cast<unsigned long long>(left), request_log_.LeftOutNote().c_str());
  }
  SendRefusal(requester, addressee);
  if (!it->second.page_told) {
    it->second.page_told = true;
    owner_->ReportRemoteControlDenied();
  }
  return true;
}

void CDSUIController::ExecuteAnnotationControl(const DSCommandRecord& record, const RosterRecord& sender) {
  // The record's own claims are logged before anything is trusted.
  const uint64_t now = clock_->NowMs();
  if (annotation_log_.Take(now)) {
    VZ_LOG("type [%d], color [0x%08X], weight [%d] count [%d]%s", record.AnnotationType, record.AnnotationColor,
           record.AnnotationWeight, static_cast<int>(record.PointCount), annotation_log_.LeftOutNote().c_str());
  }
  const MonitorInfo* monitor = owner_->GetMonitorInfo(record.AnnotationMonitorId);
  if (monitor == nullptr) return;
  // A malformed or unknown event draws nothing (logged by the reader), but
  // the capture follows whenever the monitor is known. The conversion logs
  // the points, as far as their budget goes.
  DSAnnotationEvent event;
  if (ReadAnnotationEvent(record, &event)) {
    if (MonitorPointsToScreen(*monitor, &event.points, point_log_, now)) {
      if (event.type == DSAnnotationPointer) {
        if (!event.points.empty()) {
          VzPoint at{event.points[0].x, event.points[0].y};
          owner_->ShowArrowIndicator(Bounded(sender.Name, 127).c_str(), event.color, &at);
        }
      } else {
        frame_.applyRemoteEvent(event, Bounded(sender.RosterId, 127).c_str());
      }
    }
  }
  owner_->CaptureNow();
}

// ---------------------------------------------------------------------------
// Remote control from the panel

void CDSUIController::OnControlClicked() {
  if (!Usable()) return;
  CDSMousePopupMenu menu;
  const uint32_t tint = config_.HeaderBgColor & 0xFFFFFF;
  BeginControlMenu(menu, owner_->FindRemoteControlRoster() != nullptr, tint, kControlStopId);
  candidates_ = owner_->GetRosterList();
  if (candidates_.size() > kMaxControlCandidates) {
    // Ids above the range would be taken for the stop item or the tools' commands.
    VZ_LOG_ERROR("control menu: [%zu] participants, the first [%zu] listed", candidates_.size(),
                 kMaxControlCandidates);
    candidates_.resize(kMaxControlCandidates);
  }
  if (candidates_.size() > 1) menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
  for (size_t i = 0; i < candidates_.size(); ++i) {
    const char16_t* id = candidates_[i].c_str();
    if (owner_->IsMyRosterId(id)) continue;
    const RosterRecord* roster = owner_->FindRoster(id);
    if (roster == nullptr) continue;
    const std::u16string name = Bounded(roster->Name, 127);
    const uint32_t command = kControlFirstId + static_cast<uint32_t>(i);
    if (owner_->IsRemoteControlRoster(id)) {
      menu.AppendMenu(MF_STRING, command, name.c_str(), IDB_CONTROL_ON, 0, tint);
    } else if (candidates_[i].find(u"vzweb-") != std::u16string::npos) {
      menu.AppendMenu(MF_STRING, command, name.c_str());
    }
  }
  CImageButton* control = Button(IDC_PANEL_CONTROL);
  vz::Point at = window()->ToScreen({0, 0});
  if (control != nullptr && control->window() != nullptr) {
    const vz::Rect r = control->window()->bounds();
    at = control->window()->ToScreen({0, r.Height() + 6});
  }
  SetMenuOpen(true);
  frame_.setPanelWindow(nullptr);
  frame_.setToolWindow(nullptr);
  std::shared_ptr<const bool> alive = alive_.Watch();
  const uint32_t chosen = dialogs_->TrackMenu(menu, at);
  if (!*alive || !Usable()) return;
  SetMenuOpen(false);
  frame_.setPanelWindow(window());
  frame_.setToolWindow(tool_window_.IsWindow() ? tool_window_.window() : nullptr);
  if (chosen != 0) DispatchMenuCommand(chosen);
}

void CDSUIController::StopControlAfterAsking() {
  std::shared_ptr<const bool> alive = alive_.Watch();
  const bool yes = dialogs_->AskRemoteControl(uint16_t{IDS_CONSENT_STOP_QUESTION}, uint16_t{IDS_CONSENT_STOP},
                                              uint16_t{IDS_CANCEL}, IDB_CONSENT_STOP);
  if (!*alive || !Usable() || !yes) return;
  owner_->SetRemoteControlRosterId(nullptr);
}

void CDSUIController::GiveControlTo(const std::u16string& roster_id) {
  if (owner_->IsRemoteControlRoster(roster_id.c_str())) {
    StopControlAfterAsking();
    return;
  }
  if (owner_->FindRemoteControlRoster() != nullptr) {
    std::shared_ptr<const bool> alive = alive_.Watch();
    const bool yes = dialogs_->AskRemoteControl(uint16_t{IDS_CONSENT_MOVE_QUESTION}, uint16_t{IDS_CONSENT_GIVE},
                                                uint16_t{IDS_CANCEL}, IDB_CONSENT_ASK);
    if (!*alive || !Usable() || !yes) return;
  }
  if (owner_->FindRoster(roster_id.c_str()) == nullptr) return;  // left meanwhile
  owner_->SetRemoteControlRosterId(roster_id.c_str());
}

void CDSUIController::OnPopupMenuCommandClicked(int, uint32_t id) {
  if (!Usable()) return;
  if (id == kControlStopId) {
    StopControlAfterAsking();
  } else if (id >= kControlFirstId && id < kControlStopId) {
    const size_t index = id - kControlFirstId;
    if (index < candidates_.size()) GiveControlTo(std::u16string(candidates_[index]));
  } else if (id >= 9500 && id <= 9507) {
    setAnnotationTool(kShapeTools[id - 9500]);
  } else if (id >= 9550 && id <= 9552) {
    weight_ = static_cast<int32_t>(id - 9550);
    ApplyPen();
  } else if (id == 9600) {
    setAnnotationTool(kToolEraser);
  } else if (id == 9601) {
    frame_.removeRosterElements(owner_->MyRosterId().c_str());
  } else if (id == 9602) {
    frame_.clearAll();
  } else if (id >= kColorMenuFirstId && id < kColorMenuFirstId + palette_.size()) {
    color_ = palette_[id - kColorMenuFirstId];
    ApplyPen();
    if (const RosterRecord* me = owner_->FindMyRoster(); me != nullptr) {
      owner_->SetArrowIndicatorText(Bounded(me->Name, 127).c_str(), color_);
    }
  }
}

// ---------------------------------------------------------------------------
// Tools, laser pointer and the tool bar

void CDSUIController::ApplyPen() {
  frame_.setPen(weight_, color_);
  if (tool_window_.IsWindow()) tool_window_.updatePenButtons(weight_, color_);
}

void CDSUIController::setAnnotationTool(int32_t tool) {
  if (!Usable() || tool == tool_) return;
  tool_ = tool;
  frame_.setDrawTool(tool);
  if (tool_window_.IsWindow()) tool_window_.updateToolButtons(tool);
  owner_->ShowPointerWindow(tool == kToolLaserPointer ? 1 : 0);
  SetLaserPressed(tool == kToolLaserPointer);
}

void CDSUIController::OnLaserpointerClicked() { setAnnotationTool(tool_ == 2 ? 0 : 2); }

void CDSUIController::onMoveArrowIndicator(int x, int y) {
  if (!Usable()) return;
  const RosterRecord* me = owner_->FindMyRoster();
  if (me == nullptr) return;
  VzPoint at{x, y};
  owner_->ShowArrowIndicator(Bounded(me->Name, 127).c_str(), color_, &at);
}

void CDSUIController::OnAnnotateClicked() {
  if (!Usable()) return;
  showAnnotationToolWindow(!(tool_window_.IsWindow() && tool_window_.window()->IsVisible()));
}

void CDSUIController::showAnnotationToolWindow(bool show) {
  if (!Usable()) return;
  CImageButton* annotate = Button(IDC_PANEL_ANNOTATE);
  if (!show) {
    if (tool_window_.IsWindow()) tool_window_.window()->Hide();
    if (annotate != nullptr) annotate->SetCheck(false);
    if (tool_ != 2) setAnnotationTool(0);
    owner_->SetExcludedWindow2(0);
    return;
  }
  if (!tool_window_.IsWindow()) {
    tool_window_.setOwner(this);
    if (!tool_window_.Create(&System())) return;
    tool_window_.setHeaderColors(config_.HeaderBgColor, config_.HeaderTextColor);
  }
  tool_window_.updatePenButtons(weight_, color_);
  const vz::Rect panel = window()->bounds();
  const vz::Size size = tool_window_.window()->bounds().GetSize();
  tool_window_.MoveTo(panel.left + (panel.Width() - size.width) / 2, panel.bottom + 6);
  tool_window_.updateToolButtons(tool_);
  tool_window_.window()->Show(false);
  frame_.setToolWindow(tool_window_.window());
  if (annotate != nullptr) annotate->SetCheck(true);
  setAnnotationTool(0);
  owner_->SetExcludedWindow2(static_cast<VzWindowHandle>(tool_window_.window()->NativeId()));
}

void CDSUIController::TrackToolMenu(CVzPopupMenuBase& menu, uint32_t button_id) {
  vz::Point at = tool_window_.window()->ToScreen({0, 0});
  if (CImageButton* button = tool_window_.button(button_id); button != nullptr && button->window() != nullptr) {
    at = button->window()->ToScreen({8, button->window()->bounds().Height() + 2});
  }
  std::shared_ptr<const bool> alive = alive_.Watch();
  const uint32_t chosen = dialogs_->TrackMenu(menu, at);
  if (!*alive || !Usable()) return;
  if (chosen != 0) DispatchMenuCommand(chosen);
}

void CDSUIController::OnAnnotationToolButtonClicked(uint32_t button_id) {
  if (!Usable()) return;
  const std::u16string me = owner_->MyRosterId();
  switch (button_id) {
    case IDC_TOOL_CLOSE:
      showAnnotationToolWindow(false);
      break;
    case IDC_TOOL_SELECT:
      setAnnotationTool(0);
      break;
    case IDC_TOOL_POINTER:
      setAnnotationTool(tool_ == 1 ? 0 : 1);
      break;
    case IDC_TOOL_PEN:
      setAnnotationTool(4);
      break;
    case IDC_TOOL_HIGHLIGHTER:
      setAnnotationTool(5);
      break;
    case IDC_TOOL_UNDO:
      frame_.undo(me.c_str());
      break;
    case IDC_TOOL_REDO:
      frame_.redo(me.c_str());
      break;
    case IDC_TOOL_COLOR: {
      CDSColorPopupMenu menu;
      menu.BuildPalette(color_);
      TrackToolMenu(menu, button_id);
      break;
    }
    case IDC_TOOL_WEIGHT: {
      CDSMousePopupMenu menu;
      BuildWeightMenu(menu, color_);
      TrackToolMenu(menu, button_id);
      break;
    }
    case IDC_TOOL_SHAPES: {
      CDSMousePopupMenu menu;
      BuildShapesMenu(menu);
      TrackToolMenu(menu, button_id);
      break;
    }
    case IDC_TOOL_ERASER: {
      CDSMousePopupMenu menu;
      BuildEraserMenu(menu, tool_);
      TrackToolMenu(menu, button_id);
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Remote input's needs

const MonitorInfo* CDSUIController::GetMonitorInfo(int32_t monitor_id) {
  return Usable() ? owner_->GetMonitorInfo(monitor_id) : nullptr;
}

void CDSUIController::CaptureNow() {
  if (Usable()) owner_->CaptureNow();
}

void CDSUIController::SetRemoteControlPaused() {
  if (Usable()) owner_->SetRemoteControlPaused();
}
