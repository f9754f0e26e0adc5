// The MMX entries in scalar code. The MMX kernels' copies, 4:2:2 packing and
// YUV to RGB give the plain kernels' bytes, so those entries are the plain
// kernels; RGB to YUV keeps its own 13-bit arithmetic, which differs by one
// from the plain result for part of all colours.
#include "video/devices/color/color_kernels.h"
#include "video/devices/color/rgb_to_planar_scalar.h"

namespace nsVZVP {
namespace {

// The MMX kernels' 13-bit weights (15-bit for the block sums).
constexpr RgbToYuvWeights kWeights13 = {2105, 4129, 803, 13, 1212, 2384, 3596, 3596, 3015, 582, 15};

template <PackedIndex kIndex>
constexpr ToPlanarKernel RgbToPlanar13 = RgbToPlanarWeighted<kIndex, kWeights13>;

KernelSet MakeMmx() {
  const KernelSet& plain = PlainKernels();
  KernelSet set{};
  set.copy = plain.copy;
  set.from_planar[kPackedYuy2] = plain.from_planar[kPackedYuy2];
  set.from_planar[kPackedUyvy] = plain.from_planar[kPackedUyvy];
  set.from_planar[kPackedBgr24] = plain.from_planar[kPackedBgr24];
  set.from_planar[kPackedBgra32] = plain.from_planar[kPackedBgra32];
  set.to_planar[kPackedRgb24] = RgbToPlanar13<kPackedRgb24>;
  set.to_planar[kPackedBgr24] = RgbToPlanar13<kPackedBgr24>;
  set.to_planar[kPackedRgba32] = RgbToPlanar13<kPackedRgba32>;
  set.to_planar[kPackedBgra32] = RgbToPlanar13<kPackedBgra32>;
  set.to_planar[kPackedYuy2] = plain.to_planar[kPackedYuy2];
  set.to_planar[kPackedUyvy] = plain.to_planar[kPackedUyvy];
  return set;
}

}  // namespace

const KernelSet& MmxKernels() {
  static const KernelSet set = MakeMmx();
  return set;
}

}  // namespace nsVZVP
