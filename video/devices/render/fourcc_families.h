#pragma once
// FourCC families: which surface layouts can hold a frame of a FourCC, in
// order of preference, and whether a frame fits a surface format.
#include <cstdint>

#include "video/devices/render/video_draw.h"

constexpr uint32_t kFourCC_I420 = MakeFourCC('I', '4', '2', '0');
constexpr uint32_t kFourCC_IYUV = MakeFourCC('I', 'Y', 'U', 'V');
constexpr uint32_t kFourCC_YV12 = MakeFourCC('Y', 'V', '1', '2');
constexpr uint32_t kFourCC_NV12 = MakeFourCC('N', 'V', '1', '2');
constexpr uint32_t kFourCC_IMC1 = MakeFourCC('I', 'M', 'C', '1');
constexpr uint32_t kFourCC_IMC2 = MakeFourCC('I', 'M', 'C', '2');
constexpr uint32_t kFourCC_IMC3 = MakeFourCC('I', 'M', 'C', '3');
constexpr uint32_t kFourCC_IMC4 = MakeFourCC('I', 'M', 'C', '4');
constexpr uint32_t kFourCC_YUY2 = MakeFourCC('Y', 'U', 'Y', '2');
constexpr uint32_t kFourCC_YUNV = MakeFourCC('Y', 'U', 'N', 'V');
constexpr uint32_t kFourCC_V422 = MakeFourCC('V', '4', '2', '2');
constexpr uint32_t kFourCC_YUYV = MakeFourCC('Y', 'U', 'Y', 'V');
constexpr uint32_t kFourCC_UYVY = MakeFourCC('U', 'Y', 'V', 'Y');
constexpr uint32_t kFourCC_Y422 = MakeFourCC('Y', '4', '2', '2');
constexpr uint32_t kFourCC_UYNV = MakeFourCC('U', 'Y', 'N', 'V');
constexpr uint32_t kFourCC_HDYC = MakeFourCC('H', 'D', 'Y', 'C');

constexpr int32_t kFourCCFamilySize = 8;

// The family list of "I420"/"YV12", "YUY2" or "UYVY" (8 entries, *count =
// 8); null with *count = 0 for any other FourCC. `count` may be null.
const uint32_t* GetCompatibleFourCC(uint32_t fourcc, int32_t* count);
// Whether a frame of `source` can be written into a surface of `surface`.
bool IsCompatibleFourCC(uint32_t source, uint32_t surface);
