#pragma once
// The camera options window's seams: the window interface that the video
// controller drives, and the three services the window calls back on the
// controller. None of them is reference counted; all run on the
// controller's UI thread.
#include <cstdint>

#include "video/engine/core/video_interfaces.h"

// The renderers of the options window's preview, made and driven for the
// window by the video controller. Answers: 0 done, 4 null argument, and
// otherwise as each operation says.
class IVideoRenderService {
 public:
  virtual ~IVideoRenderService() = default;
  // *out gets a renderer (one reference, for DestroyVideoRenderer) that
  // shows pictures in `owner_view`; 3 when none could be made.
  virtual int32_t CreateVideoRenderer(IVideoRenderer** out, void* owner_view) = 0;
  virtual int32_t DestroyVideoRenderer(IVideoRenderer* renderer) = 0;
  // 1 when the renderer refuses.
  virtual int32_t SetBKColorInRenderer(IVideoRenderer* renderer, uint32_t colour) = 0;
  virtual int32_t ClearRendererStream(IVideoRenderer* renderer) = 0;
  virtual int32_t RedrawRenderer(IVideoRenderer* renderer) = 0;
  // Through the renderer's IVideoWindowEvents: 3 when the renderer cannot
  // be asked, 2 when it has none, 1 when the event failed.
  virtual int32_t OnRendererDisplayChange(IVideoRenderer* renderer) = 0;
  virtual int32_t OnRendererPositionChange(IVideoRenderer* renderer) = 0;
};

// Selects the camera and starts and stops its preview. 4 for a null
// argument, 2 when there is no conference client.
class IVideoOptionsSink {
 public:
  virtual ~IVideoOptionsSink() = default;
  virtual int32_t SelectCaptureDevice(IVideoCapDevice* device) = 0;
  virtual int32_t StartCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer) = 0;
  virtual int32_t StopCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer) = 0;
};

// Shows the camera's own settings, and asks for the options window to be
// closed (later, from the controller's mailbox: the window may be inside
// its own handler).
class IVideoOptionsHost {
 public:
  virtual int32_t ShowAdvancedSettingWindow(IVideoCapDevice* device, int32_t a, int32_t b, void* window) = 0;
  virtual int32_t RequestCloseOptionsWindow() = 0;

 protected:
  ~IVideoOptionsHost() = default;
};

// The options window as its creator sees it.
class IVideoOptionsWindow {
 public:
  virtual ~IVideoOptionsWindow() = default;
  // Keeps `device` (a reference is added; may be null), creates and shows
  // the window under `parent` and fills the camera list.
  virtual int32_t InitializeWindow(void* parent, IVideoCapDevice* device) = 0;
  // Stops the preview, lets go of the camera, renderer and enumerator and
  // destroys the window.
  virtual int32_t UninitializeWindow() = 0;
  // A camera was added (kind 0) or removed (kind 1); -1 for a null device.
  virtual int32_t OnCameraModify(IVideoCapDevice* device, int32_t kind) = 0;
};
