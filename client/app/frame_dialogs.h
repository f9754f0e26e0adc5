#pragma once
// The two dialogs of the main frame, behind an interface: the connecting
// dialog (resource 105, its Cancel button with string 50014) that a waiting
// instance shows, and the modal proxy settings dialog (resource 108).
// Tests script them.
//
// UI thread only.
#include <functional>
#include <memory>

#include "client/proxy/network_proxy_setting_dlg.h"
#include "platform/ui/window.h"

// A shown connecting dialog; destroying it closes it.
class IConnectingDialog {
 public:
  virtual ~IConnectingDialog() = default;
};

class IFrameDialogs {
 public:
  virtual ~IFrameDialogs() = default;
  // Shows the connecting dialog. `on_give_up` runs (on the UI thread) when
  // the user gives up waiting (OK or Cancel). Null when it cannot be shown.
  virtual std::unique_ptr<IConnectingDialog> ShowConnectingDialog(std::function<void()> on_give_up) = 0;
  // Shows the proxy settings dialog modally over the active window and
  // returns once it has ended (its result() says how). Engine events keep
  // arriving meanwhile; they may add sessions to the dialog.
  virtual void RunProxySettingsDialog(CNetworkProxySettingDlg* dialog) = 0;
};

// Without a display nothing is shown: the connecting dialog is only logged,
// and the proxy dialog ends with Cancel at once.
std::unique_ptr<IFrameDialogs> CreateUnshownFrameDialogs();

// The dialogs shown on the window system (which must outlive them).
std::unique_ptr<IFrameDialogs> CreateWindowedFrameDialogs(vz::WindowSystem& system);
