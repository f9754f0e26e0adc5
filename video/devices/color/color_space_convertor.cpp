#include "video/devices/color/color_space_convertor.h"

#include <cstring>
#include <utility>

#include "video/devices/color/cpu_features.h"

namespace nsVZVP {
namespace {

bool Aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }
bool Aligned16(int v) { return (v & 15) == 0; }

// The packed index of a format code (without the bottom-up bit), the YVYU
// code mapping to the YUY2 kernels; -1 when the code is not packed.
int PackedIndexOf(uint32_t format, bool* swap_uv) {
  *swap_uv = false;
  switch (format) {
    case CSP_RGB24: return kPackedRgb24;
    case CSP_BGR24: return kPackedBgr24;
    case CSP_RGBA32: return kPackedRgba32;
    case CSP_BGRA32: return kPackedBgra32;
    case CSP_ABGR32: return kPackedAbgr32;
    case CSP_ARGB32: return kPackedArgb32;
    case CSP_YUY2: return kPackedYuy2;
    case CSP_YVYU: *swap_uv = true; return kPackedYuy2;
    case CSP_UYVY: return kPackedUyvy;
    default: return -1;
  }
}

int BitsPerPixel(int index) {
  switch (index) {
    case kPackedRgb24:
    case kPackedBgr24: return 24;
    case kPackedYuy2:
    case kPackedUyvy: return 16;
    default: return 32;
  }
}

bool IsPlanar(uint32_t format) { return format == CSP_I420 || format == CSP_YV12; }

}  // namespace

CColorSpaceConvertor::CColorSpaceConvertor(uint32_t cpu_features) {
  const KernelSet& plain = PlainKernels();
  const KernelSet& mmx = MmxKernels();
  const KernelSet& sse2 = Sse2Kernels();
  const bool has_mmx = (cpu_features & kCpuMmx) != 0;
  const bool has_sse2 = (cpu_features & kCpuSse2) != 0;
  const bool has_avx2 = has_sse2 && (cpu_features & kCpuAvx2) != 0;
  const bool has_ssse3 = has_sse2 && (cpu_features & kCpuSsse3) != 0;
  const KernelSet* avx2 = has_avx2 ? &Avx2Kernels() : nullptr;
  const KernelSet* ssse3 = has_ssse3 ? &Ssse3Kernels() : nullptr;

  // The SSE2 entry takes the widest form the processor runs; all give the
  // same bytes.
  auto fill = [&](auto plain_k, auto mmx_k, auto sse2_k, auto ssse3_k, auto avx2_k, auto* entries) {
    entries[0] = entries[1] = entries[2] = plain_k;
    if (has_mmx && mmx_k) entries[1] = entries[2] = mmx_k;
    if (has_sse2) entries[2] = avx2_k ? avx2_k : (ssse3_k ? ssse3_k : sse2_k);
  };
  fill(plain.copy, mmx.copy, sse2.copy, PlanarCopyKernel{}, avx2 ? avx2->copy : PlanarCopyKernel{}, table_.copy);
  for (int i = 0; i < kPackedCount; ++i) {
    fill(plain.from_planar[i], mmx.from_planar[i], sse2.from_planar[i],
         ssse3 ? ssse3->from_planar[i] : FromPlanarKernel{}, avx2 ? avx2->from_planar[i] : FromPlanarKernel{},
         table_.from_planar[i]);
    fill(plain.to_planar[i], mmx.to_planar[i], sse2.to_planar[i], ssse3 ? ssse3->to_planar[i] : ToPlanarKernel{},
         avx2 ? avx2->to_planar[i] : ToPlanarKernel{}, table_.to_planar[i]);
  }
}

int32_t CColorSpaceConvertor::Convert(int32_t /*mode*/, const ImageDesc* src, ImageDesc* dst) {
  if (src == nullptr || dst == nullptr) return kConvertInvalidArgs;
  // A zero or negative size would pass the evenness test and reach the
  // kernels as a negative count.
  if (src->width <= 0 || src->height <= 0) return kConvertInvalidArgs;
  if (dst->width < src->width || dst->height < src->height) return kConvertInvalidArgs;
  const uint32_t fs = src->format & kColorSpaceMask;
  int32_t result;
  if (IsPlanar(fs)) {
    const uint32_t fd = dst->format & kColorSpaceMask;
    result = IsPlanar(fd) ? CopyPlanarImage(*src, *dst) : ConvertFromPlanar(*src, *dst);
  } else {
    result = ConvertToPlanar(*src, *dst);
  }
  if (result != kConvertOk) return result;
  if (dst->format == CSP_I420 && (dst->width > src->width || dst->height > src->height)) {
    PadPlane(dst->plane[0], src->width, dst->width, src->height, dst->height, dst->stride[0], 0);
    PadPlane(dst->plane[1], src->width / 2, dst->width / 2, src->height / 2, dst->height / 2, dst->stride[1], 128);
    PadPlane(dst->plane[2], src->width / 2, dst->width / 2, src->height / 2, dst->height / 2, dst->stride[2], 128);
  }
  return kConvertOk;
}

int32_t CColorSpaceConvertor::CopyPlanarImage(const ImageDesc& src, ImageDesc& dst) {
  for (int i = 0; i < 3; ++i) {
    if (src.plane[i] == nullptr || dst.plane[i] == nullptr) return kConvertInvalidArgs;
  }
  if ((src.width & 1) || (src.height & 1)) return kConvertInvalidArgs;
  const bool aligned = Aligned16(src.plane[0]) && Aligned16(src.stride[0]) && Aligned16(dst.plane[0]) &&
                       Aligned16(dst.stride[0]);
  last_entry_ = aligned ? kEntrySse2 : kEntryMmx;
  const uint8_t* s2 = src.plane[1];
  const uint8_t* s3 = src.plane[2];
  // The destination's U plane always receives the source's U samples.
  if ((src.format & kColorSpaceMask) != (dst.format & kColorSpaceMask)) std::swap(s2, s3);
  const int flip = ((src.format ^ dst.format) & CSP_BOTTOM_UP) ? 1 : 0;
  table_.copy[last_entry_](dst.plane[0], dst.plane[1], dst.plane[2], dst.stride[0], dst.stride[1], src.plane[0], s2,
                           s3, src.stride[0], src.stride[1], src.width, src.height, flip);
  return kConvertOk;
}

int32_t CColorSpaceConvertor::ConvertFromPlanar(const ImageDesc& src, ImageDesc& dst) {
  if (dst.plane[0] == nullptr) return kConvertInvalidArgs;
  const uint8_t* y = src.plane[0];
  const uint8_t* u = src.plane[1];
  const uint8_t* v = src.plane[2];
  if ((src.format & kColorSpaceMask) == CSP_YV12) std::swap(u, v);
  if (y == nullptr || u == nullptr || v == nullptr) return kConvertInvalidArgs;
  if ((src.width & 1) || (src.height & 1)) return kConvertInvalidArgs;
  bool swap_uv = false;
  const int index = PackedIndexOf(dst.format & kColorSpaceMask, &swap_uv);
  if (index < 0) return kConvertUnsupported;
  if (swap_uv) std::swap(u, v);
  int dst_stride = dst.stride[0];
  const int w = src.width;
  if (dst_stride == 0) dst_stride = ((w * BitsPerPixel(index) + 31) / 32) * 4;

  KernelEntry entry;
  switch (index) {
    case kPackedYuy2:
    case kPackedUyvy:
      if (w % 16) {
        entry = kEntryPlain;
      } else {
        const bool aligned = Aligned16(dst.plane[0]) && Aligned16(dst_stride) && Aligned16(y) &&
                             Aligned16(src.stride[0]);
        entry = aligned ? kEntrySse2 : kEntryMmx;
      }
      break;
    case kPackedRgb24: entry = (w % 8) ? kEntryMmx : kEntrySse2; break;
    case kPackedBgr24: entry = (w % 8) ? kEntryPlain : kEntrySse2; break;
    case kPackedBgra32: entry = (w % 8) ? kEntryPlain : ((w % 16) ? kEntryMmx : kEntrySse2); break;
    default: entry = (w % 16) ? kEntryMmx : kEntrySse2; break;
  }
  last_entry_ = entry;
  const int flip = (dst.format & CSP_BOTTOM_UP) ? 1 : 0;
  table_.from_planar[index][entry](dst.plane[0], dst_stride, y, u, v, src.stride[0], src.stride[1], w, src.height,
                                   flip);
  return kConvertOk;
}

int32_t CColorSpaceConvertor::ConvertToPlanar(const ImageDesc& src, const ImageDesc& dst) {
  const uint32_t fd = dst.format & kColorSpaceMask;
  if (!IsPlanar(fd)) return kConvertUnsupported;
  uint8_t* y = dst.plane[0];
  uint8_t* u = dst.plane[1];
  uint8_t* v = dst.plane[2];
  if (fd == CSP_YV12) std::swap(u, v);
  if (src.plane[0] == nullptr || y == nullptr || u == nullptr || v == nullptr) return kConvertInvalidArgs;
  if ((src.width & 1) || (src.height & 1)) return kConvertInvalidArgs;
  bool swap_uv = false;
  const int index = PackedIndexOf(src.format & kColorSpaceMask, &swap_uv);
  if (index < 0) return kConvertUnsupported;
  if (swap_uv) std::swap(u, v);
  const int w = src.width;
  KernelEntry entry;
  if (index == kPackedYuy2 || index == kPackedUyvy) {
    if (w % 8) {
      entry = kEntryPlain;
    } else {
      const bool aligned = Aligned16(src.plane[0]) && Aligned16(src.stride[0]) && Aligned16(y) &&
                           Aligned16(dst.stride[0]) && Aligned16(w);
      entry = aligned ? kEntrySse2 : kEntryMmx;
    }
  } else {
    entry = (w % 8) ? kEntryMmx : kEntrySse2;
  }
  last_entry_ = entry;
  const int flip = (src.format & CSP_BOTTOM_UP) ? 1 : 0;
  table_.to_planar[index][entry](src.plane[0], src.stride[0], y, u, v, dst.stride[0], dst.stride[1], w, src.height,
                                 flip);
  return kConvertOk;
}

void PadPlane(uint8_t* plane, int content_width, int full_width, int content_height, int full_height, int stride,
              uint8_t fill) {
  if (plane == nullptr) return;
  if (content_width < full_width) {
    for (int row = 0; row < content_height; ++row) {
      std::memset(plane + static_cast<intptr_t>(row) * stride + content_width, fill,
                  static_cast<size_t>(full_width - content_width));
    }
  }
  for (int row = content_height; row < full_height; ++row) {
    std::memset(plane + static_cast<intptr_t>(row) * stride, fill, static_cast<size_t>(full_width));
  }
}

}  // namespace nsVZVP
