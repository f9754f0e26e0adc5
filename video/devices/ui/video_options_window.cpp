#include "video/devices/ui/video_options_window.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "video/engine/core/video_factories.h"

namespace vzpanel {

CWinVideoOptionsWindow::CWinVideoOptionsWindow(IVideoOptionsHost* host, IVideoRenderService* render,
                                               IVideoOptionsSink* sink)
    : CVzDialog(vzres::IDD_VIDEO_OPTIONS), host_(host), render_(render), sink_(sink) {}

CWinVideoOptionsWindow::~CWinVideoOptionsWindow() {
  VZ_LOG("CWinVideoOptionsWindow::~CWinVideoOptionsWindow");
  UninitializeWindow();
}

void CWinVideoOptionsWindow::SetCurrent(IVideoCapDevice* device) {
  // The controls window shows the camera it was opened for only.
  if (device == nullptr || current_ == nullptr || !device->IsSameDevice(current_)) CloseControls();
  if (device != nullptr) device->AddRef();
  if (current_ != nullptr) current_->Release();
  current_ = device;
  EnableSettings();
}

void CWinVideoOptionsWindow::EnableSettings() {
  CVzControl* button = GetDlgItem(kSettings);
  if (button == nullptr) return;
  // The settings open the camera's own controls; a camera without any
  // (and the host's engines show none of their own here) would get a
  // button that does nothing.
  std::unique_ptr<ICameraControlSource> source =
      current_ != nullptr && open_controls ? open_controls(current_) : nullptr;
  button->EnableWindow(source != nullptr && !source->List().empty());
}

void CWinVideoOptionsWindow::ClearRows() {
  for (IVideoCapDevice* device : rows_) device->Release();
  rows_.clear();
}

int32_t CWinVideoOptionsWindow::InitializeWindow(void* parent, IVideoCapDevice* device) {
  SetCurrent(device);
  parent_ = static_cast<vz::Window*>(parent);
  if (!Create(parent_)) {
    VZ_LOG_ERROR("the options window could not be made");
    return 0;
  }
  initDeviceList();
  return 0;
}

bool CWinVideoOptionsWindow::OnInitDialog() {
  CenterWindow(parent_);
  SetWindowText(vzres::LoadResString(vzres::IDS_OPTIONS_TITLE));
  SetDlgItemText(vzres::IDC_OPTIONS_CAMERA_LABEL, vzres::LoadResString(vzres::IDS_OPTIONS_CAMERA_LABEL));
  SetDlgItemText(kSettings, vzres::LoadResString(vzres::IDS_OPTIONS_SETTINGS));
  EnableSettings();
  SetDlgItemText(IDOK, vzres::LoadResString(vzres::IDS_OK));
  SetDlgItemText(IDCANCEL, vzres::LoadResString(vzres::IDS_CANCEL));
  CVzControl* area = GetDlgItem(kPreviewArea);
  if (render_ != nullptr && area != nullptr && area->window() != nullptr) {
    preview_view_ = std::make_unique<CVzOpenGLContainerView>(&preview_, false);
    preview_view_->Create(area->window(), area->window()->ClientRect());
    IVideoRenderer* renderer = nullptr;
    if (render_->CreateVideoRenderer(&renderer, preview_view_->window()) != 0) renderer = nullptr;
    preview_.renderer = renderer;
    if (renderer != nullptr) {
      renderer->SetMirror(true);
      render_->SetBKColorInRenderer(renderer, kPreviewBackground);
    }
    preview_view_->Sync();
  }
  return true;
}

void CWinVideoOptionsWindow::StopPreview() {
  if (sink_ != nullptr && current_ != nullptr && preview_.renderer != nullptr) {
    sink_->StopCameraPreview(current_, preview_.renderer);
  }
}

void CWinVideoOptionsWindow::StartPreview() {
  if (sink_ == nullptr || current_ == nullptr || preview_.renderer == nullptr) return;
  sink_->StartCameraPreview(current_, preview_.renderer);
  preview_.renderer->SetMirror(current_->IsHardwareDevice());
}

void CWinVideoOptionsWindow::initDeviceList() {
  if (render_ == nullptr || sink_ == nullptr || preview_.renderer == nullptr) return;
  IVideoCapDeviceEnumerator* devices = nullptr;
  if (CreateVideoCapDeviceEnumerator(&devices) != VSE_S_OK || devices == nullptr) {
    VZ_LOG_ERROR("no camera list");
    return;
  }
  if (enumerator_ != nullptr) enumerator_->Release();
  enumerator_ = devices;
  CComboBox* list = cameraList();
  if (list != nullptr) list->ResetContent();
  ClearRows();
  enumerator_->Reset();
  while (IVideoCapDevice* device = enumerator_->GetNextDevice()) {
    if (current_ == nullptr) SetCurrent(device);
    device->AddRef();
    rows_.push_back(device);
    const int row =
        list != nullptr ? list->AddString(device->GetDisplayName() != nullptr ? device->GetDisplayName() : u"") : -1;
    if (device->IsSameDevice(current_)) {
      if (list != nullptr) list->SetCurSel(row);
      StartPreview();
    }
  }
}

void CWinVideoOptionsWindow::OnDevicesSelectChanged() {
  if (render_ == nullptr || sink_ == nullptr) return;
  CComboBox* list = cameraList();
  if (list == nullptr) return;
  // The row's own camera, not the first camera of the row's name.
  const int row = list->GetCurSel();
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  IVideoCapDevice* chosen = rows_[static_cast<size_t>(row)];
  if (current_ != nullptr && chosen->IsSameDevice(current_)) return;
  StopPreview();
  SetCurrent(chosen);
  StartPreview();
}

void CWinVideoOptionsWindow::OnCommand(uint32_t id, int code) {
  if (id == kCameraList && code == kNotifySelChange) {
    OnDevicesSelectChanged();
  } else if (id == kSettings) {
    OpenControls();
  } else {
    CVzDialog::OnCommand(id, code);
  }
}

void CWinVideoOptionsWindow::OpenControls() {
  if (current_ == nullptr) return;
  CloseControls();
  std::unique_ptr<ICameraControlSource> source = open_controls ? open_controls(current_) : nullptr;
  if (source == nullptr || source->List().empty()) {
    // No controls of its own (any more): the camera's engine may show its
    // settings; said in the log when it shows none either.
    EnableSettings();
    if (host_ == nullptr || host_->ShowAdvancedSettingWindow(current_, 0, 0, window()) != 0) {
      VZ_LOG_WARN("the camera offers no settings");
    }
    return;
  }
  const char16_t* name = current_->GetDisplayName();
  controls_window_ = std::make_unique<CCameraControlsWindow>(std::move(source), name != nullptr ? name : u"");
  if (!controls_window_->Create(window())) {
    VZ_LOG_ERROR("the camera's controls window could not be made");
    controls_window_.reset();
    return;
  }
  // Beside the options window, so that the preview shows each change.
  if (window() != nullptr && controls_window_->window() != nullptr) {
    const vz::Rect options = window()->bounds();
    const vz::Rect mine = controls_window_->window()->bounds();
    controls_window_->window()->SetBounds(vz::Rect::FromXYWH(options.right + 8, options.top, mine.Width(), mine.Height()));
  }
}

void CWinVideoOptionsWindow::CloseControls() { controls_window_.reset(); }

void CWinVideoOptionsWindow::OnOK() {
  if (render_ != nullptr && sink_ != nullptr) {
    StopPreview();
    if (current_ != nullptr) sink_->SelectCaptureDevice(current_);
  }
  if (host_ != nullptr) host_->RequestCloseOptionsWindow();
}

void CWinVideoOptionsWindow::OnCancel() {
  if (host_ != nullptr) host_->RequestCloseOptionsWindow();
}

void CWinVideoOptionsWindow::OnCloseRequest() { OnCancel(); }

int32_t CWinVideoOptionsWindow::OnCameraModify(IVideoCapDevice* device, int32_t kind) {
  if (device == nullptr) return -1;
  VZ_LOG("device [%s] [%d]", vz::Utf16ToUtf8(device->GetDisplayName()).c_str(), kind);
  if (kind == 1 && current_ != nullptr && device->IsSameDevice(current_)) {
    StopPreview();
    SetCurrent(nullptr);
  }
  initDeviceList();
  return 0;
}

int32_t CWinVideoOptionsWindow::UninitializeWindow() {
  CloseControls();
  StopPreview();
  if (preview_.renderer != nullptr && render_ != nullptr) render_->DestroyVideoRenderer(preview_.renderer);
  preview_.renderer = nullptr;
  SetCurrent(nullptr);
  ClearRows();
  if (enumerator_ != nullptr) {
    enumerator_->Release();
    enumerator_ = nullptr;
  }
  preview_view_.reset();
  DestroyWindow();
  return 0;
}

}  // namespace vzpanel
