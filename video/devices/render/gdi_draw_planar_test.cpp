// The software draw's planar face: what it shows must be exactly what the
// converting way (the whole frame to 24-bit BGR by the plain kernels, then
// Draw) shows, whichever kernels the processor allows; refusals keep the
// picture; a frame's sample is kept by reference and let go.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "video/devices/color/color_space_convertor.h"
#include "video/devices/color/cpu_features.h"
#include "video/devices/render/gdi_draw.h"
#include "video/devices/render/render_fakes_testlib.h"
#include "video/devices/render/win_video_renderer.h"

namespace {

// The last picture put, in memory.
struct Shown {
  std::vector<uint32_t> pixels;
  int puts = 0;
};

class KeepingOutput : public IVideoFrameOutput {
 public:
  explicit KeepingOutput(Shown* shown) : shown_(shown) {}
  uint32_t* Buffer(int32_t width, int32_t height) override {
    // Stale bytes a draw forgot to write would show as 0xDEADBEEF.
    buffer_.assign(static_cast<size_t>(width) * height, 0xDEADBEEF);
    return buffer_.data();
  }
  bool Put(const Rect&) override {
    shown_->pixels = buffer_;
    ++shown_->puts;
    return true;
  }

 private:
  Shown* shown_;
  std::vector<uint32_t> buffer_;
};

std::unique_ptr<CGDIDraw> MakeDraw(Shown* shown, uint32_t cpu_features) {
  auto draw = std::make_unique<CGDIDraw>(
      [shown](IVideoWindowPort*) { return std::make_unique<KeepingOutput>(shown); }, cpu_features);
  draw->Init(nullptr, nullptr);
  draw->SetBackground(0, 0x00FF00, nullptr);
  return draw;
}

// A w x h I420 frame of noise (a sample taken from a wrong place shows),
// each plane's rows `pad` bytes longer than its picture.
struct I420 {
  std::vector<uint8_t> bytes;
  PlanarFrame frame;
};

I420 MakeFrame(int w, int h, int pad, uint32_t seed) {
  I420 f;
  const int sy = w + pad, suv = w / 2 + pad;
  const size_t luma = static_cast<size_t>(sy) * h, chroma = static_cast<size_t>(suv) * (h / 2);
  f.bytes.resize(luma + 2 * chroma);
  for (uint8_t& b : f.bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  f.frame.y = f.bytes.data();
  f.frame.u = f.frame.y + luma;
  f.frame.v = f.frame.u + chroma;
  f.frame.stride_y = sy;
  f.frame.stride_uv = suv;
  f.frame.width = w;
  f.frame.height = h;
  return f;
}

// The converting way: the plain kernels to top-down 24-bit BGR, then Draw.
std::vector<uint32_t> ThroughRgb(const I420& f, const Rect& target, uint32_t effects) {
  const int w = f.frame.width, h = f.frame.height;
  const int stride = BitmapRgbStride(w, 24);
  std::vector<uint8_t> bgr(static_cast<size_t>(stride) * h);
  nsVZVP::ImageDesc in{};
  in.plane[0] = const_cast<uint8_t*>(f.frame.y);
  in.plane[1] = const_cast<uint8_t*>(f.frame.u);
  in.plane[2] = const_cast<uint8_t*>(f.frame.v);
  in.stride[0] = f.frame.stride_y;
  in.stride[1] = in.stride[2] = f.frame.stride_uv;
  in.width = w, in.height = h, in.format = nsVZVP::CSP_I420;
  nsVZVP::ImageDesc out{};
  out.plane[0] = out.plane[1] = out.plane[2] = bgr.data();
  out.stride[0] = out.stride[1] = out.stride[2] = stride;
  out.width = w, out.height = h, out.format = nsVZVP::CSP_BGR24;
  EXPECT_EQ(nsVZVP::CColorSpaceConvertor(0).Convert(1, &in, &out), nsVZVP::kConvertOk);
  Shown shown;
  auto draw = MakeDraw(&shown, 0);
  draw->SetEffectFlags(effects);
  BitmapHeader header;
  header.width = w, header.height = -h, header.bit_count = 24;
  EXPECT_EQ(draw->Draw(bgr.data(), static_cast<uint32_t>(bgr.size()), &header, Rect{0, 0, w, h}, target), 1);
  return shown.pixels;
}

TEST(GdiDrawPlanarTest, ShowsExactlyWhatTheConvertingWayShowsWithEveryKernelAndEffect) {
  struct Case {
    int w, h, pad;
  };
  // Widths that take the 16-pixel blocks, and ones whose rows end in the
  // plain kernel's columns; padded rows.
  const Case frames[] = {{64, 36, 0}, {50, 30, 13}, {320, 180, 32}, {2, 2, 1}};
  const Rect targets[] = {{0, 0, 64, 36}, {0, 0, 333, 187}, {0, 0, 41, 23}, {0, 0, 100, 100}, {0, 0, 1, 1}};
  const uint32_t cpus[] = {nsVZVP::DetectCpuFeatures(), 0};
  for (const Case& c : frames) {
    const I420 f = MakeFrame(c.w, c.h, c.pad, static_cast<uint32_t>(c.w * 7 + c.h));
    for (const Rect& target : targets) {
      for (uint32_t effects : {0u, kEffectMirror, kEffectFlip, kEffectMirror | kEffectFlip}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " into " << target.Width() << "x" << target.Height()
                                        << " effects " << effects);
        const std::vector<uint32_t> expected = ThroughRgb(f, target, effects);
        ASSERT_EQ(expected.size(), static_cast<size_t>(target.Width()) * target.Height());
        for (uint32_t cpu : cpus) {
          Shown shown;
          auto draw = MakeDraw(&shown, cpu);
          draw->SetEffectFlags(effects);
          ASSERT_EQ(draw->DrawPlanar(f.frame, target), 1) << "cpu " << cpu;
          EXPECT_EQ(shown.pixels, expected) << c.w << "x" << c.h << " into " << target.Width() << "x"
                                            << target.Height() << " effects " << effects << " cpu " << cpu;
        }
      }
    }
  }
}

TEST(GdiDrawPlanarTest, RefusedFramesLeaveTheKeptPictureForRepaints) {
  Shown shown;
  auto draw = MakeDraw(&shown, nsVZVP::DetectCpuFeatures());
  const Rect target{0, 0, 80, 45};
  EXPECT_EQ(draw->Draw(nullptr, 0, nullptr, Rect{0, 0, 64, 36}, target), -3);  // nothing kept yet
  const I420 good = MakeFrame(64, 36, 4, 1);
  ASSERT_EQ(draw->DrawPlanar(good.frame, target), 1);
  const std::vector<uint32_t> picture = shown.pixels;
  EXPECT_EQ(draw->DrawPlanar(good.frame, Rect{}), 1);  // an empty target: nothing to do
  EXPECT_EQ(shown.puts, 1);

  std::vector<PlanarFrame> refused(6, good.frame);
  refused[0].width = 63;  // odd sizes: the converting way's to refuse
  refused[1].height = 35;
  refused[2].u = nullptr;
  refused[3].stride_y = 63;  // rows shorter than the picture
  refused[4].stride_uv = 31;
  refused[5].width = 1 << 20;
  for (size_t i = 0; i < refused.size(); ++i) EXPECT_EQ(draw->DrawPlanar(refused[i], target), -2) << "refused " << i;
  EXPECT_EQ(shown.puts, 1);

  // The kept frame is the good one: a repaint shows it again, mirrored
  // when asked, from its own copy (the caller's buffer may change).
  I420 scribbled = MakeFrame(64, 36, 4, 1);  // the same bytes as the good frame
  ASSERT_EQ(draw->DrawPlanar(scribbled.frame, target), 1);
  std::fill(scribbled.bytes.begin(), scribbled.bytes.end(), 0);
  EXPECT_EQ(draw->Draw(nullptr, 0, nullptr, Rect{0, 0, 64, 36}, target), 1);
  EXPECT_EQ(shown.pixels, picture);
  draw->SetEffectFlags(kEffectMirror);
  ASSERT_EQ(draw->Draw(nullptr, 0, nullptr, Rect{0, 0, 64, 36}, target), 1);
  EXPECT_EQ(shown.pixels, ThroughRgb(good, target, kEffectMirror));
}

TEST(GdiDrawPlanarTest, AFramesSampleIsKeptByReferenceUntilTheNextFrameOrTheDiscard) {
  Shown shown;
  auto draw = MakeDraw(&shown, nsVZVP::DetectCpuFeatures());
  const Rect target{0, 0, 32, 18};
  auto frame_of = [](TestSample* sample) {
    void* p = nullptr;
    sample->GetPointer(&p);
    PlanarFrame f;
    f.owner = sample;
    f.y = static_cast<const uint8_t*>(p);
    f.u = f.y + 64 * 36;
    f.v = f.u + 32 * 18;
    f.stride_y = 64, f.stride_uv = 32, f.width = 64, f.height = 36;
    return f;
  };
  TestSample* a = MakeTestSample(2, 64, 36);
  TestSample* b = MakeTestSample(2, 64, 36);
  ASSERT_EQ(draw->DrawPlanar(frame_of(a), target), 1);
  EXPECT_EQ(a->GetRefCount(), 2);
  ASSERT_EQ(draw->DrawPlanar(frame_of(a), target), 1);  // the same sample again: one reference still
  EXPECT_EQ(a->GetRefCount(), 2);
  ASSERT_EQ(draw->DrawPlanar(frame_of(b), target), 1);
  EXPECT_EQ(a->GetRefCount(), 1);
  EXPECT_EQ(b->GetRefCount(), 2);
  draw->DiscardStream();
  EXPECT_EQ(b->GetRefCount(), 1);
  EXPECT_EQ(draw->Draw(nullptr, 0, nullptr, Rect{0, 0, 64, 36}, target), -3);

  // An RGB frame replaces it; so does the draw's end.
  ASSERT_EQ(draw->DrawPlanar(frame_of(b), target), 1);
  std::vector<uint8_t> rgb(static_cast<size_t>(BitmapRgbStride(8, 24)) * 8, 0x40);
  BitmapHeader header;
  header.width = 8, header.height = 8, header.bit_count = 24;
  ASSERT_EQ(draw->Draw(rgb.data(), static_cast<uint32_t>(rgb.size()), &header, Rect{0, 0, 8, 8}, target), 1);
  EXPECT_EQ(b->GetRefCount(), 1);
  ASSERT_EQ(draw->DrawPlanar(frame_of(a), target), 1);
  draw.reset();
  EXPECT_EQ(a->GetRefCount(), 1);
  a->Release();
  b->Release();
}

// Through the renderer: a YV12 sample (V plane first) shows the same
// picture as the I420 sample with the same planes.
TEST(GdiDrawPlanarTest, TheRendererHandsI420AndYv12PlanesInTheirOrder) {
  auto shown_through_renderer = [](int32_t video_type, std::vector<uint8_t> data) {
    SCOPED_TRACE(testing::Message() << "video type " << video_type);
    Shown shown;
    FakeWindowQueue queue;
    VideoDrawFactory factory;
    factory.create_first_choice = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
    factory.create_software = [&shown](IVideoWindowPort* w, IDrawHost* h) -> IVideoDraw* {
      auto* draw = new CGDIDraw([&shown](IVideoWindowPort*) { return std::make_unique<KeepingOutput>(&shown); });
      draw->Init(w, h);
      return draw;
    };
    auto* renderer = new CWinVideoRenderer(factory);
    renderer->AddRef();
    auto port = std::make_unique<FakeWindowPort>(&queue);
    port->SetClientRect(vz::Rect{0, 0, 90, 50});
    EXPECT_TRUE(renderer->Init(std::move(port), CWinVideoRenderer::kRenderTypeSoftware));
    renderer->SetBKColor(0x00FF00);  // the borders (88 x 50 in 90 x 50) as MakeDraw's
    auto* sample = new TestSample(VideoFormat{video_type, 64, 36, 30.0f, 0}, std::move(data));
    sample->AddRef();
    EXPECT_EQ(renderer->DeliverSample(sample), VSE_S_OK);
    EXPECT_EQ(renderer->video_type(), video_type);  // drawn without the conversion
    sample->Release();
    renderer->Release();
    return shown.pixels;
  };
  const I420 f = MakeFrame(64, 36, 0, 9);
  std::vector<uint8_t> yv12 = f.bytes;
  const size_t luma = 64 * 36, chroma = 32 * 18;
  std::copy(f.bytes.begin() + luma + chroma, f.bytes.end(), yv12.begin() + luma);
  std::copy(f.bytes.begin() + luma, f.bytes.begin() + luma + chroma, yv12.begin() + luma + chroma);
  const std::vector<uint32_t> from_i420 = shown_through_renderer(2, f.bytes);
  EXPECT_EQ(from_i420, ThroughRgb(f, Rect{0, 0, 90, 50}, 0));
  EXPECT_EQ(shown_through_renderer(5, yv12), from_i420);
}

}  // namespace
