// The 256-bit forms of the SSE2 kernels, and of the SSSE3 RGB to planar
// kernels. This unit alone is built with -mavx2; the converter calls it
// only when the processor has AVX2.
#include "video/devices/color/color_simd_inl.h"
#include "video/devices/color/rgb_to_planar_shuffle_inl.h"

namespace nsVZVP {

const KernelSet& Avx2Kernels() {
  static const KernelSet set = [] {
    KernelSet all = MakeSimdSet<V256>(nullptr);
    SetRgbToPlanarShuffle<R256>(all);
    return all;
  }();
  return set;
}

}  // namespace nsVZVP
