// The SSE2 kernels (the x86-64 baseline; no wider instructions here).
#include "video/devices/color/color_simd_inl.h"

namespace nsVZVP {

const KernelSet& Sse2Kernels() {
  // Whole rows move with the library copy, which is as fast as any copy loop.
  static const KernelSet set = MakeSimdSet<V128>(PlainKernels().copy);
  return set;
}

}  // namespace nsVZVP
