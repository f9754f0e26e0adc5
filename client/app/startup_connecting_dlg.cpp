#include "client/app/startup_connecting_dlg.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"

CStartupConnectingDlg::CStartupConnectingDlg(std::function<void()> on_give_up)
    : CVzDialog(vzres::IDD_CONNECTING), on_give_up_(std::move(on_give_up)) {}

bool CStartupConnectingDlg::OnInitDialog() {
  CenterWindow(nullptr);  // it has no parent: the screen
  SetDlgItemText(vzres::IDC_CANCEL, vzres::LoadResString(vzres::IDS_CONNECTING_CANCEL));
  return true;
}

void CStartupConnectingDlg::OnCommand(uint32_t id, int code) {
  if (code != kNotifyClicked || (id != IDOK && id != IDCANCEL)) return;
  VZ_LOG("the user gave up waiting [%u]", id);
  if (on_give_up_) on_give_up_();
}

void CStartupConnectingDlg::OnBodyPress(const vz::MouseEvent& event) {
  if (window() == nullptr) return;
  dragging_ = true;
  drag_from_ = event.screen_position;
  window()->SetCapture();
}

void CStartupConnectingDlg::OnMouse(const vz::MouseEvent& event) {
  CVzDialog::OnMouse(event);
  if (!dragging_ || window() == nullptr) return;
  if (event.action == vz::MouseAction::kMove) {
    const vz::Rect b = window()->bounds();
    window()->Move(b.left + event.screen_position.x - drag_from_.x, b.top + event.screen_position.y - drag_from_.y);
    drag_from_ = event.screen_position;
  } else if (event.action == vz::MouseAction::kRelease) {
    dragging_ = false;
    window()->ReleaseCapture();
  }
}
