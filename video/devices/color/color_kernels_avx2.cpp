// The 256-bit forms of the SSE2 kernels. This unit alone is built with
// -mavx2; the converter calls it only when the processor has AVX2.
#include "video/devices/color/color_simd_inl.h"

namespace nsVZVP {

const KernelSet& Avx2Kernels() {
  static const KernelSet set = MakeSimdSet<V256>(nullptr);
  return set;
}

}  // namespace nsVZVP
