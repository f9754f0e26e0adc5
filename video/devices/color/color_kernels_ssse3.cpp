// The SSSE3 kernels: the 128-bit kernels built with byte shuffles, which
// widen 24-bit pixels in registers. This unit alone is built with -mssse3;
// the converter calls it only when the processor has SSSE3.
#include "video/devices/color/color_simd_inl.h"

namespace nsVZVP {

const KernelSet& Ssse3Kernels() {
  // Only the conversions the shuffles speed up; the rest stay SSE2's.
  static const KernelSet set = [] {
    const KernelSet all = MakeSimdSet<V128>(nullptr);
    KernelSet some{};
    some.to_planar[kPackedRgb24] = all.to_planar[kPackedRgb24];
    some.to_planar[kPackedBgr24] = all.to_planar[kPackedBgr24];
    return some;
  }();
  return set;
}

}  // namespace nsVZVP
