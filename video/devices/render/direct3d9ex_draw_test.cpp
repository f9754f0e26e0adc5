#include "video/devices/render/direct3d9ex_draw.h"

#include <gtest/gtest.h>

#include <thread>

#include "video/devices/render/fourcc_families.h"
#include "video/devices/render/render_fakes_testlib.h"

namespace {

// A scripted GPU device.
struct FakeGpu : IGpuDevicePort {
  int32_t CreateDevice(int32_t, int32_t) override {
    ++created;
    created_on = std::this_thread::get_id();
    if (create_result < 0) return create_result;
    has_device = true;
    return 0;
  }
  int32_t Reset(int32_t, int32_t) override {
    ++resets;
    return 0;
  }
  void ReleaseDevice() override {
    ++released;
    has_device = false;
    has_frame = false;
  }
  bool HasDevice() override { return has_device; }
  bool TakesFourCC(uint32_t fourcc) override { return fourcc == kFourCC_I420 || fourcc == kFourCC_YUY2; }
  bool Upload(const uint8_t*, const BitmapHeader&) override { return has_frame = true; }
  bool HasFrame() override { return has_frame; }
  void DiscardFrame() override { has_frame = false; }
  int32_t Present(int32_t, int32_t, const Rect&, const Rect&, uint32_t, uint32_t effects, bool) override {
    ++presents;
    last_effects = effects;
    return present_result;
  }
  int32_t CheckDevice() override { return check_result; }

  bool has_device = false, has_frame = false;
  int created = 0, resets = 0, released = 0, presents = 0;
  int32_t create_result = 0, present_result = 0, check_result = 0;
  uint32_t last_effects = 0;
  std::thread::id created_on;
};

struct CountingHost : IDrawHost {
  void RequestWindowThreadAction() override { ++requests; }
  std::atomic<int> requests{0};
};

class GpuDrawTest : public ::testing::Test {
 protected:
  GpuDrawTest()
      : draw_([this](IVideoWindowPort*) {
          auto gpu = std::make_unique<FakeGpu>();
          gpu_ = gpu.get();
          return gpu;
        }) {
    EXPECT_EQ(draw_.Init(&window_, &host_), 1);
  }
  int32_t DrawFrame(const Rect& target, uint32_t fourcc = 0) {
    header_.width = 16, header_.height = 8;
    header_.compression = fourcc;
    header_.bit_count = fourcc ? 12 : 24;
    frame_.assign(BitmapImageBytes(header_), 0x40);
    return draw_.Draw(frame_.data(), static_cast<uint32_t>(frame_.size()), &header_, Rect{0, 0, 16, 8}, target);
  }

  FakeWindowQueue queue_;
  FakeWindowPort window_{&queue_};
  CountingHost host_;
  FakeGpu* gpu_ = nullptr;
  CDirect3D9ExDraw draw_;
  BitmapHeader header_;
  std::vector<uint8_t> frame_;
};

TEST_F(GpuDrawTest, FirstFrameOffTheWindowThreadIsSkippedAndTheDeviceMadeOnTheWindowThread) {
  EXPECT_EQ(draw_.state_for_testing(), CDirect3D9ExDraw::StateCode_Uncreated);
  int32_t result = 0;
  std::thread data([&] { result = DrawFrame(Rect{0, 0, 320, 240}); });
  data.join();
  EXPECT_EQ(result, 1);  // skipped with success
  EXPECT_EQ(host_.requests, 1);
  EXPECT_EQ(gpu_->created, 0);
  EXPECT_EQ(gpu_->presents, 0);
  draw_.WindowThreadAction();  // what the renderer's hook does on the window thread
  EXPECT_EQ(gpu_->created, 1);
  EXPECT_EQ(gpu_->created_on, std::this_thread::get_id());
  EXPECT_EQ(draw_.state_for_testing(), CDirect3D9ExDraw::StateCode_Ready);
  std::thread next([&] { result = DrawFrame(Rect{0, 0, 320, 240}); });
  next.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(gpu_->presents, 1);
}

TEST_F(GpuDrawTest, ResizeResetsMonitorChangeAndLostDeviceRecreate) {
  ASSERT_EQ(DrawFrame(Rect{0, 0, 320, 240}), 1);  // on the window thread: made at once
  EXPECT_EQ(gpu_->created, 1);
  ASSERT_EQ(DrawFrame(Rect{0, 0, 640, 480}), 1);
  EXPECT_EQ(gpu_->resets, 1);
  EXPECT_EQ(gpu_->created, 1);  // the device is kept
  window_.set_monitor(1);
  ASSERT_EQ(DrawFrame(Rect{0, 0, 640, 480}), 1);
  EXPECT_EQ(gpu_->released, 1);
  EXPECT_EQ(gpu_->created, 2);
  gpu_->present_result = 1;  // lost while presenting: made anew at the next frame
  ASSERT_EQ(DrawFrame(Rect{0, 0, 640, 480}), 1);
  EXPECT_EQ(draw_.state_for_testing(), CDirect3D9ExDraw::StateCode_NeedRecreate);
  gpu_->present_result = 0;
  gpu_->check_result = 1;
  ASSERT_EQ(DrawFrame(Rect{0, 0, 640, 480}), 1);
  EXPECT_EQ(gpu_->created, 3);
  EXPECT_EQ(draw_.state_for_testing(), CDirect3D9ExDraw::StateCode_Ready);
}

TEST_F(GpuDrawTest, FailedCreationOrRemovedDeviceRefusesEverythingAfter) {
  gpu_->create_result = -5;
  EXPECT_EQ(DrawFrame(Rect{0, 0, 320, 240}), -1);
  EXPECT_EQ(draw_.state_for_testing(), CDirect3D9ExDraw::StateCode_Failed);
  EXPECT_EQ(DrawFrame(Rect{0, 0, 320, 240}), -1);
  EXPECT_EQ(draw_.DrawBkgnd(Rect{0, 0, 320, 240}), 0);
  EXPECT_EQ(draw_.UpdateDrawTargetRectangle(Rect{0, 0, 320, 240}), 0);
  EXPECT_EQ(gpu_->created, 1);  // never tried again by this object
}

TEST_F(GpuDrawTest, RemovedDeviceFoundByTheCheckAfterALostPresent) {
  ASSERT_EQ(DrawFrame(Rect{0, 0, 320, 240}), 1);
  gpu_->present_result = 2;
  EXPECT_EQ(DrawFrame(Rect{0, 0, 320, 240}), -1);
  EXPECT_EQ(draw_.state_for_testing(), CDirect3D9ExDraw::StateCode_Failed);
}

TEST_F(GpuDrawTest, FormatsRepaintsAndEffects) {
  EXPECT_EQ(draw_.IsFourCCSupported(0), 1);
  EXPECT_EQ(draw_.IsFourCCSupported(kFourCC_I420), 1);
  EXPECT_EQ(draw_.IsFourCCSupported(kFourCC_UYVY), 0);  // the device does not take it as it comes
  EXPECT_EQ(draw_.IsFourCCSupported(kFourCC_NV12), 0);  // outside the families
  EXPECT_EQ(DrawFrame(Rect{0, 0, 320, 240}, kFourCC_UYVY), -2);
  EXPECT_EQ(draw_.Draw(nullptr, 0, nullptr, Rect{0, 0, 16, 8}, Rect{0, 0, 320, 240}), -3);
  ASSERT_EQ(DrawFrame(Rect{0, 0, 320, 240}, kFourCC_I420), 1);
  draw_.SetEffectFlags(kEffectMirror | kEffectFlip);
  EXPECT_EQ(draw_.Draw(nullptr, 0, nullptr, Rect{0, 0, 16, 8}, Rect{0, 0, 320, 240}), 1);
  EXPECT_EQ(gpu_->last_effects, kEffectMirror | kEffectFlip);
  draw_.DiscardStream();
  EXPECT_EQ(draw_.Draw(nullptr, 0, nullptr, Rect{0, 0, 16, 8}, Rect{0, 0, 320, 240}), -3);
  // A frame shorter than its header is refused before any upload.
  header_.compression = 0, header_.bit_count = 24;
  EXPECT_EQ(draw_.Draw(frame_.data(), 10, &header_, Rect{0, 0, 16, 8}, Rect{0, 0, 320, 240}), -1);
  EXPECT_EQ(draw_.GetVAType(), 0);
  EXPECT_EQ(draw_.NeedsWindowThread(), 1);
}

TEST(GpuDrawInitTest, NoDevicePortNoDraw) {
  CDirect3D9ExDraw draw([](IVideoWindowPort*) { return std::unique_ptr<IGpuDevicePort>(); });
  EXPECT_EQ(draw.Init(nullptr, nullptr), 0);
}

}  // namespace
