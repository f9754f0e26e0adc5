#pragma once
// CWinVideoOptionsWindow: the camera options window (dialog 525). The
// camera list, a mirrored live preview of the chosen camera, the camera's
// own controls in a window of their own (CCameraControlsWindow; the button
// is disabled for a camera without any), OK to apply the choice and
// Cancel to leave the controller's camera as it was. Rows hold their
// cameras, so two cameras of the same name can both be chosen. The controls
// window belongs to the previewed camera: it closes when another camera is
// previewed, and before the options window itself. UI thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "uikit/combo_box.h"
#include "uikit/vz_dialog.h"
#include "video/devices/ui/camera_controls_window.h"
#include "video/devices/ui/video_container_state.h"
#include "video/devices/ui/video_container_view.h"
#include "video/engine/core/video_options_interfaces.h"

namespace vzpanel {

class CWinVideoOptionsWindow : public CVzDialog, public IVideoOptionsWindow {
 public:
  static constexpr uint32_t kPreviewBackground = 0x00CBD0D0;  // COLORREF

  CWinVideoOptionsWindow(IVideoOptionsHost* host, IVideoRenderService* render, IVideoOptionsSink* sink);
  ~CWinVideoOptionsWindow() override;

  // IVideoOptionsWindow. `parent` is the panel's vz::Window (or null).
  int32_t InitializeWindow(void* parent, IVideoCapDevice* device) override;
  int32_t UninitializeWindow() override;
  int32_t OnCameraModify(IVideoCapDevice* device, int32_t kind) override;

  IVideoCapDevice* current() const { return current_; }
  IVideoRenderer* rendererForTesting() const { return preview_.renderer; }
  CComboBox* cameraList() const { return GetDlgItemAs<CComboBox>(kCameraList); }
  // The camera's controls window while it is open, else null.
  CCameraControlsWindow* controlsWindowForTesting() const {
    return controls_window_ && controls_window_->IsWindow() ? controls_window_.get() : nullptr;
  }
  // Where a camera's controls come from (tests put a double here).
  std::function<std::unique_ptr<ICameraControlSource>(IVideoCapDevice*)> open_controls = &OpenCameraControls;
  static constexpr uint32_t kSettings = 40513;

 protected:
  bool OnInitDialog() override;
  void OnCommand(uint32_t id, int code) override;
  void OnOK() override;
  void OnCancel() override;
  void OnCloseRequest() override;

 private:
  static constexpr uint32_t kCameraList = 40515;
  static constexpr uint32_t kPreviewArea = 40516;

  void initDeviceList();
  void OnDevicesSelectChanged();
  void SetCurrent(IVideoCapDevice* device);
  void StopPreview();
  void StartPreview();
  void ClearRows();
  void OpenControls();
  void CloseControls();
  // The settings button is enabled only for a camera with controls.
  void EnableSettings();

  IVideoOptionsHost* host_;
  IVideoRenderService* render_;
  IVideoOptionsSink* sink_;
  vz::Window* parent_ = nullptr;
  IVideoCapDevice* current_ = nullptr;              // one reference
  IVideoCapDeviceEnumerator* enumerator_ = nullptr;  // one reference
  std::vector<IVideoCapDevice*> rows_;              // one reference each, by row
  VideoContainerState preview_;
  std::unique_ptr<CVzOpenGLContainerView> preview_view_;
  std::unique_ptr<CCameraControlsWindow> controls_window_;
};

}  // namespace vzpanel
