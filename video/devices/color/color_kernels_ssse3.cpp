// The SSSE3 kernels: the RGB to planar kernels built with byte shuffles and
// byte multiply-adds. This unit alone is built with -mssse3; the converter
// calls it only when the processor has SSSE3.
#include "video/devices/color/rgb_to_planar_shuffle_inl.h"

namespace nsVZVP {

const KernelSet& Ssse3Kernels() {
  // Only the conversions the shuffles speed up; the rest stay SSE2's.
  static const KernelSet set = [] {
    KernelSet some{};
    SetRgbToPlanarShuffle<R128>(some);
    return some;
  }();
  return set;
}

}  // namespace nsVZVP
