#pragma once
// CVzVideoCropper: cuts every camera picture to the largest centred area
// whose size is the crop base (160x90 by default) times or divided by a power
// of two, so the encoder's layer ladder divides it evenly, and hands the
// result to its deliverers. Image records (shared surfaces) get a centred
// visible rectangle instead, without copying pixels.
//
// What failure looks like: VSE_E_INVALIDARG for a null sample, a picture
// shorter than its format says, an image record out of bounds or narrower
// than the base; 0x80000004 for a video type it cannot cut; VSE_E_OUTOFMEMORY
// without a sample from the allocator.
// Threads: pictures arrive on the capture thread; the deliverer list has its
// own lock and may be changed from any thread.
#include <cstdint>
#include <mutex>

#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_deliverer_list.h"
#include "video/engine/core/video_interfaces.h"

inline constexpr VseGuid IID_IVideoCropper = {0x3C7E91A4, 0x2B6D, 0x4F08, {0xA1, 0x5C, 0x77, 0x0E, 0x93, 0x2D, 0x6B, 0x41}};
inline constexpr VseResult VSE_E_UNSUPPORTED_FORMAT = 0x80000004u;

class IVideoCropper : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoCropper;
  // A base with a side of 0 or less is refused (VSE_E_INVALIDARG) and the
  // old one kept.
  virtual VseResult SetCropBase(int32_t width, int32_t height) = 0;
  virtual VseResult GetCropSize(int32_t width, int32_t height, int32_t* out_width, int32_t* out_height) = 0;
  // The cut picture in *out (one reference for the caller). With `in_place`
  // the input sample itself may go on: unchanged, or with its start moved
  // when only rows are cut from a packed picture.
  virtual VseResult Crop(IVideoSample* sample, bool in_place, IVideoSample** out) = 0;
};

class CVzVideoCropper final
    : public TEngineObject<IVideoCropper, IVideoSampleProvider, IVideoDeliverer, IVideoImageSink> {
 public:
  static constexpr int32_t kDefaultBaseWidth = 160;
  static constexpr int32_t kDefaultBaseHeight = 90;

  CVzVideoCropper();

  // 1 with an allocator (kept with a reference) and a valid base; 0 else,
  // the base then unchanged.
  int32_t Init(int32_t base_width, int32_t base_height, IVideoSampleAllocator* allocator);
  void Uninit();

  VseResult SetCropBase(int32_t width, int32_t height) override;
  VseResult GetCropSize(int32_t width, int32_t height, int32_t* out_width, int32_t* out_height) override;
  VseResult Crop(IVideoSample* sample, bool in_place, IVideoSample** out) override;

  VseResult AppendVideoDeliverer(IVideoDeliverer* deliverer) override;
  VseResult RemoveVideoDeliverer(IVideoDeliverer* deliverer) override;
  VseResult EnumVideoDeliverers(VideoDelivererEnumCallback callback, void* user_data) override;

  // Crops in place and hands the result to every deliverer.
  VseResult DeliverSample(IVideoSample* sample) override;

  VseResult GetStatus(int32_t* flags) override;
  VseResult VADeliverImage(const VAImageContent* image) override;

  // Both steps of the crop size, for a base (w0, h0): inputs smaller than
  // the base keep its aspect (even sides); others get the base scaled by a
  // power of two to fit.
  static void CropSize(int32_t width, int32_t height, int32_t w0, int32_t h0, int32_t* out_w, int32_t* out_h);
  // Only the power-of-two step.
  static void ScaledBaseSize(int32_t width, int32_t height, int32_t w0, int32_t h0, int32_t* out_w, int32_t* out_h);

 private:
  ~CVzVideoCropper() override;
  VseResult NewSample(int32_t size, IVideoSample** out);

  std::mutex lock_;  // base and allocator
  int32_t base_width_ = kDefaultBaseWidth;
  int32_t base_height_ = kDefaultBaseHeight;
  IVideoSampleAllocator* allocator_ = nullptr;
  CVideoDelivererList deliverers_;
};
