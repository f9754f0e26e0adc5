// The draws and the renderer in real windows of a private X server: frames
// of each format are drawn into a window, read back from the display and
// compared with the software reference.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/gles_video_device.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_window_grab.h"
#include "video/devices/color/color_space_convertor.h"
#include "video/devices/color/cpu_features.h"
#include "video/devices/render/draw_factory.h"
#include "video/devices/render/render_fakes_testlib.h"
#include "video/devices/render/view_window_port.h"
#include "video/devices/render/win_video_renderer.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

class Grey : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override {
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, 0xFF404040);
  }
};

// Smooth test content (colour varies slowly, so chroma filtering of any
// draw stays within a level or two), as planar 4:2:0, YUY2 or bottom-up BGR.
std::vector<uint8_t> I420Frame() {
  std::vector<uint8_t> f(kWidth * kHeight * 3 / 2);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) f[y * kWidth + x] = static_cast<uint8_t>(30 + x + y / 2);
  uint8_t* u = f.data() + kWidth * kHeight;
  uint8_t* v = u + kWidth * kHeight / 4;
  for (int y = 0; y < kHeight / 2; ++y)
    for (int x = 0; x < kWidth / 2; ++x) {
      u[y * kWidth / 2 + x] = static_cast<uint8_t>(90 + x);
      v[y * kWidth / 2 + x] = static_cast<uint8_t>(170 - y);
    }
  return f;
}

std::vector<uint8_t> Yuy2Frame() {
  const std::vector<uint8_t> p = I420Frame();
  const uint8_t* u = p.data() + kWidth * kHeight;
  const uint8_t* v = u + kWidth * kHeight / 4;
  std::vector<uint8_t> f(kWidth * kHeight * 2);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; x += 2) {
      uint8_t* d = &f[(y * kWidth + x) * 2];
      d[0] = p[y * kWidth + x];
      d[1] = u[(y / 2) * kWidth / 2 + x / 2];
      d[2] = p[y * kWidth + x + 1];
      d[3] = v[(y / 2) * kWidth / 2 + x / 2];
    }
  return f;
}

std::vector<uint8_t> BgrFrame() {  // bottom-up rows, 480 bytes each (no padding needed)
  std::vector<uint8_t> f(kWidth * kHeight * 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* d = &f[((kHeight - 1 - y) * kWidth + x) * 3];
      d[0] = static_cast<uint8_t>(x), d[1] = static_cast<uint8_t>(2 * y), d[2] = static_cast<uint8_t>(200 - x);
    }
  return f;
}

// What the picture must look like (top row first, 0x00RRGGBB): the colour
// converter's answer for YUV, the pixels themselves for BGR.
std::vector<uint32_t> Reference(int video_type) {
  std::vector<uint8_t> bgr;
  if (video_type == 7) {
    bgr = BgrFrame();
  } else {
    std::vector<uint8_t> planar = I420Frame();  // the YUY2 frame carries the same samples
    bgr.resize(kWidth * kHeight * 3);
    nsVZVP::CColorSpaceConvertor converter(nsVZVP::DetectCpuFeatures());
    nsVZVP::ImageDesc in{}, out{};
    in.plane[0] = planar.data();
    in.plane[1] = planar.data() + kWidth * kHeight;
    in.plane[2] = in.plane[1] + kWidth * kHeight / 4;
    in.stride[0] = kWidth, in.stride[1] = in.stride[2] = kWidth / 2;
    in.width = kWidth, in.height = kHeight, in.format = nsVZVP::CSP_I420;
    out.plane[0] = out.plane[1] = out.plane[2] = bgr.data();
    out.stride[0] = out.stride[1] = out.stride[2] = kWidth * 3;
    out.width = kWidth, out.height = kHeight, out.format = nsVZVP::CSP_BGR24 | nsVZVP::CSP_BOTTOM_UP;
    EXPECT_EQ(converter.Convert(1, &in, &out), nsVZVP::kConvertOk) << "video type " << video_type;
  }
  std::vector<uint32_t> ref(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* s = &bgr[((kHeight - 1 - y) * kWidth + x) * 3];
      ref[y * kWidth + x] = (uint32_t{s[2]} << 16) | (uint32_t{s[1]} << 8) | s[0];
    }
  return ref;
}

// The largest difference of any channel between the grab and the
// reference (mirrored: the reference's columns reversed).
int MaxDifference(const vz::Image& grab, const std::vector<uint32_t>& ref, bool mirrored) {
  int worst = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t got = grab.GetPixel(x, y);
      const uint32_t want = ref[y * kWidth + (mirrored ? kWidth - 1 - x : x)];
      for (int shift : {0, 8, 16}) {
        const int d = std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF));
        if (d > worst) worst = d;
      }
    }
  return worst;
}

class RenderDisplayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    vz::DisplayTestEnv& env = vz::DisplayTestEnv::Get();
    // The draws open their own connections to $DISPLAY.
    if (env.available()) setenv("DISPLAY", env.display().c_str(), 1);
  }

  void SetUp() override {
    vz::DisplayTestEnv& env = vz::DisplayTestEnv::Get();
    if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
    system_ = vz::OpenDisplayWindowSystem(env.display().c_str());
    ASSERT_TRUE(system_);
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(50, 50, kWidth, kHeight);
    params.title = "render test";
    params.flags = vz::kWindowOverrideRedirect;
    window_ = system_->CreateWindow(params, &grey_);
    ASSERT_TRUE(window_);
    window_->Show(false);
    system_->Sync();
  }

  void TearDown() override {
    if (renderer_) renderer_->Release();
    renderer_ = nullptr;
    if (window_) vz::RunLoop::ForCurrentThread().RunUntilIdle();
    window_.reset();
    system_.reset();
  }

  // A renderer of this window on the given draws; false when Init failed.
  bool MakeRenderer(VideoDrawFactory factory, int32_t render_type) {
    renderer_ = new CWinVideoRenderer(std::move(factory));
    renderer_->AddRef();
    auto port = std::make_unique<ViewWindowPort>(window_.get());
    surface_ = port->NativeWindow();
    return renderer_->Init(std::move(port), render_type);
  }

  void Deliver(int video_type) {
    std::vector<uint8_t> data = video_type == 2 ? I420Frame() : video_type == 3 ? Yuy2Frame() : BgrFrame();
    auto* sample = new TestSample(VideoFormat{video_type, kWidth, kHeight, 30.0f, 0}, std::move(data));
    sample->AddRef();
    EXPECT_EQ(renderer_->DeliverSample(sample), VSE_S_OK) << "video type " << video_type;
    sample->Release();
  }

  // The largest difference of the window's picture from the reference,
  // read until it is within `levels` (the display may still be taking the
  // picture) or the wait ends; -1 when the window could not be read.
  int Difference(const std::vector<uint32_t>& ref, bool mirrored, int levels) {
    int difference = -1;
    vz::DisplayTestEnv::Get().RunUntil(vz::RunLoop::ForCurrentThread(), [&] {
      std::optional<vz::Image> grab = vz::GrabX11Window(vz::DisplayTestEnv::Get().display(), surface_);
      if (!grab || grab->width() != kWidth || grab->height() != kHeight) return false;
      difference = MaxDifference(*grab, ref, mirrored);
      return difference <= levels;
    });
    return difference;
  }

  // Each format, plain and mirrored, matches the reference within `levels`.
  void ExpectFormatsMatch(int levels) {
    for (int video_type : {2, 3, 7}) {
      renderer_->SetMirror(false);
      Deliver(video_type);
      const std::vector<uint32_t> ref = Reference(video_type);
      const int plain = Difference(ref, false, levels);
      EXPECT_GE(plain, 0) << "type " << video_type;
      EXPECT_LE(plain, levels) << "type " << video_type;
      renderer_->SetMirror(true);
      const int mirrored = Difference(ref, true, levels);
      EXPECT_GE(mirrored, 0) << "mirrored type " << video_type;
      EXPECT_LE(mirrored, levels) << "mirrored type " << video_type;
    }
  }

  Grey grey_;
  std::unique_ptr<vz::WindowSystem> system_;
  std::unique_ptr<vz::Window> window_;
  CWinVideoRenderer* renderer_ = nullptr;
  uint64_t surface_ = 0;
};

TEST_F(RenderDisplayTest, SoftwareDrawShowsEachFormatAsTheReference) {
  VideoDrawFactory software;
  software.create_first_choice = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  ASSERT_TRUE(MakeRenderer(software, CWinVideoRenderer::kRenderTypeSoftware));
  ASSERT_NE(surface_, 0u);
  ExpectFormatsMatch(0);  // the same arithmetic as the reference: exact
}

TEST_F(RenderDisplayTest, RendererFallsBackToTheSoftwareDrawWhenTheFirstChoiceCannotBeMade) {
  VideoDrawFactory no_first_choice;
  int first_tries = 0;
  no_first_choice.create_first_choice = [&](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* {
    ++first_tries;
    return nullptr;
  };
  ASSERT_TRUE(MakeRenderer(no_first_choice, CWinVideoRenderer::kRenderTypeGpu));
  EXPECT_EQ(first_tries, 1);
  EXPECT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeSoftware);
  Deliver(7);
  EXPECT_EQ(Difference(Reference(7), false, 0), 0);
}

TEST_F(RenderDisplayTest, GpuDrawShowsEachFormatAsTheReferenceWithinAFewLevels) {
  std::string why;
  if (!vz::GlesVideoDevice::Available(&why)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsMesaGles) << "no OpenGL ES: " << why;
  VideoDrawFactory gpu_only;
  gpu_only.create_software = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  ASSERT_TRUE(MakeRenderer(gpu_only, CWinVideoRenderer::kRenderTypeGpu));
  // The device is made on this (the window) thread at the first frame; a
  // display where no context can be made leaves the draw failed.
  Deliver(7);
  if (renderer_->current_render_type() != CWinVideoRenderer::kRenderTypeGpu || renderer_->Redraw() != VSE_S_OK) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsMesaGles)
        << "no GL context can be made on this display (the renderer falls back; see the fallback test)";
  }
  ExpectFormatsMatch(4);
  EXPECT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeGpu);
}

TEST_F(RenderDisplayTest, FramesFromADataThreadGetTheGpuDeviceMadeThroughTheWindowThreadsLoop) {
  std::string why;
  if (!vz::GlesVideoDevice::Available(&why)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsMesaGles) << "no OpenGL ES: " << why;
  VideoDrawFactory gpu_only;
  gpu_only.create_software = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  ASSERT_TRUE(MakeRenderer(gpu_only, CWinVideoRenderer::kRenderTypeGpu));
  // The first frame finds no device off the window thread: it is skipped
  // and the renderer's message goes to this thread's loop, whose hook
  // makes the device here. Later frames from the data thread are drawn.
  std::thread first([&] { Deliver(7); });
  first.join();
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
  if (renderer_->current_render_type() != CWinVideoRenderer::kRenderTypeGpu) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsMesaGles) << "no GL context";
  }
  std::thread second([&] { Deliver(7); });
  second.join();
  const int difference = Difference(Reference(7), false, 4);
  EXPECT_GE(difference, 0);
  EXPECT_LE(difference, 4);
}

TEST_F(RenderDisplayTest, XRenderDrawShowsEachFormatAsTheReference) {
  VideoDrawFactory xrender_only;
  xrender_only.create_first_choice = &CreateDirect3D7Draw;
  xrender_only.create_software = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  ASSERT_TRUE(MakeRenderer(xrender_only, CWinVideoRenderer::kRenderTypeGpu));
  ASSERT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeGpu);
  ExpectFormatsMatch(0);  // YUV refused and converted by the renderer: the reference's own arithmetic
  EXPECT_EQ(renderer_->current_render_type(), CWinVideoRenderer::kRenderTypeGpu);
  EXPECT_EQ(renderer_->OnDisplayChange(), 0);  // made anew
  Deliver(7);
  EXPECT_EQ(Difference(Reference(7), true, 0), 0);  // still mirrored
}

TEST_F(RenderDisplayTest, GpuDrawFollowsAResizeOfItsWindow) {
  std::string why;
  if (!vz::GlesVideoDevice::Available(&why)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsMesaGles) << "no OpenGL ES: " << why;
  VideoDrawFactory gpu_only;
  gpu_only.create_software = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  ASSERT_TRUE(MakeRenderer(gpu_only, CWinVideoRenderer::kRenderTypeGpu));
  Deliver(7);
  if (renderer_->current_render_type() != CWinVideoRenderer::kRenderTypeGpu) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsMesaGles) << "no GL context";
  }
  // Twice the size: the picture is scaled 2x into the new target.
  window_->SetBounds(vz::Rect::FromXYWH(50, 50, 2 * kWidth, 2 * kHeight));
  system_->Sync();
  EXPECT_EQ(renderer_->OnWindowPositionChange(), 0);
  Deliver(7);
  std::optional<vz::Image> grab;
  vz::DisplayTestEnv::Get().RunUntil(vz::RunLoop::ForCurrentThread(), [&] {
    grab = vz::GrabX11Window(vz::DisplayTestEnv::Get().display(), surface_);
    return grab && grab->width() == 2 * kWidth;
  });
  ASSERT_TRUE(grab);
  ASSERT_EQ(grab->width(), 2 * kWidth);
  const std::vector<uint32_t> ref = Reference(7);
  int worst = 0;
  for (int y = 1; y < 2 * kHeight - 1; y += 7)
    for (int x = 1; x < 2 * kWidth - 1; x += 5) {
      const uint32_t got = grab->GetPixel(x, y), want = ref[(y / 2) * kWidth + x / 2];
      for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(static_cast<int>((got >> shift) & 0xFF) -
                                         static_cast<int>((want >> shift) & 0xFF)));
    }
  EXPECT_LE(worst, 4);  // bilinear between neighbours of a smooth picture
}

}  // namespace
