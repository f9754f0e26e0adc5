#include "video/devices/color/color_space_convertor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "video/devices/color/color_reference_testlib.h"
#include "video/devices/color/cpu_features.h"

namespace nsVZVP {
namespace {

constexpr uint32_t kPlainOnly = 0;
constexpr uint32_t kMmxOnly = kCpuMmx;
constexpr uint32_t kMmxSse2 = kCpuMmx | kCpuSse2;

// A planar picture in one block (Y, then the second and third planes).
struct PlanarImage {
  std::vector<uint8_t> bytes;
  ImageDesc desc{};
  PlanarImage(int w, int h, uint32_t format, uint8_t y = 0, uint8_t c2 = 0, uint8_t c3 = 0)
      : bytes(static_cast<size_t>(w * h + 2 * (w / 2) * (h / 2))) {
    desc.width = w, desc.height = h, desc.format = format;
    desc.plane[0] = bytes.data();
    desc.plane[1] = bytes.data() + w * h;
    desc.plane[2] = desc.plane[1] + (w / 2) * (h / 2);
    desc.stride[0] = w, desc.stride[1] = desc.stride[2] = w / 2;
    std::memset(desc.plane[0], y, static_cast<size_t>(w * h));
    std::memset(desc.plane[1], c2, static_cast<size_t>((w / 2) * (h / 2)));
    std::memset(desc.plane[2], c3, static_cast<size_t>((w / 2) * (h / 2)));
  }
  uint8_t Y(int x, int row) const { return desc.plane[0][row * desc.stride[0] + x]; }
  uint8_t P2(int x, int row) const { return desc.plane[1][row * desc.stride[1] + x]; }
  uint8_t P3(int x, int row) const { return desc.plane[2][row * desc.stride[2] + x]; }
};

struct PackedImage {
  std::vector<uint8_t> bytes;
  ImageDesc desc{};
  PackedImage(int w, int h, uint32_t format, int bytes_per_pixel, uint8_t fill = 0x5A)
      : bytes(static_cast<size_t>(w * h * bytes_per_pixel), fill) {
    desc.width = w, desc.height = h, desc.format = format;
    desc.plane[0] = desc.plane[1] = desc.plane[2] = bytes.data();
    desc.stride[0] = desc.stride[1] = desc.stride[2] = w * bytes_per_pixel;
  }
};

int32_t Convert(uint32_t features, const ImageDesc& src, ImageDesc& dst, KernelEntry* entry = nullptr) {
  CColorSpaceConvertor c(features);
  const int32_t r = c.Convert(1, &src, &dst);
  if (entry) *entry = c.last_entry_for_testing();
  return r;
}

TEST(ColorSpaceConvertorTest, KnownYuvValuesGiveKnownColoursInEveryRgbFormat) {
  struct Format {
    uint32_t code;
    int bytes, r, g, b, a;
  };
  const Format formats[] = {{CSP_RGB24, 3, 0, 1, 2, -1},  {CSP_BGR24, 3, 2, 1, 0, -1}, {CSP_RGBA32, 4, 0, 1, 2, 3},
                            {CSP_BGRA32, 4, 2, 1, 0, 3}, {CSP_ABGR32, 4, 3, 2, 1, 0}, {CSP_ARGB32, 4, 1, 2, 3, 0}};
  struct Known {
    uint8_t y, u, v;
    int r, g, b;
  };
  const Known known[] = {{16, 128, 128, 0, 0, 0}, {235, 128, 128, 253, 253, 253}, {82, 90, 240, 255, 0, 0}};
  for (uint32_t features : {kPlainOnly, kMmxOnly, kMmxSse2}) {
    for (const Format& f : formats) {
      for (const Known& k : known) {
        for (int w : {2, 16}) {  // plain and vector entries
          SCOPED_TRACE(::testing::Message() << "features 0x" << std::hex << features << std::dec << ", format "
                                          << f.code << ", y " << int{k.y} << ", width " << w);
          PlanarImage src(w, 2, CSP_I420, k.y, k.u, k.v);
          PackedImage dst(w, 2, f.code, f.bytes);
          ASSERT_EQ(Convert(features, src.desc, dst.desc), kConvertOk);
          for (int i = 0; i < w * 2; ++i) {
            const uint8_t* p = dst.bytes.data() + i * f.bytes;
            EXPECT_NEAR(p[f.r], k.r, k.r == 255 ? 3 : 0) << f.code << " pixel " << i;  // within a step of full
            EXPECT_EQ(p[f.g], k.g) << f.code << " pixel " << i;
            EXPECT_EQ(p[f.b], k.b) << f.code << " pixel " << i;
            if (f.a >= 0) {
              EXPECT_EQ(p[f.a], 255) << "opaque from every kernel, pixel " << i;
            }
          }
        }
      }
    }
  }
}

// A source whose chroma rows are padded past half the width, as a decoder's
// picture is: every kernel steps chroma rows by the chroma stride, so the
// padding (colours of its own) never shows and the second chroma row lands
// on the picture's lower half.
TEST(ColorSpaceConvertorTest, PlanarToPackedStepsChromaRowsByTheirOwnPaddedStride) {
  struct Packed {
    uint32_t code;
    int bytes, r, g, b;  // byte offsets; YUY2 has none
  };
  const Packed outputs[] = {{CSP_BGR24, 3, 2, 1, 0}, {CSP_BGRA32, 4, 2, 1, 0}, {CSP_RGB24, 3, 0, 1, 2},
                            {CSP_YUY2, 2, -1, -1, -1}};
  const int h = 4, pad = 5;
  const uint32_t widest = kMmxSse2 | (DetectCpuFeatures() & (kCpuSsse3 | kCpuAvx2));
  for (uint32_t features : {kPlainOnly, kMmxOnly, kMmxSse2, widest}) {
    for (const Packed& out : outputs) {
      for (int w : {6, 16, 64}) {  // plain and vector entries
        SCOPED_TRACE(::testing::Message() << "features 0x" << std::hex << features << std::dec << ", format "
                                        << out.code << ", width " << w);
        const int luma_stride = w + 3, chroma_stride = w / 2 + pad;
        // Upper half red (Y 82, U 90, V 240), lower half black (16, 128,
        // 128); the chroma padding holds U 0 and V 255.
        std::vector<uint8_t> y(static_cast<size_t>(luma_stride) * h, 0xEE);
        std::vector<uint8_t> u(static_cast<size_t>(chroma_stride) * h / 2, 0);
        std::vector<uint8_t> v(u.size(), 255);
        for (int row = 0; row < h; ++row) std::memset(&y[row * luma_stride], row < 2 ? 82 : 16, w);
        for (int row = 0; row < h / 2; ++row) {
          std::memset(&u[row * chroma_stride], row == 0 ? 90 : 128, w / 2);
          std::memset(&v[row * chroma_stride], row == 0 ? 240 : 128, w / 2);
        }
        ImageDesc src{};
        src.width = w, src.height = h, src.format = CSP_I420;
        src.plane[0] = y.data(), src.plane[1] = u.data(), src.plane[2] = v.data();
        src.stride[0] = luma_stride, src.stride[1] = src.stride[2] = chroma_stride;
        PackedImage dst(w, h, out.code, out.bytes);
        ASSERT_EQ(Convert(features, src, dst.desc), kConvertOk);
        for (int row = 0; row < h; ++row) {
          const bool red = row < 2;
          for (int x = 0; x < w; ++x) {
            const uint8_t* p = dst.bytes.data() + (row * w + x) * out.bytes;
            if (out.code == CSP_YUY2) {
              EXPECT_EQ(p[0], red ? 82 : 16) << x << "," << row;
              EXPECT_EQ(p[1], (x % 2 == 0 ? (red ? 90 : 128) : (red ? 240 : 128))) << x << "," << row;
              continue;
            }
            EXPECT_NEAR(p[out.r], red ? 255 : 0, 3) << x << "," << row;
            EXPECT_EQ(p[out.g], 0) << x << "," << row;
            EXPECT_EQ(p[out.b], 0) << x << "," << row;
          }
        }
      }
    }
  }
}

TEST(ColorSpaceConvertorTest, KnownColoursLandOnKnownYuvValues) {
  struct Known {
    uint8_t r, g, b;
    int y, u, v;
  };
  const Known known[] = {{255, 0, 0, 82, 90, 240}, {0, 255, 0, 144, 54, 34}, {0, 0, 255, 41, 240, 110},
                         {128, 128, 128, 126, 128, 128}, {0, 0, 0, 16, 128, 128}, {255, 255, 255, 235, 128, 128}};
  for (uint32_t features : {kPlainOnly, kMmxSse2}) {
    for (const Known& k : known) {
      for (int w : {8, 16}) {
        SCOPED_TRACE(::testing::Message() << "features 0x" << std::hex << features << std::dec << ", rgb " << int{k.r}
                                        << " " << int{k.g} << " " << int{k.b} << ", width " << w);
        PackedImage src(w, 2, CSP_BGRA32, 4);
        for (int i = 0; i < w * 2; ++i) {
          uint8_t* p = src.bytes.data() + i * 4;
          p[0] = k.b, p[1] = k.g, p[2] = k.r, p[3] = 0x77;
        }
        PlanarImage dst(w, 2, CSP_I420);
        ASSERT_EQ(Convert(features, src.desc, dst.desc), kConvertOk);
        EXPECT_EQ(dst.Y(w - 1, 1), k.y);
        EXPECT_EQ(dst.P2(0, 0), k.u);
        EXPECT_EQ(dst.P3(w / 2 - 1, 0), k.v);
      }
    }
  }
}

TEST(ColorSpaceConvertorTest, InjectedFeatureWordChoosesTheMmxArithmetic) {
  // R = G = 255, B = 249: Y 235 from the plain and SSE2 kernels, 234 from the
  // 13-bit MMX entry (taken for widths that are not a multiple of 8).
  auto y_of = [](uint32_t features, int w) {
    PackedImage src(w, 2, CSP_BGRA32, 4);
    for (int i = 0; i < w * 2; ++i) {
      uint8_t* p = src.bytes.data() + i * 4;
      p[0] = 249, p[1] = 255, p[2] = 255;
    }
    PlanarImage dst(w, 2, CSP_I420);
    KernelEntry entry;
    EXPECT_EQ(Convert(features, src.desc, dst.desc, &entry), kConvertOk)
        << "features 0x" << std::hex << features << std::dec << ", width " << w;
    return std::make_pair(static_cast<int>(dst.Y(0, 0)), entry);
  };
  EXPECT_EQ(y_of(kPlainOnly, 10), std::make_pair(235, kEntryMmx));  // entry 1 holds the plain kernel
  EXPECT_EQ(y_of(kMmxOnly, 10), std::make_pair(234, kEntryMmx));
  EXPECT_EQ(y_of(kMmxSse2, 10), std::make_pair(234, kEntryMmx));
  EXPECT_EQ(y_of(kMmxSse2, 8), std::make_pair(235, kEntrySse2));
  EXPECT_EQ(y_of(kMmxOnly, 8), std::make_pair(234, kEntrySse2));  // entry 2 falls back to MMX
  // The 256-bit entries only where the processor has them.
  if (DetectCpuFeatures() & kCpuAvx2) {
    EXPECT_EQ(y_of(kMmxSse2 | kCpuAvx2, 64).first, 235);
  }
  // Grey 128 is 126 for all.
  PackedImage grey(8, 2, CSP_BGRA32, 4, 128);
  for (uint32_t features : {kPlainOnly, kMmxOnly, kMmxSse2}) {
    SCOPED_TRACE(::testing::Message() << "features 0x" << std::hex << features);
    PlanarImage dst(8, 2, CSP_I420);
    ASSERT_EQ(Convert(features, grey.desc, dst.desc), kConvertOk);
    EXPECT_EQ(dst.Y(3, 1), 126);
    EXPECT_EQ(dst.P2(1, 0), 128);
    EXPECT_EQ(dst.P3(2, 0), 128);
  }
}

TEST(ColorSpaceConvertorTest, EntryChoiceFollowsWidthAndAlignment) {
  KernelEntry entry;
  {
    PlanarImage src(20, 2, CSP_I420);
    PackedImage dst(20, 2, CSP_BGR24, 3);
    ASSERT_EQ(Convert(kMmxSse2, src.desc, dst.desc, &entry), kConvertOk);
    EXPECT_EQ(entry, kEntryPlain);
  }
  {
    PlanarImage src(24, 2, CSP_I420);
    PackedImage dst(24, 2, CSP_BGR24, 3);
    ASSERT_EQ(Convert(kMmxSse2, src.desc, dst.desc, &entry), kConvertOk);
    EXPECT_EQ(entry, kEntrySse2);
  }
  {
    PlanarImage src(24, 2, CSP_I420);
    PackedImage dst(24, 2, CSP_BGRA32, 4);
    ASSERT_EQ(Convert(kMmxSse2, src.desc, dst.desc, &entry), kConvertOk);
    EXPECT_EQ(entry, kEntryMmx);  // a multiple of 8, not of 16
  }
  {
    // 4:2:2 output: aligned operands take SSE2, a misaligned one MMX.
    alignas(16) static uint8_t packed[32 * 2 * 2 + 16];
    PlanarImage src(32, 2, CSP_I420);
    ImageDesc dst{};
    dst.width = 32, dst.height = 2, dst.format = CSP_YUY2;
    dst.plane[0] = dst.plane[1] = dst.plane[2] = packed;
    dst.stride[0] = dst.stride[1] = dst.stride[2] = 64;
    const bool y_aligned = (reinterpret_cast<uintptr_t>(src.desc.plane[0]) & 15) == 0;
    ASSERT_EQ(Convert(kMmxSse2, src.desc, dst, &entry), kConvertOk);
    EXPECT_EQ(entry, y_aligned ? kEntrySse2 : kEntryMmx);
    dst.plane[0] = packed + 1;
    ASSERT_EQ(Convert(kMmxSse2, src.desc, dst, &entry), kConvertOk);
    EXPECT_EQ(entry, kEntryMmx);
  }
}

TEST(ColorSpaceConvertorTest, BadSizesAndPlanesAreRefusedWithTheDestinationUntouched) {
  for (auto [w, h] : {std::pair{3, 2}, std::pair{4, 3}, std::pair{-2, 2}, std::pair{2, -2}, std::pair{0, 2}}) {
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    PlanarImage src(4, 4, CSP_I420, 100, 100, 100);
    src.desc.width = w, src.desc.height = h;
    PackedImage dst(4, 4, CSP_RGB24, 3, 0x33);
    EXPECT_EQ(Convert(kMmxSse2, src.desc, dst.desc), kConvertInvalidArgs) << w << "x" << h;
    for (size_t i = 0; i < dst.bytes.size(); ++i) ASSERT_EQ(dst.bytes[i], 0x33) << "packed byte " << i;
    PlanarImage copy(4, 4, CSP_I420, 0x33, 0x33, 0x33);
    EXPECT_EQ(Convert(kMmxSse2, src.desc, copy.desc), kConvertInvalidArgs);
    for (size_t i = 0; i < copy.bytes.size(); ++i) ASSERT_EQ(copy.bytes[i], 0x33) << "planar byte " << i;
  }
  {
    PlanarImage src(8, 8, CSP_I420);
    PackedImage dst(6, 8, CSP_RGB24, 3);
    EXPECT_EQ(Convert(kMmxSse2, src.desc, dst.desc), kConvertInvalidArgs);  // destination narrower
  }
  {
    PlanarImage src(4, 4, CSP_I420);
    src.desc.plane[2] = nullptr;
    PackedImage dst(4, 4, CSP_RGB24, 3);
    EXPECT_EQ(Convert(kMmxSse2, src.desc, dst.desc), kConvertInvalidArgs);
  }
  EXPECT_EQ(CColorSpaceConvertor(kMmxSse2).Convert(1, nullptr, nullptr), kConvertInvalidArgs);
}

TEST(ColorSpaceConvertorTest, PairsWithoutAKernelAreUnsupported) {
  PackedImage rgb(4, 2, CSP_RGB24, 3);
  PackedImage bgr(4, 2, CSP_BGR24, 3);
  EXPECT_EQ(Convert(kMmxSse2, rgb.desc, bgr.desc), kConvertUnsupported);
  PackedImage yuy2(4, 2, CSP_YUY2, 2);
  PackedImage uyvy(4, 2, CSP_UYVY, 2);
  EXPECT_EQ(Convert(kMmxSse2, yuy2.desc, uyvy.desc), kConvertUnsupported);
  PlanarImage i420(4, 2, CSP_I420);
  PackedImage odd(4, 2, 9, 4);
  EXPECT_EQ(Convert(kMmxSse2, i420.desc, odd.desc), kConvertUnsupported);
}

TEST(ColorSpaceConvertorTest, LargerI420DestinationIsPaddedOnlyWhenTopDownI420) {
  PlanarImage src(4, 2, CSP_I420, 50, 60, 70);
  PlanarImage dst(8, 6, CSP_I420, 9, 9, 9);
  ASSERT_EQ(Convert(kMmxSse2, src.desc, dst.desc), kConvertOk);
  for (int row = 0; row < 6; ++row) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(dst.Y(x, row), (row < 2 && x < 4) ? 50 : 0) << x << "," << row;
  }
  for (int row = 0; row < 3; ++row) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(dst.P2(x, row), (row < 1 && x < 2) ? 60 : 128) << x << "," << row;
      EXPECT_EQ(dst.P3(x, row), (row < 1 && x < 2) ? 70 : 128) << x << "," << row;
    }
  }
  for (uint32_t format : {static_cast<uint32_t>(CSP_YV12), CSP_I420 | CSP_BOTTOM_UP}) {
    SCOPED_TRACE(::testing::Message() << "format " << format);
    PlanarImage other(8, 6, format, 9, 9, 9);
    ASSERT_EQ(Convert(kMmxSse2, src.desc, other.desc), kConvertOk);
    EXPECT_EQ(other.Y(7, 5), 9) << "no padding";
    EXPECT_EQ(other.P2(3, 2), 9);
  }
}

TEST(ColorSpaceConvertorTest, PlanarCopiesKeepUAndVApartAcrossPlaneOrders) {
  PlanarImage yv12(4, 2, CSP_YV12, 1, 2, 3);  // second plane V = 2, third U = 3
  PlanarImage i420(4, 2, CSP_I420);
  ASSERT_EQ(Convert(kMmxSse2, yv12.desc, i420.desc), kConvertOk);
  EXPECT_EQ(i420.P2(0, 0), 3);  // U
  EXPECT_EQ(i420.P3(0, 0), 2);  // V
  PlanarImage same(4, 2, CSP_YV12);
  ASSERT_EQ(Convert(kMmxSse2, yv12.desc, same.desc), kConvertOk);
  EXPECT_EQ(same.P2(1, 0), 2);
  EXPECT_EQ(same.P3(1, 0), 3);
}

TEST(ColorSpaceConvertorTest, RowOrderFlagsAndZeroStride) {
  PlanarImage src(2, 4, CSP_I420, 16, 128, 128);
  std::memset(src.desc.plane[0] + 6, 235, 2);  // last picture row white
  PackedImage top(2, 4, CSP_RGB24, 3);
  top.desc.stride[0] = 0;  // taken as the row size rounded up to 4 bytes: 8
  std::vector<uint8_t> big(8 * 4, 0);
  top.desc.plane[0] = big.data();
  ASSERT_EQ(Convert(kMmxSse2, src.desc, top.desc), kConvertOk);
  EXPECT_EQ(big[3 * 8], 253);
  EXPECT_EQ(big[6], 0) << "padding byte of the row untouched";
  PackedImage bottom_up(2, 4, CSP_RGB24 | CSP_BOTTOM_UP, 3);
  ASSERT_EQ(Convert(kMmxSse2, src.desc, bottom_up.desc), kConvertOk);
  EXPECT_EQ(bottom_up.bytes[0], 253) << "first row in memory is the last picture row";
  // A bottom-up flag on the planar source of an RGB conversion has no effect.
  src.desc.format = CSP_I420 | CSP_BOTTOM_UP;
  PackedImage again(2, 4, CSP_RGB24, 3);
  ASSERT_EQ(Convert(kMmxSse2, src.desc, again.desc), kConvertOk);
  EXPECT_EQ(again.bytes[3 * 6], 253);
}

TEST(ColorSpaceConvertorTest, YvyuIsYuy2WithChromaExchanged) {
  PlanarImage src(16, 2, CSP_I420, 40, 50, 60);
  PackedImage yvyu(16, 2, CSP_YVYU, 2);
  ASSERT_EQ(Convert(kMmxSse2, src.desc, yvyu.desc), kConvertOk);
  EXPECT_EQ(yvyu.bytes[0], 40);
  EXPECT_EQ(yvyu.bytes[1], 60);
  EXPECT_EQ(yvyu.bytes[3], 50);
  PlanarImage back(16, 2, CSP_I420);
  ASSERT_EQ(Convert(kMmxSse2, yvyu.desc, back.desc), kConvertOk);
  EXPECT_EQ(back.P2(3, 0), 50);
  EXPECT_EQ(back.P3(3, 0), 60);
}

// Every conversion through the converter, every width from 1 to 4,000 (odd
// ones refused untouched), random buffer offsets: every feature word gives
// the plain word's bytes, except RGB to YUV through the MMX entry.
TEST(ColorSpaceConvertorTest, EveryFeatureWordGivesThePlainBytesForEveryWidth) {
  const uint32_t packed_codes[] = {CSP_RGB24, CSP_BGR24, CSP_RGBA32, CSP_BGRA32, CSP_ABGR32,
                                   CSP_ARGB32, CSP_YUY2,  CSP_YVYU,   CSP_UYVY};
  auto bpp = [](uint32_t code) { return code == CSP_RGB24 || code == CSP_BGR24 ? 3 : (code >= 20 ? 2 : 4); };
  std::mt19937 rng(7);
  CColorSpaceConvertor plain(kPlainOnly), sse2(kMmxSse2 | (DetectCpuFeatures() & kCpuAvx2));
  const int h = 2;
  for (int w = 1; w <= 4000; w += (w < 200 ? 1 : 97)) {
    const uint32_t code = packed_codes[w % 9];
    const int b = bpp(code);
    std::vector<uint8_t> packed(static_cast<size_t>(w * h * b) + 16), planar(static_cast<size_t>(w * h * 2) + 40);
    for (auto& x : packed) x = static_cast<uint8_t>(rng());
    for (auto& x : planar) x = static_cast<uint8_t>(rng());
    const int off = static_cast<int>(rng() % 16);
    auto planar_desc = [&](uint8_t* base) {
      ImageDesc d{};
      d.width = w, d.height = h, d.format = CSP_I420;
      d.plane[0] = base + off, d.plane[1] = d.plane[0] + w * h, d.plane[2] = d.plane[1] + (w / 2 + 1) * h;
      d.stride[0] = w, d.stride[1] = d.stride[2] = w / 2 + 1;
      return d;
    };
    auto packed_desc = [&](uint8_t* base) {
      ImageDesc d{};
      d.width = w, d.height = h, d.format = code;
      d.plane[0] = d.plane[1] = d.plane[2] = base + off;
      d.stride[0] = d.stride[1] = d.stride[2] = w * b;
      return d;
    };
    // Planar to packed.
    std::vector<uint8_t> out_a(packed.size(), 1), out_b(packed.size(), 1);
    ImageDesc src = planar_desc(planar.data());
    ImageDesc da = packed_desc(out_a.data()), db = packed_desc(out_b.data());
    const int32_t ra = plain.Convert(1, &src, &da), rb = sse2.Convert(1, &src, &db);
    EXPECT_EQ(ra, (w & 1) ? kConvertInvalidArgs : kConvertOk) << w;
    EXPECT_EQ(ra, rb) << "planar to " << code << " width " << w;
    EXPECT_EQ(out_a, out_b) << "planar to " << code << " width " << w;
    // Packed to planar.
    std::vector<uint8_t> pa(planar.size(), 1), pb(planar.size(), 1);
    ImageDesc ps = packed_desc(packed.data());
    ImageDesc pda = planar_desc(pa.data()), pdb = planar_desc(pb.data());
    EXPECT_EQ(plain.Convert(1, &ps, &pda), sse2.Convert(1, &ps, &pdb)) << code << " to planar, width " << w;
    const bool mmx_entry = (w % 8) != 0 && code != CSP_YUY2 && code != CSP_YVYU && code != CSP_UYVY &&
                           code != CSP_ABGR32 && code != CSP_ARGB32;
    if (!mmx_entry) {
      EXPECT_EQ(pa, pb) << code << " to planar, width " << w;
    }
  }
}

// Taller pictures with padded strides that leave rows at every alignment:
// every feature word this processor can run (the SSSE3 forms without the
// 256-bit ones, then with them) gives the plain bytes both ways, in both
// row orders.
TEST(ColorSpaceConvertorTest, EveryVectorFormGivesThePlainBytesForTallPaddedPictures) {
  const uint32_t packed_codes[] = {CSP_RGB24, CSP_BGR24, CSP_RGBA32, CSP_BGRA32, CSP_ABGR32,
                                   CSP_ARGB32, CSP_YUY2,  CSP_YVYU,   CSP_UYVY};
  auto bpp = [](uint32_t code) { return code == CSP_RGB24 || code == CSP_BGR24 ? 3 : (code >= 20 ? 2 : 4); };
  const uint32_t cpu = DetectCpuFeatures();
  std::vector<uint32_t> words = {kMmxSse2};
  if (cpu & kCpuSsse3) words.push_back(kMmxSse2 | kCpuSsse3);
  if ((cpu & kCpuSsse3) && (cpu & kCpuAvx2)) words.push_back(kMmxSse2 | kCpuSsse3 | kCpuAvx2);
  CColorSpaceConvertor plain(kPlainOnly);
  std::mt19937 rng(2026);
  for (uint32_t word : words) {
    CColorSpaceConvertor simd(word);
    // Multiples of 8 (narrower RGB rows take the MMX arithmetic), some
    // leaving a tail beyond the 16- and 32-pixel steps.
    for (int w : {64, 96, 136, 328}) {
      for (uint32_t code : packed_codes) {
        const int b = bpp(code), h = 10, pad = static_cast<int>(rng() % 13);
        const uint32_t flip = (rng() & 1) ? static_cast<uint32_t>(CSP_BOTTOM_UP) : 0u;
        SCOPED_TRACE(::testing::Message() << "word " << word << " code " << code << " width " << w << " pad " << pad
                                        << (flip != 0 ? " bottom-up" : " top-down"));
        const int packed_stride = w * b + pad, sy = w + pad, suv = w / 2 + pad;
        std::vector<uint8_t> packed(static_cast<size_t>(packed_stride) * h);
        std::vector<uint8_t> planar(static_cast<size_t>(sy) * h + static_cast<size_t>(suv) * h);
        for (auto& x : packed) x = static_cast<uint8_t>(rng());
        for (auto& x : planar) x = static_cast<uint8_t>(rng());
        auto planar_desc = [&](uint8_t* base) {
          ImageDesc d{};
          d.width = w, d.height = h, d.format = CSP_I420;
          d.plane[0] = base, d.plane[1] = base + sy * h, d.plane[2] = d.plane[1] + suv * h / 2;
          d.stride[0] = sy, d.stride[1] = d.stride[2] = suv;
          return d;
        };
        auto packed_desc = [&](uint8_t* base) {
          ImageDesc d{};
          d.width = w, d.height = h, d.format = code | flip;
          d.plane[0] = d.plane[1] = d.plane[2] = base;
          d.stride[0] = d.stride[1] = d.stride[2] = packed_stride;
          return d;
        };
        std::vector<uint8_t> pa(planar.size(), 1), pb(planar.size(), 1);
        ImageDesc ps = packed_desc(packed.data()), pda = planar_desc(pa.data()), pdb = planar_desc(pb.data());
        ASSERT_EQ(plain.Convert(1, &ps, &pda), kConvertOk);
        ASSERT_EQ(simd.Convert(1, &ps, &pdb), kConvertOk);
        EXPECT_EQ(pa, pb) << "word " << word << " code " << code << " width " << w << " to planar";
        std::vector<uint8_t> oa(packed.size(), 1), ob(packed.size(), 1);
        ImageDesc src = planar_desc(planar.data()), da = packed_desc(oa.data()), db = packed_desc(ob.data());
        ASSERT_EQ(plain.Convert(1, &src, &da), kConvertOk);
        ASSERT_EQ(simd.Convert(1, &src, &db), kConvertOk);
        // The fourth byte of a 32-bit pixel is opaque from every kernel here.
        EXPECT_EQ(oa, ob) << "word " << word << " code " << code << " width " << w << " from planar";
      }
    }
  }
}

}  // namespace
}  // namespace nsVZVP
