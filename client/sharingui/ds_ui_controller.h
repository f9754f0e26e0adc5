#pragma once
// The presenter's sharing UI while a sharing session runs: it is the
// floating panel, and it owns the target selection, the annotation tool bar
// and the overlay. It maps the session's status, errors, sharing info and
// participant changes onto its windows, turns the panel's buttons and menus
// into requests of the controller, and executes the commands other
// participants send: control requests and releases, annotations, the
// pointer label and, from the participant holding control, remote input.
//
// Lifetime and re-entrancy: its questions and menus run nested loops, so
// the session may stop while one is open. cleanUp closes them and marks the
// object finished; after every nested loop it checks that it is alive and
// not finished, and that the participant it asked about is still there,
// before it acts. The controller destroys it after cleanUp, deferred while
// a nested loop runs.
//
// A participant the presenter refused control waits kRequestWaitAfterRefusalMs
// before being asked about again: a request within that time is refused
// without a question, logged, and the web page told (once a wait), so that
// asking again on every refusal cannot keep the question on the screen.
// The lines logged for what peers send over and over (annotation events and
// their points, held-back requests) are budgeted.
//
// Only the presenter's UI places an overlay (an attendee's sharing info
// comes from the wire without a monitor scale). UI thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/annotation/annotation_frame.h"
#include "client/annotation/annotation_owner.h"
#include "client/annotation/annotation_tool_window.h"
#include "client/controller/ds_ui_controller.h"
#include "client/sharingui/ds_floating_panel_window.h"
#include "client/sharingui/ds_sharing_select_window.h"
#include "client/sharingui/ds_ui_owner.h"
#include "client/sharingui/remote_control_input.h"
#include "common/log_budget.h"
#include "platform/clock.h"

class CDSUIController : public CDSFloatingPanelWindow,
                        public IDSUIController,
                        public IRemoteControlOwner,
                        public IDSAnnotationFrameOwner,
                        public IDSAnnotationToolWindowOwner {
 public:
  // Control menu ids: 9000 + candidate index, below the stop item 9499.
  static constexpr uint32_t kControlFirstId = 9000;
  static constexpr uint32_t kControlStopId = 9499;
  static constexpr size_t kMaxControlCandidates = kControlStopId - kControlFirstId;
  // Time enough to read the refusal and decide to ask again.
  static constexpr uint64_t kRequestWaitAfterRefusalMs = 30000;

  struct Ports {
    IDSUIOwner* owner = nullptr;         // null: the object stays inert
    IDSUIDialogs* dialogs = nullptr;     // required with an owner
    IThumbnailSource* thumbnails = nullptr;
    vz::InputInjector* injector = nullptr;  // null: remote input is dropped
    vz::WindowSystem* system = nullptr;  // null: the process's
    vz::Clock* clock = nullptr;          // the start colour's tick; null: the system's
  };
  explicit CDSUIController(const Ports& ports);
  ~CDSUIController() override;

  // IDSUIController
  void updateMeetConfig(const MeetConfig* config) override;
  void updateAudioStatus(int32_t status, int32_t muted) override;
  void updateRosterStatus(int32_t kind, RosterRecord* roster) override;
  void updateDSSessionStatus(int32_t status) override;
  void updateDSSessionError(int32_t code, int32_t code_type) override;
  void showDSSelectionWindow(int32_t show) override;
  void setRemoteControlIndicator(int32_t on) override;
  void updateDSCommand(DSCommandRecord* command) override;
  void monitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) override;
  void monitorUnShared(MonitorInfo* monitor) override;
  void monitorUpdated(MonitorInfo* monitor, VzRect* rect) override;
  void mouseUpdated(CursorInfo* cursor) override;
  void updateDSSharingInfo(SharingInfo* info) override;
  void cleanUp() override;

  // The panel's operations.
  void OnSelectionConfirmed() override;
  void OnSelectionClosed() override;
  void OnWindowListRefresh() override;
  void OnAudioClicked() override;
  void OnShareClicked() override;
  void OnControlClicked() override;
  void OnLaserpointerClicked() override;
  void OnAnnotateClicked() override;
  void OnStopClicked() override;
  void OnPopupMenuCommandClicked(int code, uint32_t id) override;
  using CDSFloatingPanelWindow::OnAnnotationToolButtonClicked;
  // The tool bar's buttons.
  void OnAnnotationToolButtonClicked(uint32_t button_id) override;
  // The overlay, with the pointer indicator tool.
  void onMoveArrowIndicator(int x, int y) override;

  void showDSFloationgPanelWindow(bool show);
  void showAnnotationToolWindow(bool show);
  void setAnnotationTool(int32_t tool);
  void stopSharing();

  // State, for tests and pictures.
  int32_t tool() const { return tool_; }
  uint32_t color() const { return color_; }
  int32_t weight() const { return weight_; }
  const std::vector<std::u16string>& control_candidates_for_testing() const { return candidates_; }
  CDSSharingSelectWindow& selection_window_for_testing() { return select_; }
  DSAnnotationToolWindow& tool_window_for_testing() { return tool_window_; }
  CDSAnnotationFrame& overlay_for_testing() { return frame_; }

  // The meeting id as the panel shows it: 8 characters as 3-2-3, 9 as
  // 3-3-3, any other length unchanged.
  static std::u16string GroupMeetingId(const std::u16string& id);

 private:
  // IRemoteControlOwner
  const MonitorInfo* GetMonitorInfo(int32_t monitor_id) override;
  VzRect GetSharedRect() override { return sharing_info_->SharedRect; }
  void CaptureNow() override;
  void SetRemoteControlPaused() override;

  // Inert without an owner, after the clean-up, and when the panel could not be made.
  bool Usable() const { return owner_ != nullptr && !finished_ && window() != nullptr; }
  bool IsPresenter() { return owner_->IsMyRosterPresenter(); }
  void showMeetInfo();
  void UpdateAnnotationFrame();
  void RemoveOverlay();
  bool NothingShared(const MonitorInfo* monitors, int monitor_count, const ApplicationInfo* windows,
                     int window_count);
  void HandleControlRequest(const DSCommandRecord& record, const RosterRecord& sender);
  // True (the request refused, logged, the page told once) while the
  // requester waits after a refusal.
  bool HoldBackRequest(const std::u16string& requester, const std::u16string& addressee);
  void SendRefusal(const std::u16string& requester, const std::u16string& addressee);
  // A participant's annotation command: logged as it came, carried out over
  // the overlay (or as the sender's pointer) when its monitor is known and
  // the event reads well; a capture follows whenever the monitor is known.
  void ExecuteAnnotationControl(const DSCommandRecord& record, const RosterRecord& sender);
  void StopControlAfterAsking();
  void GiveControlTo(const std::u16string& roster_id);
  void TrackToolMenu(CVzPopupMenuBase& menu, uint32_t button_id);
  void ApplyPen();
  vz::WindowSystem& System() { return window()->system(); }

  IDSUIOwner* owner_;
  IDSUIDialogs* dialogs_;
  CDSSharingSelectWindow select_;
  DSAnnotationToolWindow tool_window_;
  CDSAnnotationFrame frame_;
  std::unique_ptr<SharingInfo> sharing_info_;
  std::vector<std::u16string> candidates_;
  std::vector<uint32_t> palette_;
  MeetConfig config_{};
  int32_t tool_ = 0;
  uint32_t color_ = 0;
  int32_t weight_ = 0;
  CDSRemoteControlInput input_;
  bool finished_ = false;
  bool consent_pending_ = false;
  struct Refusal {
    uint64_t at_ms = 0;
    bool page_told = false;
  };
  std::map<std::u16string, Refusal> refused_;  // by requester; known participants only
  vz::Clock* clock_;
  vz::LogBudget annotation_log_;  // a line per annotation event
  vz::LogBudget point_log_;       // a line per annotation point
  vz::LogBudget request_log_;     // a line per held-back control request
  vz::AliveFlag alive_;
};

// Makes a CDSUIController for each sharing session of the program's
// controller, over the real windows, screen and input.
class CDSUIControllerFactory : public IDSUIControllerFactory {
 public:
  CDSUIControllerFactory();
  ~CDSUIControllerFactory();
  std::unique_ptr<IDSUIController> CreateDSUIController(CAppWinComponentsController& controller) override;

 private:
  std::unique_ptr<vz::ScreenSource> screen_;
  std::unique_ptr<IThumbnailSource> thumbnails_;
  std::unique_ptr<vz::InputInjector> injector_;
};
