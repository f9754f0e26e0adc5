#include "video/devices/render/gdi_draw.h"
#include "video/devices/render/draw_factory.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A window of 400 x 400 pixels in memory.
struct MemoryWindow {
  static constexpr int kSize = 400;
  std::vector<uint32_t> pixels = std::vector<uint32_t>(kSize * kSize, 0);
  int puts = 0;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * kSize + x]; }
};

class MemoryOutput : public IVideoFrameOutput {
 public:
  explicit MemoryOutput(MemoryWindow* window) : window_(window) {}
  uint32_t* Buffer(int32_t width, int32_t height) override {
    width_ = width, height_ = height;
    buffer_.assign(static_cast<size_t>(width) * height, 0xDEADBEEF);
    return buffer_.data();
  }
  bool Put(const Rect& target) override {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        window_->pixels[static_cast<size_t>(target.top + y) * MemoryWindow::kSize + target.left + x] =
            buffer_[static_cast<size_t>(y) * width_ + x];
    ++window_->puts;
    return true;
  }

 private:
  MemoryWindow* window_;
  std::vector<uint32_t> buffer_;
  int width_ = 0, height_ = 0;
};

// A frame whose pixel (x, y) (y from the top) is B = x, G = y, R = 0x80.
std::vector<uint8_t> Frame(int w, int h, bool bottom_up, int bytes_per_pixel = 3) {
  const int stride = ((w * bytes_per_pixel * 8 + 31) / 32) * 4;
  std::vector<uint8_t> data(static_cast<size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = &data[static_cast<size_t>(bottom_up ? h - 1 - y : y) * stride];
    for (int x = 0; x < w; ++x) {
      row[x * bytes_per_pixel] = static_cast<uint8_t>(x);
      row[x * bytes_per_pixel + 1] = static_cast<uint8_t>(y);
      row[x * bytes_per_pixel + 2] = 0x80;
    }
  }
  return data;
}

uint32_t Expected(int x, int y) { return 0xFF800000u | (static_cast<uint32_t>(y & 0xFF) << 8) | (x & 0xFF); }

class GdiDrawTest : public ::testing::Test {
 protected:
  GdiDrawTest() : draw_([this](IVideoWindowPort*) { return std::make_unique<MemoryOutput>(&window_); }) {
    draw_.Init(nullptr, nullptr);
    draw_.SetBackground(0, 0x0000FF, nullptr);  // red, as a COLORREF
  }
  int32_t DrawFrame(int w, int h, bool bottom_up, const Rect& target, int bytes_per_pixel = 3) {
    frame_ = Frame(w, h, bottom_up, bytes_per_pixel);
    header_.width = w;
    header_.height = bottom_up ? h : -h;
    header_.bit_count = static_cast<uint16_t>(bytes_per_pixel * 8);
    return draw_.Draw(frame_.data(), static_cast<uint32_t>(frame_.size()), &header_, Rect{0, 0, w, h}, target);
  }

  MemoryWindow window_;
  CGDIDraw draw_;
  std::vector<uint8_t> frame_;
  BitmapHeader header_;
};

TEST_F(GdiDrawTest, LetterboxedPictureOverTheBackgroundOnly) {
  const Rect target{0, 0, 400, 400};
  ASSERT_EQ(DrawFrame(200, 150, true, target), 1);  // 4:3 into a square: 400 x 300 at top 50
  for (int y : {0, 49, 350, 399}) {
    for (int x : {0, 200, 399}) EXPECT_EQ(window_.At(x, y), 0xFFFF0000u) << x << "," << y;
  }
  // Nearest-neighbour: window (x, 50 + y) shows frame (x / 2, y / 2).
  for (int y : {0, 1, 2, 151, 299}) {
    for (int x : {0, 1, 3, 250, 399}) EXPECT_EQ(window_.At(x, 50 + y), Expected(x / 2, y / 2)) << x << "," << y;
  }
}

TEST_F(GdiDrawTest, TopDownAndBottomUpFramesBothUprightAnd32BitToo) {
  const Rect target{0, 0, 100, 100};
  ASSERT_EQ(DrawFrame(100, 100, false, target), 1);
  const std::vector<uint32_t> top_down = window_.pixels;
  ASSERT_EQ(DrawFrame(100, 100, true, target), 1);
  EXPECT_EQ(window_.pixels, top_down);
  ASSERT_EQ(DrawFrame(100, 100, true, target, 4), 1);
  EXPECT_EQ(window_.pixels, top_down);
  EXPECT_EQ(window_.At(7, 9), Expected(7, 9));
}

TEST_F(GdiDrawTest, MirrorSwapsColumnsAndFlipSwapsRows) {
  const Rect target{0, 0, 64, 48};
  draw_.SetEffectFlags(kEffectMirror);
  ASSERT_EQ(DrawFrame(64, 48, true, target), 1);
  EXPECT_EQ(window_.At(0, 5), Expected(63, 5));
  EXPECT_EQ(window_.At(63, 5), Expected(0, 5));
  draw_.SetEffectFlags(kEffectFlip);
  ASSERT_EQ(draw_.Draw(nullptr, 0, nullptr, Rect{0, 0, 64, 48}, target), 1);  // repaint with the new flags
  EXPECT_EQ(window_.At(5, 0), Expected(5, 47));
  EXPECT_EQ(window_.At(5, 47), Expected(5, 0));
}

TEST_F(GdiDrawTest, RefusalsAndRepaintsAnswerAsTheContractSays) {
  const Rect target{0, 0, 50, 50};
  EXPECT_EQ(draw_.Draw(nullptr, 0, nullptr, Rect{0, 0, 10, 10}, target), -3);  // nothing kept
  std::vector<uint8_t> yuv(150);
  BitmapHeader i420;
  i420.width = 10, i420.height = 10, i420.bit_count = 12, i420.compression = MakeFourCC('I', '4', '2', '0');
  EXPECT_EQ(draw_.Draw(yuv.data(), 150, &i420, Rect{0, 0, 10, 10}, target), -2);
  EXPECT_EQ(draw_.Draw(yuv.data(), 150, &i420, Rect{0, 0, 10, 10}, Rect{}), 1);  // empty target
  // Shorter than its header says, or a source outside the frame: refused.
  frame_ = Frame(10, 10, true);
  header_.width = 10, header_.height = 10, header_.bit_count = 24;
  const uint32_t short_size = static_cast<uint32_t>(frame_.size() - 1);
  EXPECT_EQ(draw_.Draw(frame_.data(), short_size, &header_, Rect{0, 0, 10, 10}, target), -1);
  EXPECT_EQ(draw_.Draw(frame_.data(), static_cast<uint32_t>(frame_.size()), &header_, Rect{0, 0, 11, 10}, target), -1);
  EXPECT_EQ(window_.puts, 0);
  ASSERT_EQ(DrawFrame(10, 10, true, target), 1);
  EXPECT_EQ(draw_.Draw(nullptr, 0, nullptr, Rect{0, 0, 10, 10}, target), 1);
  draw_.DiscardStream();
  EXPECT_EQ(draw_.Draw(nullptr, 0, nullptr, Rect{0, 0, 10, 10}, target), -3);
  EXPECT_EQ(draw_.DrawBkgnd(target), 1);
  EXPECT_EQ(window_.At(25, 25), 0xFFFF0000u);
  EXPECT_EQ(draw_.IsFourCCSupported(0), 1);
  EXPECT_EQ(draw_.IsFourCCSupported(MakeFourCC('Y', 'U', 'Y', '2')), 0);
  EXPECT_EQ(draw_.GetVAType(), 0);
}

TEST(DrawFactoryTest, SoftwareDrawWithoutADisplayAndNullDestruction) {
  DestoryDraw(nullptr);
  IVideoDraw* draw = CreateGDIDraw(nullptr, nullptr);
  ASSERT_NE(draw, nullptr);
  EXPECT_EQ(draw->NeedsWindowThread(), 0);
  DestoryDraw(draw);
}

}  // namespace
