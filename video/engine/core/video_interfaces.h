#pragma once
// The seam interfaces between the engine and its devices and renderers.
// Each is an engine interface (engine_object.h) unless said otherwise.
#include <cstdint>

#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_format.h"

class IVideoSample : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoSample;
  // Null out-pointers give VSE_E_INVALIDARG.
  virtual VseResult GetSize(int32_t* size) = 0;  // bytes the buffer holds
  virtual VseResult GetBase(void** base) = 0;
  virtual VseResult GetPointer(void** pointer) = 0;
  virtual VseResult GetActualDataLength(int32_t* length) = 0;
  virtual VseResult GetFormat(VideoFormat* format) = 0;
  // Outside [base, base + size]: VSE_E_INVALIDARG.
  virtual VseResult SetPointer(void* pointer) = 0;
  // Above the size: VSE_E_FAIL.
  virtual VseResult SetActualDataLength(int32_t length) = 0;
  virtual VseResult SetFormat(const VideoFormat* format) = 0;
};

class IVideoSampleAllocator : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoSampleAllocator;
  // A sample holding at least `size` bytes, pointer at its base, actual
  // length `size`, one reference for the caller; VSE_E_OUTOFMEMORY when
  // none can be had.
  virtual VseResult GetSample(int32_t size, IVideoSample** out) = 0;
};

class IVideoDeliverer : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoDeliverer;
  virtual VseResult DeliverSample(IVideoSample* sample) = 0;
};

// Called for each deliverer in turn; a non-zero answer stops the walk.
using VideoDelivererEnumCallback = int32_t (*)(IVideoDeliverer* deliverer, void* user_data);

class IVideoSampleProvider : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoSampleProvider;
  virtual VseResult AppendVideoDeliverer(IVideoDeliverer* deliverer) = 0;
  virtual VseResult RemoveVideoDeliverer(IVideoDeliverer* deliverer) = 0;
  virtual VseResult EnumVideoDeliverers(VideoDelivererEnumCallback callback, void* user_data) = 0;
};

struct VAImageContent;  // a picture handed to an image sink (the renderer's record)

class IVideoImageSink : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoImageSink;
  virtual VseResult GetStatus(int32_t* flags) = 0;  // bit 0: ready
  virtual VseResult VADeliverImage(const VAImageContent* image) = 0;
};

class IVideoCapDevice;

// Not an engine interface: the capture engine's callbacks to its owner.
// OnStarted names the engine's camera, so an owner of several engines (my
// video and a preview) knows whose start it hears of.
class IVideoCapEngineSink {
 public:
  virtual int32_t OnStarted(IVideoCapDevice* device, int32_t result) = 0;
  virtual int32_t OnCaptureVideoSizeChanged(int32_t width, int32_t height) = 0;
  virtual int32_t OnDevicePortrait(int32_t portrait) = 0;

 protected:
  virtual ~IVideoCapEngineSink() = default;
};

class IVideoCapEngine : public IVideoSampleProvider {
 public:
  static constexpr VseGuid kIid = IID_IVideoCapEngine;
  virtual VseResult SetSink(IVideoCapEngineSink* sink) = 0;
  virtual VseResult Start(bool synchronous) = 0;
  virtual VseResult Stop() = 0;
  virtual VseResult GetOutputVideoFormat(VideoFormat* format) = 0;
  virtual bool IsDifferentDevice(IVideoCapDevice* device) = 0;
  virtual bool HasAdvancedSetting() = 0;
  virtual VseResult ShowAdvancedSetting(void* parent_window) = 0;
};

// A capture engine's choice of video input (a capture card's connectors),
// answered by the engine's QueryInterface only when its camera has more
// than one input to choose from (else VSE_E_NOINTERFACE). Inputs are named
// by their place in the engine's list. Texts are UTF-8: on entry *size is
// the buffer's bytes, on return the text's length (a text that does not
// fit, terminator included, gives VSE_E_FAIL and nothing written).
class IVideoCrossbar : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoCrossbar;
  // The input's name; VSE_E_FAIL for an index not in the list.
  virtual VseResult GetCrossBarInput(int32_t index, char* buffer, int32_t* size) = 0;
  // The name of the one output (index 0) the inputs are routed to.
  virtual VseResult GetCrossBarOutput(int32_t index, char* buffer, int32_t* size) = 0;
  // Routes the input to the output (flag 0); VSE_E_FAIL for a bad index or
  // while the engine streams.
  virtual VseResult ConnectCrossBar(int32_t index, int32_t flag) = 0;
  // The routed input's index and flag 0; VSE_E_INVALIDARG for null outputs,
  // VSE_E_FAIL when it cannot be read or is not in the list.
  virtual VseResult GetCrossBarConnectedTo(int32_t* index, int32_t* flag) = 0;
};

class IVideoCapDevice : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoCapDevice;
  virtual int32_t GetDeviceType() = 0;
  virtual const char16_t* GetUniqueName() = 0;   // the device's own buffer
  virtual const char16_t* GetDisplayName() = 0;  // the device's own buffer
  // Null out or negative index: VSE_E_INVALIDARG; past the end: 1.
  virtual VseResult GetCapability(int32_t index, VideoFormat* format) = 0;
  virtual bool IsSameDevice(IVideoCapDevice* other) = 0;
  virtual bool IsHardwareDevice() = 0;
  virtual bool IsSoftwareDevice() = 0;
  virtual bool RemoveCapability(const VideoFormat& format) = 0;
};

class IVideoCapDeviceEnumerator : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoCapDeviceEnumerator;
  // The device at the cursor (no reference added for the caller), then the
  // cursor moves on; null past the last one.
  virtual IVideoCapDevice* GetNextDevice() = 0;
  virtual bool ContainsDevice(IVideoCapDevice* device) = 0;
  virtual void Reset() = 0;
};

// Not an engine interface: told when a camera appears (kind 0) or
// disappears (kind 1).
class IVideoCapDeviceNotifySink {
 public:
  virtual int32_t OnCameraNotify(IVideoCapDevice* device, int32_t kind) = 0;

 protected:
  virtual ~IVideoCapDeviceNotifySink() = default;
};

// The hot-plug notifier has no operations beyond the object model's.
class IVideoCapDevicesNotifier : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IEngineUnknown;
};

class IVideoRenderer : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoRenderer;
  virtual VseResult DeliverSample(IVideoSample* sample) = 0;
  virtual VseResult SetBKColor(uint32_t colour) = 0;
  virtual VseResult ClearStream() = 0;
  virtual VseResult SetMirror(bool mirror) = 0;
  virtual VseResult Redraw() = 0;
  virtual VseResult SetSampleAllocator(IVideoSampleAllocator* allocator) = 0;
  virtual int32_t GetVideoWidth() = 0;
  virtual int32_t GetVideoHeight() = 0;
  virtual VseResult DrawHeldSample() = 0;
  virtual int32_t GetRenderFormat() = 0;
  virtual int32_t IsFormatDirect(const VideoFormat* format) = 0;
  virtual VseResult ConvertAndDraw(IVideoSample* sample, VideoFormat* out) = 0;
};

// What a renderer's window hears of the display: asked of a renderer with
// QueryInterface. 0 when handled.
class IVideoWindowEvents : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoWindowEvents;
  virtual int32_t OnDisplayChange() = 0;
  virtual int32_t OnWindowPositionChange() = 0;
};
