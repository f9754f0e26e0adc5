#include "video/engine/core/video_types.h"

#include "common/trace_client.h"

namespace {

// The colour converter's format codes (its own header lies above the core);
// the top bit marks bottom-up rows.
constexpr uint32_t kBottomUp = 0x80000000u;
constexpr uint32_t kCodeRgb24 = 1;
constexpr uint32_t kCodeRgba32 = 2;
constexpr uint32_t kCodeBgr24 = 5;
constexpr uint32_t kCodeBgra32 = 6;
constexpr uint32_t kCodeAbgr32 = 7;
constexpr uint32_t kCodeArgb32 = 8;
constexpr uint32_t kCodeYuy2 = 20;
constexpr uint32_t kCodeI420 = 23;
constexpr uint32_t kCodeYv12 = 24;

}  // namespace

uint32_t GetColorSpace(int32_t video_type) {
  switch (video_type) {
    case kVideoTypeRgb24: return kCodeRgb24;
    case kVideoTypeI420: return kCodeI420;
    case kVideoTypeYuy2: return kCodeYuy2;
    case kVideoTypeBgr24: return kCodeBgr24;
    // YV12 has a code like every type the cropper and the decoder accept;
    // without it a YV12 picture could not be converted at all.
    case kVideoTypeYv12: return kCodeYv12;
    case kVideoTypeRgb24BottomUp: return kBottomUp | kCodeRgb24;
    case kVideoTypeBgr24BottomUp: return kBottomUp | kCodeBgr24;
    case kVideoTypeRgba32:
    case kVideoTypeArgb32: return kCodeRgba32;
    case kVideoTypeBgra32:
    case kVideoTypeAbgr32: return kCodeBgra32;
    case kVideoTypeRgba32BottomUp:
    case kVideoTypeArgb32BottomUp: return kBottomUp | kCodeRgba32;
    case kVideoTypeBgra32BottomUp:
    case kVideoTypeAbgr32BottomUp: return kBottomUp | kCodeBgra32;
    default:
      VZ_LOG_ERROR("0");  // the system's own text, under the function's name
      return kNoColorSpace;
  }
}

int32_t GetVideoType(uint32_t color_space) {
  switch (color_space) {
    case kCodeRgb24: return kVideoTypeRgb24;
    case kCodeRgba32: return kVideoTypeRgba32;
    case kCodeBgr24: return kVideoTypeBgr24;
    case kCodeBgra32: return kVideoTypeBgra32;
    case kCodeAbgr32: return kVideoTypeAbgr32;
    case kCodeArgb32: return kVideoTypeArgb32;
    case kCodeYuy2: return kVideoTypeYuy2;
    case kCodeI420: return kVideoTypeI420;
    case kCodeYv12: return kVideoTypeYv12;
    case kBottomUp | kCodeRgb24: return kVideoTypeRgb24BottomUp;
    case kBottomUp | kCodeRgba32: return kVideoTypeRgba32BottomUp;
    case kBottomUp | kCodeBgr24: return kVideoTypeBgr24BottomUp;
    case kBottomUp | kCodeBgra32: return kVideoTypeBgra32BottomUp;
    case kBottomUp | kCodeAbgr32: return kVideoTypeAbgr32BottomUp;
    case kBottomUp | kCodeArgb32: return kVideoTypeArgb32BottomUp;
    default:
      VZ_LOG_ERROR("0");
      return kVideoTypeOther;
  }
}
