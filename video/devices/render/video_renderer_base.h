#pragma once
// The platform-neutral half of every renderer: it holds the sample being
// shown and the sample allocator, and either draws a sample as it comes
// (when the draw takes its format directly) or converts it into the draw's
// format first. The drawing half (format, direct test, draw, colours,
// mirror, redraw) is the derived renderer's. Samples may be delivered on
// any thread; one lock guards the held sample.
#include "common/critical_section_lock.h"
#include "video/devices/color/video_format_converter.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_interfaces.h"

class CVideoRenderer : public TEngineObject<IVideoRenderer> {
 public:
  static constexpr int32_t kInitialRenderState = 5;

  // Null: VSE_E_INVALIDARG. Holds the sample, then draws it directly or
  // converts and draws; a format that cannot be read or a failed conversion
  // gives VSE_E_INVALIDARG.
  VseResult DeliverSample(IVideoSample* sample) override;
  VseResult ClearStream() override;
  VseResult SetSampleAllocator(IVideoSampleAllocator* allocator) override;
  int32_t GetVideoWidth() override;
  int32_t GetVideoHeight() override;
  // Converts the sample into the render format with a sample of the
  // allocator, holds the converted one instead (the reference to the one
  // held before goes) and gives it the video type of the render format.
  // *out, when given, receives its format.
  VseResult ConvertAndDraw(IVideoSample* sample, VideoFormat* out) override;

 protected:
  CVideoRenderer() = default;
  explicit CVideoRenderer(uint32_t cpu_features) : converter_(cpu_features) {}
  ~CVideoRenderer() override;

  // For the derived draw: the held sample (no reference added), under the lock.
  IVideoSample* held_sample() const { return held_; }
  CriticalSectionLock& lock() { return lock_; }
  int32_t render_state_ = kInitialRenderState;

 private:
  void Hold(IVideoSample* sample);

  CriticalSectionLock lock_;
  CVideoFormatConverter converter_;
  IVideoSample* held_ = nullptr;
  IVideoSampleAllocator* allocator_ = nullptr;
};

// The video type a sample converted to a render format (a colour format
// code) gets: RGB24, RGBA32, BGR24 or ARGB32; kVideoTypeOther for any other.
int32_t VideoTypeOfRenderFormat(int32_t render_format);
