#pragma once
// The opening protocol of the proxy settings dialog: at most one dialog at a
// time, session failures while it is open only add the sessions to restart,
// and after OK the entered credentials are used, stored and the sessions
// restarted (audio, then sharing, then video). UI thread only.
#include <cstdint>

#include "contracts/network_proxy_entry.h"
#include "client/proxy/network_proxy_setting_dlg.h"
#include "client/proxy/proxy_provider.h"

// What the protocol needs of the main frame and its controller.
class INetworkProxySettingHost {
 public:
  // The controller's proxy when one is in use, else null.
  virtual const NetworkProxyEntry* GetNetworkProxyEntry() = 0;
  // Copies the entry into the controller.
  virtual void SetNetworkProxyEntry(const NetworkProxyEntry* entry) = 0;
  // Shows the dialog modally and returns when it has ended (its result()
  // says how). Its loop may call showNetworkProxySettingWindow again.
  virtual void RunNetworkProxySettingDialog(CNetworkProxySettingDlg* dialog) = 0;
  // The restarts; each must be the full start (with its UI), as for a new request.
  virtual void JoinAudio() = 0;
  virtual void StartDS() = 0;
  virtual void JoinVideo() = 0;

 protected:
  ~INetworkProxySettingHost() = default;
};

class NetworkProxySettingOpener {
 public:
  // Both stay the caller's.
  NetworkProxySettingOpener(INetworkProxySettingHost& host, IProxyProvider& proxies);

  // Opens the dialog for the session type (a NetworkProxySessionType bit), or
  // adds the type to the open one. Without a proxy in use nothing is shown.
  void showNetworkProxySettingWindow(int32_t session_type);

  bool IsDialogOpenForTesting() const { return open_dialog_ != nullptr; }

 private:
  INetworkProxySettingHost& host_;
  IProxyProvider& proxies_;
  CNetworkProxySettingDlg* open_dialog_ = nullptr;
};
