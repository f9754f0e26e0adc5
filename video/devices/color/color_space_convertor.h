#pragma once
// Converts one picture into another pixel format: packed RGB (six byte
// orders) or packed 4:2:2 to and from planar 4:2:0, and planar copies
// (I420 and YV12 either way). BT.601 studio-range integer arithmetic.
//
// The kernel of each call is chosen from a table built once from the
// processor feature word (tests pass their own word): plain, MMX-equivalent
// or SSE2 (256-bit where the word has kCpuAvx2), by the picture width and
// the alignment of the buffers. Every choice gives the plain kernels' bytes
// except RGB to YUV through the MMX entry (13-bit arithmetic, off by one
// for part of all colours).
//
// Not thread-safe: one thread at a time per object. Nothing is logged;
// failures are the results below, and on a failure the destination is not
// touched.
#include <cstdint>

#include "video/devices/color/color_kernels.h"
#include "video/devices/color/color_space.h"

namespace nsVZVP {

class IStrategy {
 public:
  virtual ~IStrategy() = default;
  // Operations the strategy interface reserves; a converter answers 0.
  virtual int32_t Reserved0(int32_t, int32_t) { return 0; }
  virtual int32_t Reserved1(int32_t) { return 0; }
  virtual int32_t Reserved2(int32_t) { return 0; }
  virtual int32_t Reserved3(int32_t, int32_t) { return 0; }
  virtual int32_t Reserved4(int32_t, int32_t) { return 0; }
  virtual int32_t Reserved5(int32_t, int32_t, int32_t) { return 0; }
  // mode is not read (callers pass 1). Returns kConvertOk, or
  // kConvertInvalidArgs (destination smaller than the source, a needed
  // plane null, an odd, zero or negative size) or kConvertUnsupported (no
  // kernel for the pair of formats).
  virtual int32_t Convert(int32_t mode, const ImageDesc* src, ImageDesc* dst) = 0;
};

// Which entry of a conversion's three a call takes.
enum KernelEntry : int { kEntryPlain = 0, kEntryMmx = 1, kEntrySse2 = 2 };

class CColorSpaceConvertor final : public IStrategy {
 public:
  explicit CColorSpaceConvertor(uint32_t cpu_features);

  int32_t Convert(int32_t mode, const ImageDesc* src, ImageDesc* dst) override;

  // The entry the last successful Convert took (for tests).
  KernelEntry last_entry_for_testing() const { return last_entry_; }

 private:
  struct ConvertKernelTable {
    PlanarCopyKernel copy[3];
    FromPlanarKernel from_planar[kPackedCount][3];
    ToPlanarKernel to_planar[kPackedCount][3];
  };

  int32_t CopyPlanarImage(const ImageDesc& src, ImageDesc& dst);
  int32_t ConvertFromPlanar(const ImageDesc& src, ImageDesc& dst);
  int32_t ConvertToPlanar(const ImageDesc& src, const ImageDesc& dst);

  ConvertKernelTable table_;
  KernelEntry last_entry_ = kEntryPlain;
};

// Fills the part of a plane outside its content: bytes content_width to
// full_width - 1 of the first content_height rows, then whole rows from
// content_height to full_height - 1.
void PadPlane(uint8_t* plane, int content_width, int full_width, int content_height, int full_height, int stride,
              uint8_t fill);

}  // namespace nsVZVP
