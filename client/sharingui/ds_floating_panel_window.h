#pragma once
// The floating sharing panel: a small topmost bar at the top centre of the
// screen with the sharing buttons (Audio, Share, Control, Laser, Annotate),
// the meeting-id label and a Stop button on a tab below the bar. Two seconds
// after the mouse leaves it, it slides up until only the tab shows; touching
// it slides it down again. It can be dragged along the top edge. Its shaped,
// coloured background is a separate window behind it (CDSFloatingShadowWnd).
//
// The panel decides nothing about sharing: each button, each notification of
// the selection and tool windows, and each popup-menu command calls one of
// its virtual operations, which the sharing UI controller implements.
// Notifications arrive as posted messages (PostPanelMessage), so a sender's
// handler has returned before the panel acts on them.
//
// UI thread only. The panel's timers run on the thread's run loop and die
// with the panel.
#include <cstdint>
#include <string>

#include "client/sharingui/ds_floating_shadow_wnd.h"
#include "client/sharingui/panel_messages.h"
#include "contracts/session_records.h"
#include "uikit/gdip_button.h"
#include "uikit/vz_dialog.h"

class CDSFloatingPanelWindow : public CVzDialog {
 public:
  static constexpr uintptr_t kHideTimer = 1;
  static constexpr uint32_t kHideDelayMs = 2000;
  static constexpr uintptr_t kSlideTimer = 2;
  static constexpr uint32_t kSlideIntervalMs = 20;

  CDSFloatingPanelWindow();
  ~CDSFloatingPanelWindow() override;

  // Makes the panel and its background window, both hidden. False, logged,
  // when a window cannot be made.
  bool CreatePanel(vz::WindowSystem* system = nullptr);
  void DestroyPanel();

  // Shows the panel (and its background) at the top centre and starts the
  // hide timer; hiding hides both. The panel never shows before this.
  void ShowPanel(bool show);
  bool IsPanelVisible() const;
  // Colours as COLORREFs (the top byte is ignored): the background tints the
  // bar of the background image, the text colours the captions and label.
  void setColors(uint32_t background, uint32_t text);
  // Control: image state 3 while someone controls, else 2.
  void SetRemoteControlIndicator(bool active);
  // Laser: checked with image state 3, or unchecked with 2.
  void SetLaserPressed(bool pressed);
  // While a menu of the panel is open the panel neither hides nor shows.
  void SetMenuOpen(bool open) { menu_open_ = open; }
  // Hides or shows a row button (Audio 1025 or Control 1024 by the meeting's
  // config) and lays the row out again.
  void SetButtonVisible(uint32_t id, bool visible);
  void SetMeetingIdText(const std::u16string& text);

  CImageButton* Button(uint32_t id) const { return GetDlgItemAs<CImageButton>(id); }
  CDSFloatingShadowWnd& background_window_for_testing() { return background_window_; }
  // Sliding state: 1 up (hiding), 0 down; whether a slide runs.
  int slide_direction_for_testing() const { return slide_direction_; }
  bool IsSlidingForTesting() const;

  // Posts a notification (2033, 2035, 2036, 8000) to the panel; it is
  // handled on a later turn of the loop, if the panel still lives.
  void PostPanelMessage(uint32_t message);

  // The timer hook: the panel's own timers slide it; derived classes get
  // their other timers here too.
  virtual void OnTimer(uintptr_t id);
  // Starts a timer of the panel's on the loop (OnTimer(id) when it fires).
  void SetPanelTimer(uintptr_t id, uint32_t interval_ms);
  void KillPanelTimer(uintptr_t id);

  virtual void OnSelectionConfirmed() {}
  virtual void OnSelectionClosed() {}
  virtual void OnWindowListRefresh() {}
  virtual void OnAnnotationToolButtonClicked() {}
  virtual void OnAudioClicked() {}
  virtual void OnShareClicked() {}
  virtual void OnControlClicked() {}
  virtual void OnLaserpointerClicked() {}
  virtual void OnAnnotateClicked() {}
  virtual void OnStopClicked() {}
  virtual void OnPopupMenuCommandClicked(int code, uint32_t id) = 0;

  // A command from a popup menu the owner tracked (ids 9000 to 9764).
  void DispatchMenuCommand(uint32_t id);

 protected:
  void PrepareWindow(vz::WindowParams& params) override;
  bool OnInitDialog() override;
  void OnCommand(uint32_t id, int code) override;
  void OnOK() override {}
  void OnCancel() override {}
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  bool OnKey(const vz::KeyEvent&) override { return false; }
  void OnCaptureLost() override { dragging_ = false; }

 private:
  void Layout();
  void RebuildBackground();
  void MoveBoth(const vz::Rect& bounds);
  void OnMouseMoveOver();
  void SlideTick();
  void StartSlide(int direction);
  void HandleMessage(uint32_t message);

  int slide_direction_ = 0;
  bool menu_open_ = false;
  vz::Point drag_origin_;
  bool shown_once_ = false;
  // The meeting's header colours until setColors gives others.
  uint32_t background_color_ = kDefaultMeetConfig.HeaderBgColor;
  uint32_t text_color_ = kDefaultMeetConfig.HeaderTextColor;
  CDSFloatingShadowWnd background_window_;
  vz::Image background_cache_;
  bool mouse_tracked_ = false;
  bool dragging_ = false;
  bool sliding_ = false;
  bool audio_visible_ = true;
  bool control_visible_ = true;
  vz::AliveFlag alive_;
};
