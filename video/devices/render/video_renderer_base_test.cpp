#include "video/devices/render/video_renderer_base.h"

#include <gtest/gtest.h>

#include <cstring>

#include "video/engine/core/vz_video_sample_allocator.h"

namespace {

// A draw that takes I420 directly or wants BGR24 (render format 5).
class FakeRenderer final : public CVideoRenderer {
 public:
  explicit FakeRenderer(bool direct) : direct_(direct) {}
  VseResult SetBKColor(uint32_t) override { return VSE_S_OK; }
  VseResult SetMirror(bool) override { return VSE_S_OK; }
  VseResult Redraw() override { return VSE_S_OK; }
  VseResult DrawHeldSample() override {
    ++draws;
    drawn = held_sample();
    return VSE_S_OK;
  }
  int32_t GetRenderFormat() override { return 5; }
  int32_t IsFormatDirect(const VideoFormat*) override { return direct_ ? 1 : 0; }
  int draws = 0;
  IVideoSample* drawn = nullptr;

 private:
  bool direct_;
};

class RendererBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    allocator_ = new CVzVideoSampleAllocator(64, 0, 0);
    allocator_->AddRef();
  }
  void TearDown() override { allocator_->Release(); }
  IVideoSample* I420(int w, int h) {
    IVideoSample* s = nullptr;
    const int a = (w + 31) & ~31;
    allocator_->GetSample(a * h * 3 / 2, &s);
    void* p = nullptr;
    s->GetPointer(&p);
    std::memset(p, 128, a * h * 3 / 2);
    VideoFormat f{2, w, h, 30.f, 0};
    s->SetFormat(&f);
    return s;
  }
  CVzVideoSampleAllocator* allocator_ = nullptr;
};

TEST_F(RendererBaseTest, IndirectPathHoldsTheConvertedSampleAndDropsTheOriginal) {
  auto* r = new FakeRenderer(false);
  r->AddRef();
  r->SetSampleAllocator(allocator_);
  IVideoSample* s = I420(16, 4);
  EXPECT_EQ(r->DeliverSample(s), VSE_S_OK);
  EXPECT_EQ(r->draws, 1);
  ASSERT_NE(r->drawn, nullptr);
  EXPECT_NE(r->drawn, s);
  EXPECT_EQ(s->GetRefCount(), 1) << "only the caller's reference is left";
  VideoFormat f{};
  r->drawn->GetFormat(&f);
  EXPECT_EQ(f.video_type, 4) << "render format 5 gives video type 4";
  EXPECT_EQ(r->GetVideoWidth(), 16);
  EXPECT_EQ(r->GetVideoHeight(), 4);
  s->Release();
  EXPECT_EQ(r->ClearStream(), VSE_S_OK);
  EXPECT_EQ(r->GetVideoWidth(), 0);
  EXPECT_EQ(allocator_->PooledCountForTesting(), 2);
  r->Release();
  EXPECT_EQ(allocator_->GetRefCount(), 1) << "the renderer let go of the allocator";
}

TEST_F(RendererBaseTest, DirectPathHoldsTheSampleItself) {
  auto* r = new FakeRenderer(true);
  r->AddRef();
  IVideoSample* s = I420(16, 4);
  EXPECT_EQ(r->DeliverSample(s), VSE_S_OK);
  EXPECT_EQ(r->drawn, s);
  EXPECT_EQ(s->GetRefCount(), 2);
  EXPECT_EQ(r->DeliverSample(nullptr), VSE_E_INVALIDARG);
  r->Release();
  EXPECT_EQ(s->GetRefCount(), 1);
  s->Release();
}

TEST_F(RendererBaseTest, WithoutAnAllocatorTheConversionFails) {
  auto* r = new FakeRenderer(false);
  r->AddRef();
  IVideoSample* s = I420(16, 4);
  EXPECT_EQ(r->DeliverSample(s), VSE_E_INVALIDARG);
  EXPECT_EQ(r->draws, 0);
  s->Release();
  r->Release();
  EXPECT_EQ(VideoTypeOfRenderFormat(1), 1);
  EXPECT_EQ(VideoTypeOfRenderFormat(2), 8);
  EXPECT_EQ(VideoTypeOfRenderFormat(8), 10);
  EXPECT_EQ(VideoTypeOfRenderFormat(6), 0);
}

}  // namespace
