#pragma once
// The converter's kernels: plain functions in three call forms, grouped in
// sets (plain, MMX-equivalent, SSE2, AVX2). Kernels take even sizes (the
// converter checks) and keep no state. With flip set the packed side (for
// the copy: the source) is walked from its last row upward.
//
// A SIMD kernel handles the columns its blocks cover and hands the rest of
// each row to the plain kernel, so every kernel accepts every even width.
#include <cstdint>

namespace nsVZVP {

using PlanarCopyKernel = void (*)(uint8_t* dst_y, uint8_t* dst_2, uint8_t* dst_3, int dst_stride_y,
                                  int dst_stride_uv, const uint8_t* src_y, const uint8_t* src_2,
                                  const uint8_t* src_3, int src_stride_y, int src_stride_uv, int width,
                                  int height, int flip);
using FromPlanarKernel = void (*)(uint8_t* dst, int dst_stride, const uint8_t* src_y, const uint8_t* src_u,
                                  const uint8_t* src_v, int src_stride_y, int src_stride_uv, int width,
                                  int height, int flip);
using ToPlanarKernel = void (*)(const uint8_t* src, int src_stride, uint8_t* dst_y, uint8_t* dst_u,
                                uint8_t* dst_v, int dst_stride_y, int dst_stride_uv, int width, int height,
                                int flip);

// The packed formats, as the index of a kernel in a set. YVYU has no index:
// it uses the YUY2 kernels with U and V exchanged.
enum PackedIndex : int {
  kPackedRgb24 = 0,
  kPackedBgr24,
  kPackedRgba32,
  kPackedBgra32,
  kPackedAbgr32,
  kPackedArgb32,
  kPackedYuy2,
  kPackedUyvy,
  kPackedCount
};

// A set of kernels; a null entry means the set has no kernel of its own for
// that conversion.
struct KernelSet {
  PlanarCopyKernel copy;
  FromPlanarKernel from_planar[kPackedCount];
  ToPlanarKernel to_planar[kPackedCount];
};

// Plain kernels: the reference arithmetic, complete.
const KernelSet& PlainKernels();
// The MMX entries, computed in scalar code with the MMX kernels' own
// arithmetic: the same bytes as the plain kernels except RGB to YUV, which
// uses 13-bit coefficients. Entries only where a MMX kernel exists.
const KernelSet& MmxKernels();
// SSE2 kernels: complete, the same bytes as the plain kernels.
const KernelSet& Sse2Kernels();
// SSSE3 forms of the six RGB to planar kernels (byte shuffles and byte
// multiply-adds), the same bytes again; only to be used when the processor
// has SSSE3. Null entries fall back to SSE2.
const KernelSet& Ssse3Kernels();
// 256-bit forms of the SSE2 kernels (the RGB to planar ones of the SSSE3
// kernels), the same bytes again; only to be used when the processor has
// AVX2. Null entries fall back to SSSE3, then SSE2.
const KernelSet& Avx2Kernels();

}  // namespace nsVZVP
