#include "client/app/demo/frame_measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/ui/image.h"

namespace {

// The stamp drawn into an image, as B,G,R,A bytes of `width` x `height`.
std::vector<uint8_t> StampFrame(uint32_t value, int width, int height, int x, int y) {
  vz::Image image(width, height);
  image.FillForTesting(0xFF808080);
  auto canvas = vz::CreateImageCanvas(image);
  DrawStamp(*canvas, x, y, value);
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 4);
  std::memcpy(bytes.data(), image.data(), bytes.size());
  return bytes;
}

TEST(Stamp, ReadsBackEveryBitAtAnOffset) {
  for (uint32_t value : {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 0x12345678u, 0xA5A5A5A5u}) {
    const std::vector<uint8_t> frame = StampFrame(value, 500, 40, 37, 11);
    uint32_t read = 0;
    ASSERT_TRUE(ReadStamp(frame.data(), 500, 40, 37, 11, &read)) << value;
    EXPECT_EQ(read, value);
  }
}

TEST(Stamp, SurvivesCodecNoiseOnEveryPixel) {
  std::vector<uint8_t> frame = StampFrame(0x0BADF00Du, 450, 20, 0, 4);
  // +-40 on each channel, as a lossy codec may leave it near edges.
  for (size_t i = 0; i < frame.size(); ++i) {
    if (i % 4 == 3) continue;
    const int noisy = frame[i] + ((i * 7919) % 81) - 40;
    frame[i] = static_cast<uint8_t>(noisy < 0 ? 0 : noisy > 255 ? 255 : noisy);
  }
  uint32_t read = 0;
  ASSERT_TRUE(ReadStamp(frame.data(), 450, 20, 0, 4, &read));
  EXPECT_EQ(read, 0x0BADF00Du);
}

TEST(Stamp, RefusesWhatIsNoStamp) {
  std::vector<uint8_t> frame = StampFrame(0x00C0FFEEu, 450, 20, 0, 0);
  uint32_t read = 7;
  // Outside the frame, on either side.
  EXPECT_FALSE(ReadStamp(frame.data(), 450, 20, 450 - StampLayout::kWidth + 1, 0, &read));
  EXPECT_FALSE(ReadStamp(frame.data(), 450, 20, 0, 20 - StampLayout::kHeight + 1, &read));
  EXPECT_FALSE(ReadStamp(frame.data(), 450, 20, -1, 0, &read));
  EXPECT_FALSE(ReadStamp(nullptr, 450, 20, 0, 0, &read));
  // A flat area: the guards are not told apart.
  const std::vector<uint8_t> grey = StampFrame(0, 450, 20, 0, 0);
  std::vector<uint8_t> flat(grey.size(), 0x80);
  EXPECT_FALSE(ReadStamp(flat.data(), 450, 20, 0, 0, &read));
  // One bit flipped (a half-updated stamp): the parity says so.
  const int cell = StampLayout::kCell;
  for (int y = 0; y < cell; ++y) {
    for (int x = 5 * cell; x < 6 * cell; ++x) {
      uint8_t* p = frame.data() + (static_cast<size_t>(y) * 450 + x) * 4;
      const uint8_t flipped = p[0] > 128 ? 0 : 255;
      p[0] = p[1] = p[2] = flipped;
    }
  }
  EXPECT_FALSE(ReadStamp(frame.data(), 450, 20, 0, 0, &read));
  EXPECT_EQ(read, 7u);
}

TEST(FramePsnr, IdenticalFramesAndKnownError) {
  std::vector<uint8_t> a(400 * 4, 100), b = a;
  EXPECT_EQ(FramePsnr(a.data(), b.data(), 400), kIdenticalPsnr);
  EXPECT_EQ(FramePsnr(a.data(), b.data(), 0), kIdenticalPsnr);
  // Alpha is not compared.
  for (size_t i = 3; i < b.size(); i += 4) b[i] = 0;
  EXPECT_EQ(FramePsnr(a.data(), b.data(), 400), kIdenticalPsnr);
  // Every colour byte off by 16: MSE 256, PSNR 10 log10(65025 / 256) = 24.05 dB.
  for (size_t i = 0; i < b.size(); ++i) {
    if (i % 4 != 3) b[i] = 116;
  }
  EXPECT_NEAR(FramePsnr(a.data(), b.data(), 400), 24.05, 0.01);
  // The largest error a byte can have gives 0 dB, not a negative or NaN.
  std::vector<uint8_t> black(4 * 4, 0), white(4 * 4, 255);
  EXPECT_NEAR(FramePsnr(black.data(), white.data(), 4), 0.0, 1e-9);
}

TEST(FramePsnr, ReportsShowTheFigureOrSayIdenticalNeverTheCap) {
  EXPECT_EQ(PsnrText(kIdenticalPsnr), "identical");
  EXPECT_EQ(PsnrText(INFINITY), "identical");
  EXPECT_EQ(PsnrText(24.049), "24.0 dB");
  EXPECT_EQ(PsnrText(0.0), "0.0 dB");
  EXPECT_EQ(PsnrText(NAN), "unknown");
}

}  // namespace
