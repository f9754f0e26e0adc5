#pragma once
// The proxy settings dialog on the screen: the window of the dialog whose
// logic is CNetworkProxySettingDlg. It shows the proxy and the stored
// credentials; OK hands the edit boxes' texts to the logic, which keeps the
// dialog open while either is empty; Cancel changes nothing.
// UI thread only.
#include "client/proxy/network_proxy_setting_dlg.h"
#include "uikit/vz_dialog.h"

class CNetworkProxySettingWindow : public CVzDialog {
 public:
  // `logic` stays the caller's and must outlive the window.
  explicit CNetworkProxySettingWindow(CNetworkProxySettingDlg* logic);

  // Runs the dialog modally over `owner` (may be null) and returns when the
  // logic has ended; a dialog that cannot be shown ends as cancelled.
  void Run(vz::Window* owner, vz::WindowSystem* system);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  CNetworkProxySettingDlg* logic_;
};
