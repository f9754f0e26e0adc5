#include "video/devices/render/fourcc_families.h"

namespace {

constexpr uint32_t kPlanarFamily[kFourCCFamilySize] = {kFourCC_I420, kFourCC_IYUV, kFourCC_YV12, kFourCC_NV12,
                                                       kFourCC_IMC1, kFourCC_IMC3, kFourCC_IMC2, kFourCC_IMC4};
constexpr uint32_t kYuy2Family[kFourCCFamilySize] = {kFourCC_YUY2, kFourCC_YUNV, kFourCC_V422, kFourCC_YUYV,
                                                     kFourCC_UYVY, kFourCC_Y422, kFourCC_UYNV, kFourCC_HDYC};
constexpr uint32_t kUyvyFamily[kFourCCFamilySize] = {kFourCC_UYVY, kFourCC_Y422, kFourCC_UYNV, kFourCC_HDYC,
                                                     kFourCC_YUY2, kFourCC_YUNV, kFourCC_V422, kFourCC_YUYV};

bool InList(const uint32_t* list, uint32_t fourcc) {
  for (int32_t i = 0; i < kFourCCFamilySize; ++i) {
    if (list[i] == fourcc) return true;
  }
  return false;
}

}  // namespace

const uint32_t* GetCompatibleFourCC(uint32_t fourcc, int32_t* count) {
  const uint32_t* list = nullptr;
  if (fourcc == kFourCC_I420 || fourcc == kFourCC_YV12) {
    list = kPlanarFamily;
  } else if (fourcc == kFourCC_YUY2) {
    list = kYuy2Family;
  } else if (fourcc == kFourCC_UYVY) {
    list = kUyvyFamily;
  }
  if (count) *count = list ? kFourCCFamilySize : 0;
  return list;
}

bool IsCompatibleFourCC(uint32_t source, uint32_t surface) {
  if (source == kFourCC_I420 || source == kFourCC_YV12) return InList(kPlanarFamily, surface);
  if (source == kFourCC_YUY2 || source == kFourCC_UYVY) return InList(kYuy2Family, surface);
  return false;
}
