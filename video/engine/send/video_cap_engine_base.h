#pragma once
// CVideoCapEngine: the platform-neutral part of a capture engine. Every
// captured sample goes to the engine's own deliverer list, whose first
// member is the engine's cropper; consumers attach to the cropper's output
// through the engine's IVideoSampleProvider operations, which forward to it.
//
// What failure looks like: without a cropper (before InitCropper, or after
// it failed) the provider operations answer VSE_E_FAIL.
// Threads: as the cropper's (the deliverer lists lock themselves).
#include "video/engine/core/video_deliverer_list.h"
#include "video/engine/send/vz_video_cropper.h"

class CVideoCapEngine {
 public:
  CVideoCapEngine() = default;
  virtual ~CVideoCapEngine();  // uninitialises and releases the cropper
  CVideoCapEngine(const CVideoCapEngine&) = delete;
  CVideoCapEngine& operator=(const CVideoCapEngine&) = delete;

  // Makes the cropper with the base (width, height) and the allocator; 1
  // when it is ready and listed as the first deliverer, else 0.
  int32_t InitCropper(int32_t base_width, int32_t base_height, IVideoSampleAllocator* allocator);

  VseResult AppendVideoDeliverer(IVideoDeliverer* deliverer);
  VseResult RemoveVideoDeliverer(IVideoDeliverer* deliverer);
  VseResult EnumVideoDeliverers(VideoDelivererEnumCallback callback, void* user_data);

  // A captured sample to every deliverer of the engine (the cropper first).
  void DeliverCapturedSample(IVideoSample* sample) { deliverers_.DeliverSample(sample); }
  CVzVideoCropper* cropper_for_testing() const { return cropper_; }

 protected:
  CVideoDelivererList deliverers_;

 private:
  CVzVideoCropper* cropper_ = nullptr;
};
