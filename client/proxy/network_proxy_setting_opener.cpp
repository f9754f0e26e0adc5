// The proxy settings dialog's opening protocol.
#include "client/proxy/network_proxy_setting_opener.h"

#include "common/trace_client.h"

NetworkProxySettingOpener::NetworkProxySettingOpener(INetworkProxySettingHost& host, IProxyProvider& proxies)
    : host_(host), proxies_(proxies) {}

void NetworkProxySettingOpener::showNetworkProxySettingWindow(int32_t session_type) {
  VZ_LOG("showNetworkProxySettingWindow type [%d]", session_type);
  if (open_dialog_ != nullptr) {
    open_dialog_->AddPendingSessionTypes(session_type);
    return;
  }
  const NetworkProxyEntry* current = host_.GetNetworkProxyEntry();
  if (current == nullptr || !IsProxyInUse(*current)) return;  // no proxy: no dialog

  // The dialog edits a copy: the controller's proxy stays as it is until OK.
  NetworkProxyEntry edited = *current;
  CNetworkProxySettingDlg dialog(&edited, session_type);
  open_dialog_ = &dialog;
  host_.RunNetworkProxySettingDialog(&dialog);
  // Forgotten before the restarts, so that a restart that fails at once can
  // open a new dialog instead of adding to this finished one.
  open_dialog_ = nullptr;
  if (dialog.result() == CNetworkProxySettingDlg::kResultOpen) {
    VZ_LOG_ERROR("the proxy settings dialog ended without OK or Cancel");
  }
  if (dialog.result() != CNetworkProxySettingDlg::kResultOk) return;

  edited.Authentication = 1;
  host_.SetNetworkProxyEntry(&edited);
  proxies_.SaveProxyCredentials(&edited);
  const int32_t pending = dialog.pending_session_types();
  if (pending & kProxySessionAudio) host_.JoinAudio();
  if (pending & kProxySessionSharing) host_.StartDS();
  if (pending & kProxySessionVideo) host_.JoinVideo();
}
