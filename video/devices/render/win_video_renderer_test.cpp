#include "video/devices/render/win_video_renderer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"
#include "video/devices/render/render_fakes_testlib.h"

namespace {

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeRenderer(); }
  void TearDown() override {
    if (renderer_) renderer_->Release();
    RunWindowThread();
  }

  void MakeRenderer(int32_t render_type = CWinVideoRenderer::kRenderTypeGpu) {
    renderer_ = new CWinVideoRenderer(factory_.Factory(), clock_);
    renderer_->AddRef();
    auto port = std::make_unique<FakeWindowPort>(&queue_);
    port_ = port.get();
    init_ok_ = renderer_->Init(std::move(port), render_type);
  }

  // The window thread's loop taking what was posted to it.
  void RunWindowThread() {
    for (const vz::HookMessage& message : queue_.TakeMessages()) vz::DispatchHookMessage(message, true);
    for (auto& task : queue_.TakeTasks()) task();
  }

  VseResult Deliver(int32_t video_type, int32_t width, int32_t height, int32_t short_by = 0) {
    TestSample* sample = MakeTestSample(video_type, width, height, short_by);
    const VseResult result = renderer_->DeliverSample(sample);
    sample->Release();
    return result;
  }

  vz::FakeClock clock_{1000};
  FakeWindowQueue queue_;
  FakeDrawFactory factory_;
  FakeWindowPort* port_ = nullptr;
  CWinVideoRenderer* renderer_ = nullptr;
  bool init_ok_ = false;
};

TEST_F(RendererTest, RefusedYuvIsConvertedToPaddedBottomUpBgrAndDrawnAgain) {
  factory_.first_fails = true;  // the software draw, which takes RGB only
  renderer_->OnDisplayChange();
  ASSERT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeSoftware);
  TestSample* sample = MakeTestSample(2, 162, 4);
  ASSERT_EQ(renderer_->DeliverSample(sample), VSE_S_OK);
  EXPECT_EQ(sample->GetRefCount(), 1);  // the renderer let go of it
  sample->Release();
  EXPECT_EQ(renderer_->video_type(), 7);
  EXPECT_EQ(renderer_->content_state_for_testing(), 2);
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  ASSERT_EQ(factory_.record.drawn.size(), 1u);
  const BitmapHeader& header = factory_.record.drawn[0];
  EXPECT_EQ(header.compression, 0u);
  EXPECT_EQ(header.bit_count, 24);
  EXPECT_EQ(header.height, 4);  // bottom-up
  EXPECT_EQ(factory_.record.drawn_sizes[0], 488u * 4u);  // 162 x 3 = 486, padded to 488
}

TEST_F(RendererTest, ConvertsYuy2AndYv12AndDrawsTopDownBgrWithNegativeHeight) {
  factory_.first_fails = true;
  renderer_->OnDisplayChange();
  EXPECT_EQ(Deliver(3, 8, 4), VSE_S_OK);
  EXPECT_EQ(Deliver(5, 8, 4), VSE_S_OK);
  EXPECT_EQ(Deliver(4, 8, 4), VSE_S_OK);
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  ASSERT_EQ(factory_.record.drawn.size(), 3u);
  EXPECT_EQ(factory_.record.drawn[0].compression, 0u);
  EXPECT_EQ(factory_.record.drawn[1].compression, 0u);
  EXPECT_EQ(factory_.record.drawn[2].height, -4);
}

TEST_F(RendererTest, FailedDrawFallsBackAndRetriesTheFirstChoiceAtExactly30Seconds) {
  ASSERT_TRUE(init_ok_);
  factory_.Latest()->frame_result = -1;
  clock_.SetMs(5000);
  EXPECT_EQ(Deliver(7, 16, 8), VSE_S_OK);  // drawn by the software draw after the fallback
  EXPECT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeSoftware);
  EXPECT_EQ(factory_.first_made, 1);

  clock_.SetMs(5000 + 29999);
  Deliver(7, 16, 8);
  EXPECT_EQ(factory_.first_made, 1);
  EXPECT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeSoftware);

  factory_.first_fails = true;
  clock_.SetMs(5000 + 30000);
  Deliver(7, 16, 8);
  EXPECT_EQ(factory_.first_made, 2);  // tried, failed: the software draw stays
  EXPECT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeSoftware);

  factory_.first_fails = false;
  clock_.SetMs(5000 + 30000 + 29999);
  Deliver(7, 16, 8);
  EXPECT_EQ(factory_.first_made, 2);  // the failed retry restarted the 30 s
  clock_.SetMs(5000 + 60000);
  Deliver(7, 16, 8);
  EXPECT_EQ(factory_.first_made, 3);
  EXPECT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeGpu);
}

TEST_F(RendererTest, DrawsThatAllFailEndTheCallAndLaterCallsFindNoDraw) {
  // A software draw that fails too is tried once per call, not for ever.
  factory_.first_fails = true;
  renderer_->OnDisplayChange();
  factory_.Latest()->frame_result = -1;
  EXPECT_EQ(Deliver(7, 16, 8), VSE_S_OK);
  EXPECT_EQ(renderer_->Redraw(), VSE_E_FAIL);

  // No draw can be made at all: every call answers without one.
  renderer_->Release();
  factory_.software_fails = true;
  MakeRenderer();
  EXPECT_FALSE(init_ok_);
  Deliver(7, 16, 8);
  EXPECT_EQ(renderer_->Redraw(), VSE_E_FAIL);
  EXPECT_EQ(renderer_->SetBKColor(0x00FF00), VSE_S_OK);
  EXPECT_EQ(renderer_->ClearStream(), VSE_S_OK);
  EXPECT_EQ(renderer_->OnWindowPositionChange(), 0);
  EXPECT_EQ(renderer_->SetMirror(true), VSE_E_FAIL);
  int32_t flags = 0;
  EXPECT_EQ(renderer_->GetStatus(&flags), VSE_E_FAIL);
  VAImageInfo info{};
  VAImageContent content{1, &info};
  EXPECT_EQ(renderer_->VADeliverImage(&content), VSE_E_FAIL);
}

TEST_F(RendererTest, SampleShorterThanItsHeaderIsNeverHandedToTheDraw) {
  EXPECT_EQ(Deliver(7, 5, 3, 1), VSE_S_OK);  // 5 x 3 pads rows to 16 bytes: 48 needed, 47 given
  EXPECT_EQ(Deliver(2, 8, 4, 1), VSE_S_OK);
  EXPECT_EQ(renderer_->Redraw(), VSE_E_FAIL);
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  EXPECT_TRUE(factory_.record.drawn.empty());
}

TEST_F(RendererTest, OversizedOrOddYuvFramesAreRefusedWithoutConversion) {
  factory_.first_fails = true;
  renderer_->OnDisplayChange();  // the software draw refuses YUV
  EXPECT_EQ(Deliver(2, 7, 4), VSE_S_OK);  // an odd width cannot be converted
  // A frame whose format claims more than the largest side, backed by a
  // sample of the same (wrong) small size, is refused before any buffer is sized.
  auto* huge = new TestSample(VideoFormat{2, 9000, 2, 30.0f, 0}, std::vector<uint8_t>(9000 * 3));
  huge->AddRef();
  renderer_->DeliverSample(huge);
  huge->Release();
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  EXPECT_TRUE(factory_.record.drawn.empty());
}

TEST_F(RendererTest, RepaintUsesTheKeptFrameElseRedrawsTheHeldSample) {
  Deliver(7, 16, 8);
  EXPECT_EQ(renderer_->Redraw(), VSE_S_OK);
  {
    std::lock_guard<std::mutex> guard(factory_.record.mutex);
    EXPECT_EQ(factory_.record.drawn.size(), 1u);  // the kept frame served the repaint
    EXPECT_EQ(factory_.record.repaints, 1);
  }
  factory_.Latest()->repaint_result = -3;
  EXPECT_EQ(renderer_->Redraw(), VSE_S_OK);
  {
    std::lock_guard<std::mutex> guard(factory_.record.mutex);
    EXPECT_EQ(factory_.record.drawn.size(), 2u);  // drawn again from the held sample
  }
  // Nothing to show: the background alone.
  renderer_->ClearStream();
  EXPECT_EQ(renderer_->Redraw(), VSE_S_OK);
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  EXPECT_EQ(factory_.record.backgrounds, 1);
}

TEST_F(RendererTest, MirrorSurvivesDisplayChangeAndFallback) {
  ASSERT_EQ(renderer_->SetMirror(true), VSE_S_OK);
  EXPECT_EQ(renderer_->effect_flags_for_testing(), kEffectMirror);
  renderer_->OnDisplayChange();  // a new draw
  Deliver(7, 16, 8);
  factory_.Latest()->frame_result = -1;  // and a fallback to the software draw
  Deliver(7, 16, 8);
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  ASSERT_EQ(factory_.record.flags_seen.size(), 3u);
  for (size_t i = 0; i < factory_.record.flags_seen.size(); ++i) {
    EXPECT_EQ(factory_.record.flags_seen[i], kEffectMirror) << "draw " << i;
  }
}

TEST_F(RendererTest, EffectFlagArithmetic) {
  EXPECT_EQ(renderer_->SetEffect(1, 5), VSE_S_OK);
  EXPECT_EQ(renderer_->effect_flags_for_testing(), kEffectFlip);
  EXPECT_EQ(renderer_->SetEffect(2, 1), VSE_S_OK);
  EXPECT_EQ(renderer_->effect_flags_for_testing(), kEffectFlip | kEffectMirror);
  EXPECT_EQ(renderer_->SetEffect(3, 1), VSE_E_INVALIDARG);
  EXPECT_EQ(renderer_->effect_flags_for_testing(), kEffectFlip | kEffectMirror);
  EXPECT_EQ(renderer_->SetEffect(2, 0), VSE_S_OK);
  EXPECT_EQ(renderer_->effect_flags_for_testing(), kEffectFlip);
  EXPECT_EQ(renderer_->ClearEffect(), VSE_S_OK);
  EXPECT_EQ(renderer_->effect_flags_for_testing(), 0u);
  EXPECT_EQ(factory_.Latest()->effect_flags(), 0u);
}

TEST_F(RendererTest, SharedSurfaceImagesAreCheckedBeforeAnythingChanges) {
  EXPECT_EQ(renderer_->VADeliverImage(nullptr), VSE_E_INVALIDARG);
  VAImageInfo info{nullptr, 64, 48, 22, 0, 0, 0, 64, 48};
  VAImageContent content{0, &info};
  EXPECT_EQ(renderer_->VADeliverImage(&content), VSE_E_FAIL);  // unsupported
  content.vatype = 2;
  EXPECT_EQ(renderer_->VADeliverImage(&content), VSE_E_INVALIDARG);
  content.vatype = 1;
  EXPECT_EQ(renderer_->VADeliverImage(&content), VSE_E_FAIL);  // the draw takes none
  int32_t flags = 7;
  EXPECT_EQ(renderer_->GetStatus(&flags), VSE_S_OK);
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(renderer_->GetStatus(nullptr), VSE_E_INVALIDARG);

  factory_.Latest()->va_type = 1;
  Deliver(7, 16, 8);
  info.left = 100, info.right = 120;  // outside the surface
  EXPECT_EQ(renderer_->VADeliverImage(&content), VSE_E_INVALIDARG);
  info.left = 0, info.right = 64, info.format = 0;
  EXPECT_EQ(renderer_->VADeliverImage(&content), VSE_E_INVALIDARG);
  EXPECT_EQ(renderer_->content_state_for_testing(), 2);  // unchanged
  info.format = 22;
  EXPECT_EQ(renderer_->VADeliverImage(&content), VSE_S_OK);
  EXPECT_EQ(renderer_->content_state_for_testing(), 1);
}

class WindowThreadRendererTest : public RendererTest {
 protected:
  void SetUp() override {
    factory_.first_needs_window_thread = true;
    MakeRenderer();
  }
};

TEST_F(WindowThreadRendererTest, DrawReleasedOnADataThreadDiesOnlyWhenTheWindowThreadTakesTheMessage) {
  ASSERT_TRUE(init_ok_);
  factory_.Latest()->frame_result = -1;
  std::thread data([&] { Deliver(7, 16, 8); });  // falls back on the data thread
  data.join();
  EXPECT_EQ(renderer_->deferred_draw_count_for_testing(), 1u);
  std::vector<vz::HookMessage> messages = queue_.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, renderer_->custom_message_for_testing());
  EXPECT_EQ(messages[0].wparam, 1u);
  // A look at the queue does not destroy it; taking the message does.
  EXPECT_TRUE(vz::DispatchHookMessage(messages[0], false));
  EXPECT_EQ(renderer_->deferred_draw_count_for_testing(), 1u);
  EXPECT_TRUE(vz::DispatchHookMessage(messages[0], true));
  EXPECT_EQ(renderer_->deferred_draw_count_for_testing(), 0u);
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  ASSERT_EQ(factory_.record.destroyed, 1);
  EXPECT_EQ(factory_.record.destroyed_on[0], std::this_thread::get_id());
}

TEST_F(WindowThreadRendererTest, WindowThreadActionRequestedOffThreadRunsWhenTheMessageIsTaken) {
  FakeDraw* draw = factory_.Latest();
  std::thread data([&] { draw->host()->RequestWindowThreadAction(); });
  data.join();
  RunWindowThread();
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  EXPECT_EQ(factory_.record.window_actions, 1);
}

TEST_F(WindowThreadRendererTest, RendererReleasedOnADataThreadLeavesTheHookAndSendsItsDrawHome) {
  ASSERT_EQ(vz::CentralizedHookFilterCount(std::this_thread::get_id()), 1u);
  const uint32_t message = renderer_->custom_message_for_testing();
  std::thread data([&] { renderer_->Release(); });
  data.join();
  renderer_ = nullptr;
  EXPECT_EQ(vz::CentralizedHookFilterCount(std::this_thread::get_id()), 0u);
  // A message still on its way reaches nobody.
  EXPECT_FALSE(vz::DispatchHookMessage(vz::HookMessage{0x5EED, message, 1, 0}, true));
  {
    std::lock_guard<std::mutex> guard(factory_.record.mutex);
    EXPECT_EQ(factory_.record.destroyed, 0);
  }
  for (auto& task : queue_.TakeTasks()) task();
  std::lock_guard<std::mutex> guard(factory_.record.mutex);
  ASSERT_EQ(factory_.record.destroyed, 1);
  EXPECT_EQ(factory_.record.destroyed_on[0], std::this_thread::get_id());
}

TEST(RendererInitTest, TheLibrarysMakerOnAViewWithoutADisplayEndsOnTheSoftwareDraw) {
  // Neither the GPU nor the XRender draw has a display window to draw in,
  // so the first choice cannot be made and the software draw serves.
  std::unique_ptr<vz::HeadlessWindowSystem> system = vz::HeadlessWindowSystem::Create();
  class Blank : public vz::WindowDelegate {
    void OnPaint(vz::Canvas&) override {}
  } blank;
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(0, 0, 320, 240);
  std::unique_ptr<vz::Window> view = system->CreateWindow(params, &blank);
  ASSERT_TRUE(view);
  IVideoRenderer* made = nullptr;
  EXPECT_EQ(MakeWinVideoRenderer(nullptr, &made), VSE_E_FAIL);
  ASSERT_EQ(MakeWinVideoRenderer(view.get(), &made), VSE_S_OK);
  auto* renderer = static_cast<CWinVideoRenderer*>(made);
  EXPECT_EQ(renderer->current_render_type(), CWinVideoRenderer::kRenderTypeSoftware);
  void* deliverer = nullptr;
  ASSERT_EQ(made->QueryInterface(&IID_IVideoDeliverer, &deliverer), VSE_S_OK);
  TestSample* sample = MakeTestSample(2, 64, 36);
  EXPECT_EQ(static_cast<IVideoDeliverer*>(deliverer)->DeliverSample(sample), VSE_S_OK);
  EXPECT_EQ(renderer->video_type(), 2);  // taken as it came by the software draw's planar face
  sample->Release();
  static_cast<IVideoDeliverer*>(deliverer)->Release();
  made->Release();
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
}

TEST(RendererInitTest, NeedsAWindowAndItsThread) {
  FakeDrawFactory factory;
  auto* renderer = new CWinVideoRenderer(factory.Factory());
  renderer->AddRef();
  EXPECT_FALSE(renderer->Init(nullptr, 1));
  FakeWindowQueue queue;
  std::unique_ptr<FakeWindowPort> port;
  std::thread other([&] { port = std::make_unique<FakeWindowPort>(&queue); });
  other.join();
  EXPECT_FALSE(renderer->Init(std::move(port), 1));  // its thread is another one: no hook
  EXPECT_EQ(factory.first_made, 0);
  renderer->Release();
}

TEST_F(RendererTest, FramesFromADataThreadWhileTheWindowThreadMirrorsMovesAndRedraws) {
  factory_.first_needs_window_thread = true;
  renderer_->OnDisplayChange();
  std::atomic<bool> done{false};
  std::thread data([&] {
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < 45; ++i) {  // 1.5 s of 30 frames a second
      Deliver(i % 3 == 0 ? 2 : 7, 64, 36);
      if (i == 20) factory_.Latest()->frame_result = -1;  // a fallback mid-stream
      next += std::chrono::milliseconds(33);
      std::this_thread::sleep_until(next);
    }
    done = true;
  });
  int round = 0;
  while (!done) {
    renderer_->SetMirror(round % 2 == 0);
    port_->SetClientRect(vz::Rect{0, 0, 320 + round % 7, 240});
    renderer_->OnWindowPositionChange();
    renderer_->Redraw();
    RunWindowThread();
    ++round;
    std::this_thread::yield();
  }
  data.join();
  RunWindowThread();
  EXPECT_GT(round, 0);
  EXPECT_EQ(renderer_->deferred_draw_count_for_testing(), 0u);
}

}  // namespace
