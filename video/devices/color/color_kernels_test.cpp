// Every kernel of every set against the reference arithmetic, over widths,
// buffer misalignment, padded strides and both row orders. Buffers end right
// after their last byte, so under ASan a kernel that reads or writes past a
// row's end on the last row fails here.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "video/devices/color/color_kernels.h"
#include "video/devices/color/color_reference_testlib.h"
#include "video/devices/color/cpu_features.h"

namespace nsVZVP {
namespace {

using testing::BlockToU;
using testing::BlockToU13;
using testing::BlockToV;
using testing::BlockToV13;
using testing::RgbToY;
using testing::RgbToY13;
using testing::TightSize;
using testing::YuvToRgb;

constexpr uint8_t kCanary = 0xA5;

struct NamedSet {
  const char* name;
  const KernelSet* set;
  bool rgb_to_yuv_13bit;
};

std::vector<NamedSet> SetsToTest() {
  std::vector<NamedSet> sets = {{"plain", &PlainKernels(), false},
                                {"mmx", &MmxKernels(), true},
                                {"sse2", &Sse2Kernels(), false}};
  if (DetectCpuFeatures() & kCpuSsse3) sets.push_back({"ssse3", &Ssse3Kernels(), false});
  if (DetectCpuFeatures() & kCpuAvx2) sets.push_back({"avx2", &Avx2Kernels(), false});
  return sets;
}

std::vector<int> Widths() {
  std::vector<int> widths;
  for (int w = 2; w <= 96; w += 2) widths.push_back(w);
  for (int w : {126, 128, 130, 254, 256, 258, 638, 640, 1278, 1280, 1918, 1920, 3838, 3840, 3998, 4000})
    widths.push_back(w);
  return widths;
}

// A buffer whose usable bytes start `offset` bytes in and end at its end.
struct Buffer {
  std::vector<uint8_t> bytes;
  int offset;
  uint8_t* data() { return bytes.data() + offset; }
};

Buffer MakeBuffer(size_t size, int offset, std::mt19937& rng, bool random_fill) {
  Buffer b{std::vector<uint8_t>(size + offset, kCanary), offset};
  if (random_fill) {
    for (auto& x : b.bytes) x = static_cast<uint8_t>(rng());
  }
  return b;
}

struct Case {
  int width, height, flip, pad, offset;
};

std::string Describe(const char* set, int index, const Case& c) {
  return std::string(set) + " kernel " + std::to_string(index) + " width " + std::to_string(c.width) + " height " +
         std::to_string(c.height) + " flip " + std::to_string(c.flip) + " pad " + std::to_string(c.pad) +
         " offset " + std::to_string(c.offset);
}

::testing::AssertionResult CheckFromPlanar(FromPlanarKernel kernel, int index, const Case& c, std::mt19937& rng) {
  const PackedLayout L = LayoutOf(static_cast<PackedIndex>(index));
  const int bytes = L.bytes;
  const int w = c.width, h = c.height;
  const int sy = w + c.pad, suv = w / 2 + c.pad;
  Buffer y = MakeBuffer(TightSize(h, sy, w), c.offset, rng, true);
  Buffer u = MakeBuffer(TightSize(h / 2, suv, w / 2), (c.offset * 3) & 15, rng, true);
  Buffer v = MakeBuffer(TightSize(h / 2, suv, w / 2), (c.offset * 5) & 15, rng, true);
  const int ds = w * bytes + c.pad;
  Buffer d = MakeBuffer(TightSize(h, ds, w * bytes), (c.offset * 7) & 15, rng, false);
  kernel(d.data(), ds, y.data(), u.data(), v.data(), sy, suv, w, h, c.flip);
  for (int row = 0; row < h; ++row) {
    const uint8_t* out = d.data() + static_cast<size_t>(c.flip ? h - 1 - row : row) * ds;
    for (int x = 0; x < w; ++x) {
      const int Y = y.data()[row * sy + x];
      const int U = u.data()[(row / 2) * suv + x / 2];
      const int V = v.data()[(row / 2) * suv + x / 2];
      const uint8_t* p = out + x * bytes;
      bool ok;
      if (index == kPackedYuy2 || index == kPackedUyvy) {
        const int yi = index == kPackedYuy2 ? (x & 1) * 2 : 1 + (x & 1) * 2;
        const int ui = index == kPackedYuy2 ? 1 : 0, vi = index == kPackedYuy2 ? 3 : 2;
        const uint8_t* pair = out + (x & ~1) * 2;
        ok = pair[yi] == Y && pair[ui] == U && pair[vi] == V;
      } else {
        const testing::Rgb rgb = YuvToRgb(Y, U, V);
        ok = p[L.r] == rgb.r && p[L.g] == rgb.g && p[L.b] == rgb.b && (L.a < 0 || p[L.a] == 255);
      }
      if (!ok) return ::testing::AssertionFailure() << "pixel (" << x << ", " << row << ") wrong";
    }
    const int mem_row = c.flip ? h - 1 - row : row;
    if (mem_row + 1 < h) {
      for (int i = w * bytes; i < ds; ++i) {
        if (out[i] != kCanary) return ::testing::AssertionFailure() << "stride padding written";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// Fills a packed source picture (rows `stride` apart); random bytes when
// none is given.
using PackedFill = void (*)(uint8_t* data, int stride, int width, int height, int bytes, std::mt19937& rng);

::testing::AssertionResult CheckToPlanar(ToPlanarKernel kernel, int index, bool thirteen_bit, const Case& c,
                                         std::mt19937& rng, PackedFill fill = nullptr) {
  const PackedLayout L = LayoutOf(static_cast<PackedIndex>(index));
  const int bytes = L.bytes;
  const int w = c.width, h = c.height;
  const int ss = w * bytes + c.pad;
  Buffer s = MakeBuffer(TightSize(h, ss, w * bytes), c.offset, rng, true);
  if (fill) fill(s.data(), ss, w, h, bytes, rng);
  const int sy = w + c.pad, suv = w / 2 + c.pad;
  Buffer y = MakeBuffer(TightSize(h, sy, w), (c.offset * 3) & 15, rng, false);
  Buffer u = MakeBuffer(TightSize(h / 2, suv, w / 2), (c.offset * 5) & 15, rng, false);
  Buffer v = MakeBuffer(TightSize(h / 2, suv, w / 2), (c.offset * 7) & 15, rng, false);
  kernel(s.data(), ss, y.data(), u.data(), v.data(), sy, suv, w, h, c.flip);
  auto src_px = [&](int x, int row) { return s.data() + static_cast<size_t>(c.flip ? h - 1 - row : row) * ss + x * bytes; };
  for (int row = 0; row < h; row += 2) {
    for (int x = 0; x < w; x += 2) {
      int want_y[2][2], want_u, want_v;
      if (index == kPackedYuy2 || index == kPackedUyvy) {
        const int yi = index == kPackedYuy2 ? 0 : 1, ui = index == kPackedYuy2 ? 1 : 0, vi = index == kPackedYuy2 ? 3 : 2;
        const uint8_t* a = s.data() + static_cast<size_t>(c.flip ? h - 1 - row : row) * ss + x * 2;
        const uint8_t* b = s.data() + static_cast<size_t>(c.flip ? h - 2 - row : row + 1) * ss + x * 2;
        want_y[0][0] = a[yi], want_y[0][1] = a[yi + 2], want_y[1][0] = b[yi], want_y[1][1] = b[yi + 2];
        want_u = (a[ui] + b[ui] + 1) >> 1;
        want_v = (a[vi] + b[vi] + 1) >> 1;
      } else {
        int sr = 0, sg = 0, sb = 0;
        for (int r = 0; r < 2; ++r) {
          for (int k = 0; k < 2; ++k) {
            const uint8_t* p = src_px(x + k, row + r);
            want_y[r][k] = thirteen_bit ? RgbToY13(p[L.r], p[L.g], p[L.b]) : RgbToY(p[L.r], p[L.g], p[L.b]);
            sr += p[L.r], sg += p[L.g], sb += p[L.b];
          }
        }
        want_u = thirteen_bit ? BlockToU13(sr, sg, sb) : BlockToU(sr, sg, sb);
        want_v = thirteen_bit ? BlockToV13(sr, sg, sb) : BlockToV(sr, sg, sb);
      }
      for (int r = 0; r < 2; ++r) {
        for (int k = 0; k < 2; ++k) {
          if (y.data()[(row + r) * sy + x + k] != want_y[r][k])
            return ::testing::AssertionFailure() << "Y at (" << x + k << ", " << row + r << ")";
        }
      }
      if (u.data()[(row / 2) * suv + x / 2] != want_u || v.data()[(row / 2) * suv + x / 2] != want_v)
        return ::testing::AssertionFailure() << "chroma of block (" << x << ", " << row << ")";
    }
    if (row + 2 < h) {
      for (int i = w; i < sy; ++i) {
        if (y.data()[row * sy + i] != kCanary) return ::testing::AssertionFailure() << "Y stride padding written";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(ColorKernelsTest, EveryKernelMatchesTheReferenceOverWidthsAlignmentsAndRowOrders) {
  std::mt19937 rng(20261209);
  for (const NamedSet& named : SetsToTest()) {
    for (int w : Widths()) {
      const Case c{w, (w % 6 == 0) ? 6 : 2, static_cast<int>(rng() & 1), static_cast<int>(rng() % 19),
                   static_cast<int>(rng() % 16)};
      for (int i = 0; i < kPackedCount; ++i) {
        if (FromPlanarKernel k = named.set->from_planar[i]) {
          EXPECT_TRUE(CheckFromPlanar(k, i, c, rng)) << Describe(named.name, i, c) << " (from planar)";
        }
        if (ToPlanarKernel k = named.set->to_planar[i]) {
          const bool rgb = i != kPackedYuy2 && i != kPackedUyvy;
          EXPECT_TRUE(CheckToPlanar(k, i, named.rgb_to_yuv_13bit && rgb, c, rng))
              << Describe(named.name, i, c) << " (to planar)";
        }
      }
    }
  }
}

// Channel values at the ends of their range, most blocks four equal pixels:
// the block sums and the per-pixel weighted sums reach their largest and
// smallest values, where a 16-bit lane would saturate or wrap.
void FillExtremes(uint8_t* data, int stride, int width, int height, int bytes, std::mt19937& rng) {
  static constexpr uint8_t kEnds[] = {0, 1, 2, 127, 128, 129, 253, 254, 255};
  for (int row = 0; row < height; row += 2) {
    for (int x = 0; x < width; x += 2) {
      const bool uniform = rng() % 4 != 0;
      uint8_t block[4];
      for (uint8_t& b : block) b = kEnds[rng() % 9];
      for (int r = 0; r < 2 && row + r < height; ++r) {
        for (int k = 0; k < 2; ++k) {
          uint8_t* p = data + static_cast<size_t>(row + r) * stride + (x + k) * bytes;
          for (int i = 0; i < bytes; ++i) p[i] = uniform ? block[i] : kEnds[rng() % 9];
        }
      }
    }
  }
}

TEST(ColorKernelsTest, RgbToPlanarIsExactAtTheChannelExtremes) {
  std::mt19937 rng(91);
  for (const NamedSet& named : SetsToTest()) {
    for (int w : {32, 64, 96, 100, 1280}) {
      for (int i = kPackedRgb24; i <= kPackedArgb32; ++i) {
        ToPlanarKernel k = named.set->to_planar[i];
        if (!k) continue;
        for (int flip = 0; flip < 2; ++flip) {
          const Case c{w, 8, flip, static_cast<int>(rng() % 5), static_cast<int>(rng() % 16)};
          EXPECT_TRUE(CheckToPlanar(k, i, named.rgb_to_yuv_13bit, c, rng, FillExtremes)) << Describe(named.name, i, c);
        }
      }
    }
  }
}

TEST(ColorKernelsTest, SimdSetsAreCompleteAndMmxOnlyWhereTheMmxKernelsExist) {
  for (int i = 0; i < kPackedCount; ++i) {
    EXPECT_NE(Sse2Kernels().from_planar[i], nullptr) << i;
    EXPECT_NE(Sse2Kernels().to_planar[i], nullptr) << i;
  }
  // No MMX kernel for planar to RGB24, RGBA32, ABGR32, ARGB32, nor for
  // ABGR32 and ARGB32 to planar.
  for (int i : {kPackedRgb24, kPackedRgba32, kPackedAbgr32, kPackedArgb32}) {
    EXPECT_EQ(MmxKernels().from_planar[i], nullptr) << i;
  }
  EXPECT_EQ(MmxKernels().to_planar[kPackedAbgr32], nullptr);
  EXPECT_EQ(MmxKernels().to_planar[kPackedArgb32], nullptr);
}

TEST(ColorKernelsTest, PlanarCopyWithFlipReadsTheSourceBottomUp) {
  const int w = 6, h = 4;
  std::vector<uint8_t> sy(w * h), su(w * h / 4), sv(w * h / 4), dy(w * h), du(w * h / 4), dv(w * h / 4);
  for (size_t i = 0; i < sy.size(); ++i) sy[i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < su.size(); ++i) su[i] = static_cast<uint8_t>(100 + i), sv[i] = static_cast<uint8_t>(200 + i);
  for (const NamedSet& named : SetsToTest()) {
    if (!named.set->copy) continue;
    named.set->copy(dy.data(), du.data(), dv.data(), w, w / 2, sy.data(), su.data(), sv.data(), w, w / 2, w, h, 1);
    for (int row = 0; row < h; ++row) {
      for (int x = 0; x < w; ++x) EXPECT_EQ(dy[row * w + x], sy[(h - 1 - row) * w + x]) << named.name;
    }
    // Chroma rows 0 and 1 exchanged.
    EXPECT_EQ(du[0], su[3]) << named.name;
    EXPECT_EQ(dv[3], sv[0]) << named.name;
  }
}

}  // namespace
}  // namespace nsVZVP
