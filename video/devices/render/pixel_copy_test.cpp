#include "video/devices/render/pixel_copy.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/devices/render/draw_geometry.h"
#include "video/devices/render/fourcc_families.h"

namespace {

std::vector<uint8_t> Pattern(size_t n, int seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 37 + seed * 11 + (i >> 3)) & 0xFF);
  return v;
}

// Plain per-pixel references.
std::vector<uint8_t> ReferenceBgr(const std::vector<uint8_t>& src, int src_stride, bool bottom_up, int mode,
                                  int width, int rows, int pitch) {
  std::vector<uint8_t> out(static_cast<size_t>(pitch) * rows, 0xEE);
  for (int r = 0; r < rows; ++r) {
    const int src_row = bottom_up ? rows - 1 - r : r;
    const uint8_t* s = &src[static_cast<size_t>(src_row) * src_stride];
    uint8_t* d = &out[static_cast<size_t>(r) * pitch];
    if (mode == kBltBgrCopy) {
      for (int i = 0; i < std::min(src_stride, pitch); ++i) d[i] = s[i];
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const uint8_t b = s[3 * x], g = s[3 * x + 1], r8 = s[3 * x + 2];
      if (mode == kBltBgrTo32) {
        d[4 * x] = b, d[4 * x + 1] = g, d[4 * x + 2] = r8, d[4 * x + 3] = 0xFF;
      } else {
        const uint16_t v = mode == kBltBgrTo565 ? ((r8 >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                                : 0x8000 | ((r8 >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        d[2 * x] = static_cast<uint8_t>(v), d[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
  }
  return out;
}

TEST(BltBgrTest, EveryModeWidthAndDirectionMatchesThePlainLoop) {
  const int bytes_per_pixel[] = {4, 3, 2, 2};
  for (int mode = 0; mode < 4; ++mode) {
    for (int width = 1; width <= 7; ++width) {
      for (int rows : {1, 3, 5}) {
        for (bool bottom_up : {false, true}) {
          const int src_stride = ((width * 24 + 31) / 32) * 4;
          const int pitch = width * bytes_per_pixel[mode] + 6;  // pitch larger than the row
          const std::vector<uint8_t> src = Pattern(static_cast<size_t>(src_stride) * rows, width + rows);
          std::vector<uint8_t> dst(static_cast<size_t>(pitch) * rows, 0xEE);
          const uint8_t* first = bottom_up ? &src[static_cast<size_t>(rows - 1) * src_stride] : src.data();
          ASSERT_EQ(BltBGR(first, bottom_up ? -src_stride : src_stride, dst.data(), pitch, mode, width, rows), 1)
              << "mode " << mode << " width " << width << " rows " << rows << " bottom-up " << bottom_up;
          EXPECT_EQ(dst, ReferenceBgr(src, src_stride, bottom_up, mode, width, rows, pitch))
              << "mode " << mode << " width " << width << " rows " << rows << " bottom-up " << bottom_up;
        }
      }
    }
  }
}

TEST(BltBgrTest, KnownValuesAndUnknownMode) {
  const uint8_t blue[3] = {0xFF, 0x00, 0x00};
  uint8_t out[4] = {};
  ASSERT_EQ(BltBGR(blue, 3, out, 4, kBltBgrTo565, 1, 1), 1);
  EXPECT_EQ(out[0] | (out[1] << 8), 0x001F);
  ASSERT_EQ(BltBGR(blue, 3, out, 4, kBltBgrTo555, 1, 1), 1);
  EXPECT_EQ(out[0] | (out[1] << 8), 0x801F);
  EXPECT_EQ(BltBGR(blue, 3, out, 4, 4, 1, 1), 0);
}

TEST(BltYuvPackedTest, CopiesWithinAGroupAndSwapsAcrossGroups) {
  const int width = 6, rows = 3, src_stride = 16, pitch = 20;
  const std::vector<uint8_t> src = Pattern(src_stride * rows, 3);
  const uint32_t yuy2_group[] = {kFourCC_YUY2, kFourCC_V422, kFourCC_YUNV, kFourCC_YUYV};
  const uint32_t uyvy_group[] = {kFourCC_UYVY, kFourCC_Y422, kFourCC_HDYC, kFourCC_UYNV};
  for (uint32_t source : {kFourCC_YUY2, kFourCC_UYVY}) {
    for (const uint32_t* group : {yuy2_group, uyvy_group}) {
      for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "fourcc 0x" << std::hex << source << " to 0x" << group[i]);
        std::vector<uint8_t> dst(pitch * rows, 0xEE);
        ASSERT_EQ(BltYUV_Packed(src.data(), src_stride, source, dst.data(), pitch, group[i], width, rows), 1);
        const bool swap = (source == kFourCC_YUY2) != (group == yuy2_group);
        for (int r = 0; r < rows; ++r) {
          for (int b = 0; b < pitch; ++b) {
            const uint8_t expected = b >= 2 * width ? 0xEE : src[r * src_stride + (swap ? b ^ 1 : b)];
            ASSERT_EQ(dst[r * pitch + b], expected) << "row " << r << " byte " << b;
          }
        }
      }
    }
  }
  // Y0 U Y1 V becomes U Y0 V Y1.
  const uint8_t yuy2[4] = {'y', 'u', 'Y', 'v'};
  uint8_t uyvy[4] = {};
  BltYUV_Packed(yuy2, 4, kFourCC_YUY2, uyvy, 4, kFourCC_UYVY, 2, 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(uyvy), 4), "uyvY");
  uint8_t out[4];
  EXPECT_EQ(BltYUV_Packed(yuy2, 4, kFourCC_V422, out, 4, kFourCC_YUY2, 2, 1), 0);  // not a source format
  EXPECT_EQ(BltYUV_Packed(yuy2, 4, kFourCC_YUY2, out, 4, kFourCC_I420, 2, 1), 0);
}

TEST(BltYuvPlanarTest, EveryLayoutPlacesThePlanesAsTheReferenceDoes) {
  const uint32_t layouts[] = {kFourCC_I420, kFourCC_IYUV, kFourCC_YV12, kFourCC_IMC1,
                              kFourCC_IMC2, kFourCC_IMC3, kFourCC_IMC4, kFourCC_NV12};
  for (uint32_t fourcc : layouts) {
    for (int width = 1; width <= 7; ++width) {
      for (int height : {1, 2, 3, 5, 6}) {
        const int luma_stride = width + 3, chroma_stride = width / 2 + 2;
        const int pitch = ((width + 8) / 2) * 2;  // even, larger than the width
        const int ch = height / 2, cw = width / 2;
        const std::vector<uint8_t> y = Pattern(luma_stride * height, 1);
        const std::vector<uint8_t> u = Pattern(chroma_stride * std::max(ch, 1), 2);
        const std::vector<uint8_t> v = Pattern(chroma_stride * std::max(ch, 1), 3);
        const size_t bytes = static_cast<size_t>(PlanarSurfaceBytes(fourcc, pitch, height));
        std::vector<uint8_t> dst(bytes, 0xEE), expected(bytes, 0xEE);
        for (int r = 0; r < height; ++r)
          for (int x = 0; x < width; ++x) expected[r * pitch + x] = y[r * luma_stride + x];
        const size_t base = static_cast<size_t>(pitch) * height;
        for (int r = 0; r < ch; ++r) {
          for (int x = 0; x < cw; ++x) {
            const uint8_t uu = u[r * chroma_stride + x], vv = v[r * chroma_stride + x];
            const int hp = pitch / 2;
            auto at = [&](size_t offset) -> uint8_t& { return expected.at(base + offset); };
            switch (fourcc) {
              case kFourCC_I420:
              case kFourCC_IYUV: at(r * hp + x) = uu, at(hp * ch + r * hp + x) = vv; break;
              case kFourCC_YV12: at(r * hp + x) = vv, at(hp * ch + r * hp + x) = uu; break;
              case kFourCC_IMC1: at(r * pitch + x) = vv, at(pitch * ch + r * pitch + x) = uu; break;
              case kFourCC_IMC3: at(r * pitch + x) = uu, at(pitch * ch + r * pitch + x) = vv; break;
              case kFourCC_IMC2: at(r * pitch + x) = vv, at(r * pitch + hp + x) = uu; break;
              case kFourCC_IMC4: at(r * pitch + x) = uu, at(r * pitch + hp + x) = vv; break;
              default: at(r * pitch + 2 * x) = uu, at(r * pitch + 2 * x + 1) = vv; break;
            }
          }
        }
        ASSERT_EQ(BltYUV_Planar(y.data(), u.data(), v.data(), luma_stride, chroma_stride, dst.data(), pitch, fourcc,
                                width, height),
                  1)
            << "fourcc " << fourcc << " " << width << "x" << height;
        ASSERT_EQ(dst, expected) << "fourcc " << fourcc << " " << width << "x" << height;
      }
    }
  }
  uint8_t out[16];
  EXPECT_EQ(BltYUV_Planar(out, out, out, 2, 1, out, 2, kFourCC_YUY2, 2, 2), 0);
}

TEST(FourCCFamiliesTest, ListsInPreferenceOrderAndCompatibility) {
  int32_t count = -1;
  const uint32_t* planar = GetCompatibleFourCC(kFourCC_YV12, &count);
  ASSERT_NE(planar, nullptr);
  EXPECT_EQ(count, 8);
  EXPECT_EQ(planar[0], kFourCC_I420);
  EXPECT_EQ(planar[3], kFourCC_NV12);
  EXPECT_EQ(planar[7], kFourCC_IMC4);
  EXPECT_EQ(GetCompatibleFourCC(kFourCC_UYVY, &count)[4], kFourCC_YUY2);
  EXPECT_EQ(GetCompatibleFourCC(kFourCC_NV12, &count), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(IsCompatibleFourCC(kFourCC_I420, kFourCC_IMC2));
  EXPECT_TRUE(IsCompatibleFourCC(kFourCC_UYVY, kFourCC_YUNV));
  EXPECT_FALSE(IsCompatibleFourCC(kFourCC_I420, kFourCC_YUY2));
  EXPECT_FALSE(IsCompatibleFourCC(kFourCC_NV12, kFourCC_NV12));
}

TEST(FitRectTest, LetterboxPillarboxAndEqualAspect) {
  Rect out;
  FitRect(&out, Rect{0, 0, 640, 480}, Rect{0, 0, 400, 400});
  EXPECT_EQ(out, (Rect{0, 50, 400, 350}));
  FitRect(&out, Rect{0, 0, 1280, 720}, Rect{10, 20, 650, 500});  // 16:9 in 4:3 → letterbox
  EXPECT_EQ(out, (Rect{10, 80, 650, 440}));
  FitRect(&out, Rect{0, 0, 480, 640}, Rect{0, 0, 400, 400});  // tall into square → pillarbox
  EXPECT_EQ(out, (Rect{50, 0, 350, 400}));
  FitRect(&out, Rect{0, 0, 480, 640}, Rect{30, 40, 430, 440});  // the same, in a target away from (0,0)
  EXPECT_EQ(out, (Rect{80, 40, 380, 440}));
  FitRect(&out, Rect{0, 0, 320, 240}, Rect{5, 5, 645, 485});
  EXPECT_EQ(out, (Rect{5, 5, 645, 485}));
  FitRect(&out, Rect{}, Rect{0, 0, 10, 10});
  EXPECT_EQ(out, (Rect{0, 0, 10, 10}));
  FitRect(&out, Rect{0, 0, 3, 1}, Rect{0, 0, 10, 10});  // 10 / 3 truncated to 3, centred at (10-3)/2
  EXPECT_EQ(out, (Rect{0, 3, 10, 6}));
}

TEST(BitmapHeaderTest, ImageBytesFollowTheRowPaddingAndRefuseNonsense) {
  BitmapHeader h;
  h.width = 162, h.height = -4, h.bit_count = 24;
  EXPECT_EQ(BitmapImageBytes(h), 488u * 4u);
  h.compression = kFourCC_I420, h.width = 7, h.height = 5;
  EXPECT_EQ(BitmapImageBytes(h), 35u + 2u * 3u * 2u);
  h.compression = kFourCC_YUY2;
  EXPECT_EQ(BitmapImageBytes(h), 70u);
  h.width = 0;
  EXPECT_EQ(BitmapImageBytes(h), 0u);
  h.width = 65536, h.height = 65536, h.compression = 0, h.bit_count = 32;
  EXPECT_EQ(BitmapImageBytes(h), 0u);  // over 1 GiB
  h.width = 4, h.height = 4, h.compression = kFourCC_NV12;
  EXPECT_EQ(BitmapImageBytes(h), 0u);
}

}  // namespace
