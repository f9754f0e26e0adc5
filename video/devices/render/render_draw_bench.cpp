// 720p I420 frames through each draw into a window of a private X server
// (Xvfb, started here), in one run: frames a second and CPU time a frame
// (the whole process: the GPU draw's rasteriser threads count too; the X
// server's own work does not). Beside them, the software draw's conversion
// and scaling alone against libyuv's (I420ToARGB + ARGBScale) on the same
// frame and size.
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/run_loop.h"
#include "platform/ui/gles_video_device.h"
#include "platform/ui/window.h"
#include "platform/ui/xvfb_testlib.h"
#include "video/devices/render/draw_factory.h"
#include "video/devices/render/gdi_draw.h"
#include "video/devices/render/render_fakes_testlib.h"
#include "video/devices/render/view_window_port.h"
#include "video/devices/render/win_video_renderer.h"

namespace {

constexpr int kFrameWidth = 1280, kFrameHeight = 720;
constexpr int kWindowWidth = 960, kWindowHeight = 540;  // scaled, as in a panel

class Blank : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas&) override {}
};

struct Display {
  vz::XvfbServer server;
  std::unique_ptr<vz::WindowSystem> system;
  std::unique_ptr<vz::Window> window;
  Blank blank;
  bool Open() {
    std::string why;
    if (!server.Start(&why, 1920, 1080)) {
      std::fprintf(stderr, "no Xvfb: %s\n", why.c_str());
      return false;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    system = vz::OpenDisplayWindowSystem(server.display().c_str());
    if (!system) return false;
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(0, 0, kWindowWidth, kWindowHeight);
    params.flags = vz::kWindowOverrideRedirect;
    window = system->CreateWindow(params, &blank);
    window->Show(false);
    system->Sync();
    return true;
  }
};

Display& TheDisplay() {
  static Display* display = [] {
    auto* d = new Display();
    if (!d->Open()) d->window.reset();
    return d;
  }();
  return *display;
}

std::vector<uint8_t> I420Frame(int seed) {
  std::vector<uint8_t> f(kFrameWidth * kFrameHeight * 3 / 2);
  for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>((i * 13 + seed * 7 + (i >> 10)) & 0xFF);
  return f;
}

void RunDraw(benchmark::State& state, VideoDrawFactory factory, int32_t render_type, int32_t want_type) {
  Display& display = TheDisplay();
  if (!display.window) {
    state.SkipWithError("no display");
    return;
  }
  auto* renderer = new CWinVideoRenderer(std::move(factory));
  renderer->AddRef();
  if (!renderer->Init(std::make_unique<ViewWindowPort>(display.window.get()), render_type)) {
    renderer->Release();
    state.SkipWithError("the draw could not be made");
    return;
  }
  std::vector<TestSample*> samples;
  for (int i = 0; i < 2; ++i) {
    samples.push_back(new TestSample(VideoFormat{2, kFrameWidth, kFrameHeight, 30.0f, 0}, I420Frame(i)));
    samples.back()->AddRef();
  }
  renderer->DeliverSample(samples[0]);  // the device is made here, outside the timing
  if (renderer->current_render_type() != want_type) {
    state.SkipWithError("the draw fell back");
  } else {
    int i = 0;
    for (auto _ : state) renderer->DeliverSample(samples[++i % 2]);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  for (TestSample* s : samples) s->Release();
  renderer->Release();
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
}

void BM_SoftwareDraw720pI420IntoXvfb(benchmark::State& state) {
  VideoDrawFactory software;
  software.create_first_choice = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  RunDraw(state, software, CWinVideoRenderer::kRenderTypeSoftware, CWinVideoRenderer::kRenderTypeSoftware);
}
BENCHMARK(BM_SoftwareDraw720pI420IntoXvfb)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_GpuDraw720pI420IntoXvfb(benchmark::State& state) {
  std::string why;
  if (!vz::GlesVideoDevice::Available(&why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  VideoDrawFactory gpu;
  gpu.create_first_choice = &CreateDirect3D9ExDraw;
  gpu.create_software = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  RunDraw(state, gpu, CWinVideoRenderer::kRenderTypeGpu, CWinVideoRenderer::kRenderTypeGpu);
}
BENCHMARK(BM_GpuDraw720pI420IntoXvfb)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_XRenderDraw720pI420IntoXvfb(benchmark::State& state) {
  VideoDrawFactory xrender;
  xrender.create_first_choice = &CreateDirect3D7Draw;
  xrender.create_software = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  RunDraw(state, xrender, CWinVideoRenderer::kRenderTypeGpu, CWinVideoRenderer::kRenderTypeGpu);
}
BENCHMARK(BM_XRenderDraw720pI420IntoXvfb)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The software path's CPU work alone: conversion to 24-bit BGR, the copy
// into the draw's image and the scaling into the window-size picture (an
// output that keeps the pixels in memory).
class MemoryOutput : public IVideoFrameOutput {
 public:
  uint32_t* Buffer(int32_t width, int32_t height) override {
    pixels_.resize(static_cast<size_t>(width) * height);
    return pixels_.data();
  }
  bool Put(const Rect&) override { return true; }

 private:
  std::vector<uint32_t> pixels_;
};

void BM_SoftwareConvertAndScale720p(benchmark::State& state) {
  FakeWindowQueue queue;
  auto* renderer = new CWinVideoRenderer([] {
    VideoDrawFactory f;
    f.create_first_choice = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
    f.create_software = [](IVideoWindowPort* w, IDrawHost* h) -> IVideoDraw* {
      auto* draw = new CGDIDraw([](IVideoWindowPort*) { return std::make_unique<MemoryOutput>(); });
      draw->Init(w, h);
      return draw;
    };
    return f;
  }());
  renderer->AddRef();
  auto port = std::make_unique<FakeWindowPort>(&queue);
  port->SetClientRect(vz::Rect{0, 0, kWindowWidth, kWindowHeight});
  renderer->Init(std::move(port), CWinVideoRenderer::kRenderTypeSoftware);
  auto* sample = new TestSample(VideoFormat{2, kFrameWidth, kFrameHeight, 30.0f, 0}, I420Frame(0));
  sample->AddRef();
  for (auto _ : state) renderer->DeliverSample(sample);
  sample->Release();
  renderer->Release();
}
BENCHMARK(BM_SoftwareConvertAndScale720p)->Unit(benchmark::kMillisecond);

void BM_LibyuvConvertAndScale720p(benchmark::State& state) {
  const std::vector<uint8_t> f = I420Frame(0);
  const uint8_t* y = f.data();
  std::vector<uint8_t> argb(kFrameWidth * kFrameHeight * 4), scaled(kWindowWidth * kWindowHeight * 4);
  for (auto _ : state) {
    libyuv::I420ToARGB(y, kFrameWidth, y + kFrameWidth * kFrameHeight, kFrameWidth / 2,
                       y + kFrameWidth * kFrameHeight * 5 / 4, kFrameWidth / 2, argb.data(), kFrameWidth * 4,
                       kFrameWidth, kFrameHeight);
    libyuv::ARGBScale(argb.data(), kFrameWidth * 4, kFrameWidth, kFrameHeight, scaled.data(), kWindowWidth * 4,
                      kWindowWidth, kWindowHeight, libyuv::kFilterNone);
    benchmark::DoNotOptimize(scaled.data());
  }
}
BENCHMARK(BM_LibyuvConvertAndScale720p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
