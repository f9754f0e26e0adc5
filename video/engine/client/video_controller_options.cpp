// The video controller's camera options window and the services it gives
// that window: camera choice, preview, renderers and the camera's own
// settings. All on the owner thread.
#include <cstdint>

#include "common/trace_client.h"
#include "video/engine/client/video_client_controller.h"
#include "video/engine/client/video_controller.h"
#include "video/engine/core/video_factories.h"

namespace {

// Answers of the options window's services.
constexpr int32_t kDone = 0;
constexpr int32_t kFailed = 1;
constexpr int32_t kNoInterface = 2;  // also: no conference client
constexpr int32_t kCannotAsk = 3;    // also: no renderer could be made
constexpr int32_t kNullArgument = 4;

// The renderer's picture input, as the capture engine takes it (a
// reference for the caller), or null.
IVideoDeliverer* PictureInput(IVideoRenderer* renderer) {
  void* deliverer = nullptr;
  if (renderer->QueryInterface(&IID_IVideoDeliverer, &deliverer) != VSE_S_OK) return nullptr;
  return static_cast<IVideoDeliverer*>(deliverer);
}

template <typename Event>
int32_t ToWindowEvents(IVideoRenderer* renderer, Event event) {
  if (renderer == nullptr) return kNullArgument;
  void* found = nullptr;
  if (renderer->QueryInterface(&IID_IVideoWindowEvents, &found) != VSE_S_OK) return kCannotAsk;
  if (found == nullptr) return kNoInterface;
  auto* events = static_cast<IVideoWindowEvents*>(found);
  const int32_t result = event(events);
  events->Release();
  return result != 0 ? kFailed : kDone;
}

}  // namespace

int32_t CVideoController::OpenOptionsWindow(void* parent) {
  if (options_window_ != nullptr) return 0;
  IVideoOptionsWindow* window = nullptr;
  const VseResult made = CreateVideoOptionsWindow(this, this, this, &window);
  if (made != VSE_S_OK || window == nullptr) {
    VZ_LOG_ERROR("the options window could not be made, ret=0x%08x", made);
    return 0;
  }
  options_window_ = window;
  window->InitializeWindow(parent, current_device_);
  return 0;
}

int32_t CVideoController::CloseOptionsWindow() {
  IVideoOptionsWindow* window = options_window_;
  if (window == nullptr) return 0;
  // Forgotten first: the window may call back while it goes.
  options_window_ = nullptr;
  DestroyVideoOptionsWindow(window);
  return 0;
}

int32_t CVideoController::RequestCloseOptionsWindow() {
  Post(WMVC_CLOSE_OPTIONS, 0, 0);
  return 0;
}

int32_t CVideoController::SelectCaptureDevice(IVideoCapDevice* device) {
  if (device == nullptr) return kNullArgument;
  if (device == current_device_) return kDone;
  SetCurrentDevice(device);
  if (CVideoClientController* client = client_) client->SelectCaptureDevice(device);
  return kDone;
}

int32_t CVideoController::StartCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer) {
  if (device == nullptr || renderer == nullptr) return kNullArgument;
  CVideoClientController* client = client_;
  if (client == nullptr) return kNoInterface;
  IVideoDeliverer* input = PictureInput(renderer);
  if (input == nullptr) return kNullArgument;
  const int32_t result = client->StartCameraPreview(device, reinterpret_cast<uintptr_t>(input));
  input->Release();
  return result;
}

int32_t CVideoController::StopCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer) {
  if (device == nullptr || renderer == nullptr) return kNullArgument;
  CVideoClientController* client = client_;
  if (client == nullptr) return kNoInterface;
  IVideoDeliverer* input = PictureInput(renderer);
  if (input == nullptr) return kNullArgument;
  const int32_t result = client->StopCameraPreview(device, reinterpret_cast<uintptr_t>(input));
  input->Release();
  return result;
}

int32_t CVideoController::CreateVideoRenderer(IVideoRenderer** out, void* owner_view) {
  if (out == nullptr || owner_view == nullptr) return kNullArgument;
  *out = nullptr;
  IVideoRenderer* renderer = nullptr;
  if (::CreateVideoRenderer(owner_view, &renderer) != VSE_S_OK || renderer == nullptr) {
    VZ_LOG_ERROR("no renderer for the options window");
    return kCannotAsk;
  }
  if (CVideoClientController* client = client_) renderer->SetSampleAllocator(client->SampleAllocator());
  VZ_LOG("ulRendererHandle = 0x%016llX", vz::LogAddress(renderer));
  *out = renderer;
  return kDone;
}

int32_t CVideoController::DestroyVideoRenderer(IVideoRenderer* renderer) {
  if (renderer == nullptr) return kNullArgument;
  renderer->Release();
  return kDone;
}

int32_t CVideoController::SetBKColorInRenderer(IVideoRenderer* renderer, uint32_t colour) {
  if (renderer == nullptr) return kNullArgument;
  return renderer->SetBKColor(colour) == VSE_S_OK ? kDone : kFailed;
}

int32_t CVideoController::ClearRendererStream(IVideoRenderer* renderer) {
  if (renderer == nullptr) return kNullArgument;
  return renderer->ClearStream() == VSE_S_OK ? kDone : kFailed;
}

int32_t CVideoController::RedrawRenderer(IVideoRenderer* renderer) {
  if (renderer == nullptr) return kNullArgument;
  return renderer->Redraw() == VSE_S_OK ? kDone : kFailed;
}

int32_t CVideoController::OnRendererDisplayChange(IVideoRenderer* renderer) {
  return ToWindowEvents(renderer, [](IVideoWindowEvents* e) { return e->OnDisplayChange(); });
}

int32_t CVideoController::OnRendererPositionChange(IVideoRenderer* renderer) {
  return ToWindowEvents(renderer, [](IVideoWindowEvents* e) { return e->OnWindowPositionChange(); });
}

int32_t CVideoController::ShowAdvancedSettingWindow(IVideoCapDevice* device, int32_t, int32_t, void* window) {
  if (device == nullptr) return kNullArgument;
  CVideoClientController* client = client_;
  if (client == nullptr) return kNoInterface;
  return client->ShowAdvancedSettingWindow(device, window);
}
