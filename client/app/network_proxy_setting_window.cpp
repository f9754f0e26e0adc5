#include "client/app/network_proxy_setting_window.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"

CNetworkProxySettingWindow::CNetworkProxySettingWindow(CNetworkProxySettingDlg* logic)
    : CVzDialog(vzres::IDD_PROXY_SETTINGS), logic_(logic) {}

bool CNetworkProxySettingWindow::OnInitDialog() {
  SetWindowText(vzres::LoadResString(vzres::IDS_PROXY_TITLE));
  SetDlgItemText(vzres::IDC_PROXY_USER_LABEL, vzres::LoadResString(vzres::IDS_PROXY_USER_LABEL));
  SetDlgItemText(vzres::IDC_PROXY_PASSWORD_LABEL, vzres::LoadResString(vzres::IDS_PROXY_PASSWORD_LABEL));
  SetDlgItemText(vzres::IDC_CANCEL, vzres::LoadResString(vzres::IDS_CANCEL));
  SetDlgItemText(vzres::IDC_OK, vzres::LoadResString(vzres::IDS_OK));
  for (uint32_t id : {vzres::IDC_PROXY_USER_NAME, vzres::IDC_PROXY_PASSWORD}) {
    if (auto* edit = GetDlgItemAs<CEditBox>(id)) edit->SetLimitText(CNetworkProxySettingDlg::kMaxFieldLength);
  }
  if (logic_ != nullptr && logic_->entry() != nullptr) {
    const std::u16string format = vzres::LoadResString(vzres::IDS_PROXY_PROMPT);
    SetDlgItemText(vzres::IDC_PROXY_TEXT, logic_->ProxyText(format.c_str()));
    SetDlgItemText(vzres::IDC_PROXY_USER_NAME, logic_->UserNameText());
    SetDlgItemText(vzres::IDC_PROXY_PASSWORD, logic_->PasswordText());
  }
  return true;
}

void CNetworkProxySettingWindow::OnOK() {
  if (logic_ == nullptr) return;
  const std::u16string name = GetDlgItemText(vzres::IDC_PROXY_USER_NAME);
  const std::u16string password = GetDlgItemText(vzres::IDC_PROXY_PASSWORD);
  if (!logic_->OnOk(name, password)) {
    // Stays open, without a message; the empty field takes the focus.
    GotoDlgCtrl(name.empty() ? vzres::IDC_PROXY_USER_NAME : vzres::IDC_PROXY_PASSWORD);
    return;
  }
  EndDialog(IDOK);
}

void CNetworkProxySettingWindow::OnCancel() {
  if (logic_ != nullptr) logic_->OnCancel();
  EndDialog(IDCANCEL);
}

void CNetworkProxySettingWindow::Run(vz::Window* owner, vz::WindowSystem* system) {
  const int result = DoModal(owner, system);
  VZ_LOG("the proxy settings dialog ended [%d]", result);
  if (logic_ != nullptr && !logic_->IsEnded()) logic_->OnCancel();
}
