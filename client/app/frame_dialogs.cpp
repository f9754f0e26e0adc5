#include "client/app/frame_dialogs.h"

#include "common/trace_client.h"

namespace {

class UnshownConnectingDialog : public IConnectingDialog {
 public:
  UnshownConnectingDialog() { VZ_LOG("the connecting dialog is not shown in this build"); }
  ~UnshownConnectingDialog() override { VZ_LOG("closed"); }
};

class UnshownFrameDialogs : public IFrameDialogs {
 public:
  std::unique_ptr<IConnectingDialog> ShowConnectingDialog(std::function<void()>) override {
    return std::make_unique<UnshownConnectingDialog>();
  }
  void RunProxySettingsDialog(CNetworkProxySettingDlg* dialog) override {
    VZ_LOG_WARN("the proxy settings dialog is not shown in this build; taken as cancelled");
    if (dialog) dialog->OnCancel();
  }
};

}  // namespace

std::unique_ptr<IFrameDialogs> CreateUnshownFrameDialogs() { return std::make_unique<UnshownFrameDialogs>(); }
