#pragma once
// The connecting dialog that a waiting VelzarHub shows until a meeting is
// handed to it: modeless, centred on the screen, dragged by its body; its
// Cancel (and OK, Enter or Esc) tell the frame that the user gave up.
// UI thread only.
#include <functional>

#include "uikit/vz_dialog.h"

class CStartupConnectingDlg : public CVzDialog {
 public:
  // `on_give_up` runs when the user gives up waiting; it must not destroy
  // the dialog from inside the call (the frame posts its handling).
  explicit CStartupConnectingDlg(std::function<void()> on_give_up);

 protected:
  bool OnInitDialog() override;
  void OnCommand(uint32_t id, int code) override;
  void OnBodyPress(const vz::MouseEvent& event) override;
  void OnMouse(const vz::MouseEvent& event) override;

 private:
  std::function<void()> on_give_up_;
  bool dragging_ = false;
  vz::Point drag_from_;  // screen point of the last drag step
};
