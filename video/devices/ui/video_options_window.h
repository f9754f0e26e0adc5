#pragma once
// CWinVideoOptionsWindow: the camera options window (dialog 525). The
// camera list, a mirrored live preview of the chosen camera, the camera's
// own settings (through the host), OK to apply the choice and Cancel to
// leave the controller's camera as it was. Rows hold their cameras, so two
// cameras of the same name can both be chosen. UI thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "uikit/combo_box.h"
#include "uikit/vz_dialog.h"
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
  IVideoRenderer* renderer() const { return preview_.renderer; }
  CComboBox* cameraList() const { return GetDlgItemAs<CComboBox>(kCameraList); }

 protected:
  bool OnInitDialog() override;
  void OnCommand(uint32_t id, int code) override;
  void OnOK() override;
  void OnCancel() override;
  void OnCloseRequest() override;

 private:
  static constexpr uint32_t kCameraList = 40515;
  static constexpr uint32_t kPreviewArea = 40516;
  static constexpr uint32_t kSettings = 40513;

  void initDeviceList();
  void OnDevicesSelectChanged();
  void SetCurrent(IVideoCapDevice* device);
  void StopPreview();
  void StartPreview();
  void ClearRows();

  IVideoOptionsHost* host_;
  IVideoRenderService* render_;
  IVideoOptionsSink* sink_;
  vz::Window* parent_ = nullptr;
  IVideoCapDevice* current_ = nullptr;              // one reference
  IVideoCapDeviceEnumerator* enumerator_ = nullptr;  // one reference
  std::vector<IVideoCapDevice*> rows_;              // one reference each, by row
  VideoContainerState preview_;
  std::unique_ptr<CVzOpenGLContainerView> preview_view_;
};

}  // namespace vzpanel
