#include "client/app/frame_dialogs.h"

#include "client/app/network_proxy_setting_window.h"
#include "client/app/startup_connecting_dlg.h"
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

class ShownConnectingDialog : public IConnectingDialog {
 public:
  explicit ShownConnectingDialog(std::function<void()> on_give_up) : dialog_(std::move(on_give_up)) {}
  bool Show(vz::WindowSystem& system) { return dialog_.Create(nullptr, &system); }
  ~ShownConnectingDialog() override { VZ_LOG("closed"); }

 private:
  CStartupConnectingDlg dialog_;
};

class WindowedFrameDialogs : public IFrameDialogs {
 public:
  explicit WindowedFrameDialogs(vz::WindowSystem& system) : system_(system) {}
  std::unique_ptr<IConnectingDialog> ShowConnectingDialog(std::function<void()> on_give_up) override {
    auto dialog = std::make_unique<ShownConnectingDialog>(std::move(on_give_up));
    if (!dialog->Show(system_)) {
      VZ_LOG_ERROR("the connecting dialog cannot be shown");
      return nullptr;
    }
    return dialog;
  }
  void RunProxySettingsDialog(CNetworkProxySettingDlg* dialog) override {
    CNetworkProxySettingWindow window(dialog);
    window.Run(system_.ActiveWindow(), &system_);
  }

 private:
  vz::WindowSystem& system_;
};

}  // namespace

std::unique_ptr<IFrameDialogs> CreateWindowedFrameDialogs(vz::WindowSystem& system) {
  return std::make_unique<WindowedFrameDialogs>(system);
}

std::unique_ptr<IFrameDialogs> CreateUnshownFrameDialogs() { return std::make_unique<UnshownFrameDialogs>(); }
