#include "client/sharingui/ds_remote_control_dialog.h"

#include <algorithm>
#include <vector>

#include "uikit/gdip_button.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/wide_format.h"

namespace {

std::u16string Resolve(const DialogText& text) {
  if (const auto* id = std::get_if<uint16_t>(&text)) return vzres::LoadResString(*id);
  return std::get<std::u16string>(text);
}

// The questions open now, innermost last.
std::vector<CDSRemoteControlDialog*>& OpenDialogs() {
  static std::vector<CDSRemoteControlDialog*> open;
  return open;
}

}  // namespace

CDSRemoteControlDialog::CDSRemoteControlDialog(DialogText message, DialogText accept, DialogText refuse,
                                               uint32_t icon)
    : CVzDialog(vzres::IDD_REMOTE_CONTROL),
      message_(Resolve(message)),
      accept_text_(Resolve(accept)),
      refuse_text_(Resolve(refuse)),
      icon_(icon) {
  OpenDialogs().push_back(this);
}

CDSRemoteControlDialog::~CDSRemoteControlDialog() {
  auto& open = OpenDialogs();
  open.erase(std::remove(open.begin(), open.end(), this), open.end());
}

void CDSRemoteControlDialog::CloseAll() {
  // Copied: ending a dialog may run code that opens or closes others.
  const std::vector<CDSRemoteControlDialog*> open = OpenDialogs();
  for (CDSRemoteControlDialog* dialog : open) dialog->EndDialog(kRefused);
}

size_t CDSRemoteControlDialog::OpenCountForTesting() { return OpenDialogs().size(); }

CDSRemoteControlDialog* CDSRemoteControlDialog::InnermostForTesting() {
  return OpenDialogs().empty() ? nullptr : OpenDialogs().back();
}

bool CDSRemoteControlDialog::OnInitDialog() {
  SetWindowText(vzres::LoadResString(vzres::IDS_CONSENT_TITLE));
  SetDlgItemText(vzres::IDC_CONSENT_ACCEPT, accept_text_);
  SetDlgItemText(IDCANCEL, refuse_text_);
  SetDlgItemText(vzres::IDC_CONSENT_MESSAGE, message_);
  if (auto* icon = GetDlgItemAs<CImageButton>(vzres::IDC_CONSENT_ICON); icon != nullptr) {
    icon->AddImage(icon_, 2);
    icon->SetImageState(2);
    icon->SetWindowText(u"");
    icon->EnableWindow(false);
  }
  CenterWindow(nullptr);
  // Take the focus only when one of this program's windows has it now;
  // otherwise the window manager is told not to give it the focus (shown
  // without activating) and asked to draw the user's attention to it.
  activate_on_show_ = window() != nullptr && window()->system().ActiveWindow() != nullptr;
  if (window() != nullptr && !activate_on_show_) window()->RequestAttention();
  GotoDlgCtrl(IDCANCEL);
  return false;  // the focus is chosen: the refusing button
}

void CDSRemoteControlDialog::OnCommand(uint32_t id, int code) {
  if (code != kNotifyClicked) return;
  if (id == vzres::IDC_CONSENT_ACCEPT) EndDialog(kAccepted);
  if (id == IDCANCEL) EndDialog(kRefused);
}

bool showRemoteControlDialog(const DialogText& message, const DialogText& accept, const DialogText& refuse,
                             uint32_t icon, vz::WindowSystem* system) {
  if (system == nullptr) system = vz::WindowSystem::Current();
  if (system == nullptr) {
    VZ_LOG_ERROR("no window system for the remote-control question");
    return false;
  }
  CDSRemoteControlDialog dialog(message, accept, refuse, icon);
  const int result = dialog.DoModal(system->ActiveWindow(), system);
  VZ_LOG("remote-control question answered [%d]", result);
  return result == CDSRemoteControlDialog::kAccepted;
}

std::u16string RemoteControlRequestText(const std::u16string& name) {
  const std::u16string format = vzres::LoadResString(vzres::IDS_CONSENT_REQUEST);
  return vz::FormatWideString(format.c_str(), name.c_str());
}
