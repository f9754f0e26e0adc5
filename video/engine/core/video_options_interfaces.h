#pragma once
// The camera options window's seams: the window interface that the video
// controller drives, and the three services the window calls back on the
// controller. None of them is reference counted; all run on the
// controller's UI thread. Every operation answers 0 when handled.
#include <cstdint>

#include "video/engine/core/video_interfaces.h"

// Makes, colours and destroys the preview renderer of the options window.
class IVideoRenderService {
 public:
  virtual int32_t CreateVideoRenderer(IVideoRenderer** out, void* view, int32_t flags) = 0;
  virtual int32_t SetBKColorInRenderer(IVideoRenderer* renderer, uint32_t colour, int32_t flags) = 0;
  virtual int32_t DestroyVideoRenderer(IVideoRenderer* renderer, int32_t flags) = 0;

 protected:
  ~IVideoRenderService() = default;
};

// Selects the camera and starts and stops its preview.
class IVideoOptionsSink {
 public:
  virtual ~IVideoOptionsSink() = default;
  virtual int32_t SelectCaptureDevice(IVideoCapDevice* device, int32_t flags) = 0;
  virtual int32_t StartCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer, int32_t flags) = 0;
  virtual int32_t StopCameraPreview(IVideoCapDevice* device, IVideoRenderer* renderer, int32_t flags) = 0;
};

// Shows the camera's own settings and closes the options window.
class IVideoOptionsHost {
 public:
  virtual int32_t ShowAdvancedSettingWindow(IVideoCapDevice* device, int32_t a, int32_t b, void* window) = 0;
  virtual int32_t CloseOptionsWindow() = 0;

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
