#include "video/devices/color/video_format_converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "video/engine/core/vz_video_sample_allocator.h"

namespace {

using namespace nsVZVP;

class FrameConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    allocator_ = new CVzVideoSampleAllocator(64, 0, 0);
    allocator_->AddRef();
  }
  void TearDown() override { allocator_->Release(); }

  // An I420 sample laid out as the renderer gets it: rows padded to 32.
  IVideoSample* RenderSource(int w, int h, uint8_t y, uint8_t u, uint8_t v) {
    const int a = (w + 31) & ~31;
    IVideoSample* s = nullptr;
    EXPECT_EQ(allocator_->GetSample(a * h * 3 / 2, &s), VSE_S_OK);
    void* p = nullptr;
    s->GetPointer(&p);
    auto* d = static_cast<uint8_t*>(p);
    std::memset(d, y, a * h);
    std::memset(d + a * h, u, a * h / 4);
    std::memset(d + a * h * 5 / 4, v, a * h / 4);
    VideoFormat f{2, w, h, 30.f, 0};
    s->SetFormat(&f);
    return s;
  }

  CVzVideoSampleAllocator* allocator_ = nullptr;
};

TEST_F(FrameConvertTest, CapturedI420PassesThroughWithoutACopy) {
  CVideoFormatConverter c;
  std::vector<uint8_t> frame(16);
  EXPECT_EQ(c.ConvertEncoderInput(VideoFormat{2, 4, 2, 30.f, 0}, frame.data(), 16), frame.data());
  EXPECT_EQ(c.buffer_size_for_testing(), 0);
}

TEST_F(FrameConvertTest, EncoderBufferGrowsToTheLargestFrameAndNeverShrinks) {
  CVideoFormatConverter c;
  std::vector<uint8_t> vga(640 * 480 * 3, 0), qvga(320 * 240 * 3, 0);
  ASSERT_NE(c.ConvertEncoderInput(VideoFormat{4, 640, 480, 30.f, 0}, vga.data(), static_cast<int32_t>(vga.size())),
            nullptr);
  EXPECT_EQ(c.buffer_size_for_testing(), 460800);
  ASSERT_NE(c.ConvertEncoderInput(VideoFormat{4, 320, 240, 30.f, 0}, qvga.data(), static_cast<int32_t>(qvga.size())),
            nullptr);
  EXPECT_EQ(c.buffer_size_for_testing(), 460800);
}

TEST_F(FrameConvertTest, EncoderPlanesFollowTheRoundedWidth) {
  CVideoFormatConverter c;
  const int w = 100, h = 2;
  std::vector<uint8_t> red(w * h * 3);
  for (int i = 0; i < w * h; ++i) red[i * 3] = 0, red[i * 3 + 1] = 0, red[i * 3 + 2] = 255;  // BGR24
  const uint8_t* out = c.ConvertEncoderInput(VideoFormat{4, w, h, 30.f, 0}, red.data(), w * h * 3);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out[0], 82);
  EXPECT_EQ(out[128 * h], 90) << "U starts at 128 x height";
  EXPECT_EQ(out[128 * h + 49], 90);
  EXPECT_EQ(out[128 * h + 128 * h / 4], 240) << "V a quarter further";
}

TEST_F(FrameConvertTest, BadCapturedFramesGiveNullInsteadOfStaleBytes) {
  CVideoFormatConverter c;
  std::vector<uint8_t> frame(64 * 64 * 3, 0);
  EXPECT_EQ(c.ConvertEncoderInput(VideoFormat{4, 63, 64, 30.f, 0}, frame.data(), 63 * 64 * 3), nullptr)
      << "odd width: the converter refuses, and the encoder must not get the old buffer";
  EXPECT_EQ(c.ConvertEncoderInput(VideoFormat{4, 64, 64, 30.f, 0}, frame.data(), 64 * 64 * 3 - 1), nullptr)
      << "a frame shorter than its format";
  EXPECT_EQ(c.ConvertEncoderInput(VideoFormat{9, 64, 64, 30.f, 0}, frame.data(), 64 * 64 * 4), nullptr);
  EXPECT_EQ(c.ConvertEncoderInput(VideoFormat{4, -64, 64, 30.f, 0}, frame.data(), 64 * 64 * 3), nullptr);
  EXPECT_EQ(c.ConvertEncoderInput(VideoFormat{4, 100000, 64, 30.f, 0}, frame.data(), INT32_MAX), nullptr);
  // YV12 (type 5) converts.
  EXPECT_NE(c.ConvertEncoderInput(VideoFormat{5, 64, 64, 30.f, 0}, frame.data(), 64 * 64 * 3 / 2), nullptr);
}

TEST_F(FrameConvertTest, RenderImagesGoToEveryTabledFormatAndNotToBgra) {
  CVideoFormatConverter c;
  IVideoSample* src = RenderSource(16, 2, 235, 128, 128);
  IVideoSample* rgb = c.ConvertRenderImage(CSP_RGB24, src, allocator_);
  ASSERT_NE(rgb, nullptr);
  void* p = nullptr;
  rgb->GetPointer(&p);
  EXPECT_EQ(static_cast<uint8_t*>(p)[0], 253);
  int32_t size = 0;
  rgb->GetSize(&size);
  EXPECT_EQ(size, 48 * 2);
  rgb->Release();
  for (uint32_t code : {static_cast<uint32_t>(CSP_BGR24), static_cast<uint32_t>(CSP_RGBA32),
                        static_cast<uint32_t>(CSP_ARGB32), static_cast<uint32_t>(CSP_YUY2),
                        static_cast<uint32_t>(CSP_I420), static_cast<uint32_t>(CSP_YV12), CSP_BGR24 | CSP_BOTTOM_UP}) {
    IVideoSample* out = c.ConvertRenderImage(code, src, allocator_);
    EXPECT_NE(out, nullptr) << code;
    if (out) out->Release();
  }
  EXPECT_EQ(c.ConvertRenderImage(CSP_BGRA32, src, allocator_), nullptr);
  EXPECT_EQ(c.ConvertRenderImage(CSP_RGBA32 | CSP_BOTTOM_UP, src, allocator_), nullptr) << "decoded pictures only";
  EXPECT_EQ(c.ConvertRenderImage(CSP_RGB24, nullptr, allocator_), nullptr);
  src->SetActualDataLength(95);  // 96 needed
  EXPECT_EQ(c.ConvertRenderImage(CSP_RGB24, src, allocator_), nullptr) << "shorter than its format";
  src->Release();
}

TEST_F(FrameConvertTest, DecodedPicturesUseTheDecodersStrides) {
  CVideoFormatConverter c(0);  // plain kernels only
  std::vector<uint8_t> y(40 * 4, 16), u(24 * 2, 128), v(24 * 2, 128);
  for (int x = 0; x < 8; ++x) y[40 * 3 + x] = 235;  // last row white
  uint8_t* planes[3] = {y.data(), u.data(), v.data()};
  IVideoSample* s = c.ConvertDecodedImage(CSP_RGBA32 | CSP_BOTTOM_UP, DecodeBufferInfo{8, 4, 40, 24}, allocator_, planes);
  ASSERT_NE(s, nullptr);
  void* p = nullptr;
  s->GetPointer(&p);
  EXPECT_EQ(static_cast<uint8_t*>(p)[0], 253) << "bottom-up: the last row first";
  EXPECT_EQ(static_cast<uint8_t*>(p)[3], 255);
  s->Release();
  EXPECT_EQ(c.ConvertDecodedImage(CSP_RGB24, DecodeBufferInfo{7, 4, 40, 24}, allocator_, planes), nullptr);
  EXPECT_EQ(c.ConvertDecodedImage(CSP_RGB24, DecodeBufferInfo{0, 4, 40, 24}, allocator_, planes), nullptr);
  EXPECT_EQ(c.ConvertDecodedImage(CSP_BGRA32, DecodeBufferInfo{8, 4, 40, 24}, allocator_, planes), nullptr);
  EXPECT_EQ(allocator_->PooledCountForTesting(), 1) << "the failed conversion's sample is back in the pool";
}

}  // namespace
