// 720p I420 frames through each draw into a window of a private X server
// (Xvfb, started here), in one run: frames a second and CPU time a frame
// (the whole process: the GPU draw's rasteriser threads count too; the X
// server's own work does not). Beside them, the software draw's conversion
// and scaling alone against libyuv's (I420ToARGB + ARGBScale) on the same
// frame and size, and the Pair/ rows: the whole software draw against the
// floor of the same work (libyuv's I420ToARGB at frame size, ARGBScale
// nearest into an MIT-SHM image, XShmPutImage), alternating round by round
// into the same window; they print each side's median wall and CPU time, the
// ratios (floor / ours: 1 is as fast as the floor) and the mean difference
// of the two pictures on screen.
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include "platform/run_loop.h"
#include "platform/ui/gles_video_device.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_image_presenter.h"
#include "platform/ui/x11_window_grab.h"
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

// Made on first use, and ended by main once the benchmarks ran (its window
// and connection before its Xvfb): not left to the exit's destructors,
// whose order among the other statics is not ours.
Display* the_display = nullptr;

Display& TheDisplay() {
  if (the_display == nullptr) {
    the_display = new Display();
    if (!the_display->Open()) the_display->window.reset();
  }
  return *the_display;
}

void CloseTheDisplay() {
  if (the_display == nullptr) return;
  the_display->window.reset();
  the_display->system.reset();
  delete the_display;  // stops its Xvfb
  the_display = nullptr;
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

// The software path's CPU work alone: the frame's rows converted and
// scaled into the window-size picture (an output that keeps the pixels in
// memory).
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

// ---- The whole software draw against its floor ----

// A smooth picture (gradients and a slow ripple, as a camera gives) so that
// the two sides' nearest-neighbour sampling, which may pick neighbouring
// source pixels, shows the same picture on screen.
std::vector<uint8_t> SmoothI420(int w, int h, int seed) {
  std::vector<uint8_t> f(static_cast<size_t>(w) * h + 2 * static_cast<size_t>(w / 2) * (h / 2));
  uint8_t* y = f.data();
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const double ripple = 20.0 * std::sin((c + seed * 3) * 0.05) * std::cos(r * 0.04);
      y[static_cast<size_t>(r) * w + c] = static_cast<uint8_t>(std::clamp(40.0 + 150.0 * c / w + 30.0 * r / h + ripple, 16.0, 235.0));
    }
  }
  uint8_t* u = y + static_cast<size_t>(w) * h;
  uint8_t* v = u + static_cast<size_t>(w / 2) * (h / 2);
  for (int r = 0; r < h / 2; ++r) {
    for (int c = 0; c < w / 2; ++c) {
      u[static_cast<size_t>(r) * (w / 2) + c] = static_cast<uint8_t>(60 + 130 * c / (w / 2));
      v[static_cast<size_t>(r) * (w / 2) + c] = static_cast<uint8_t>(190 - 120 * r / (h / 2));
    }
  }
  return f;
}

// One window of the private server per size, shown at the top-left corner.
vz::Window* WindowOfSize(int width, int height) {
  static std::map<std::pair<int, int>, std::unique_ptr<vz::Window>> windows;
  Display& display = TheDisplay();
  if (!display.window) return nullptr;
  auto& window = windows[{width, height}];
  if (!window) {
    display.window->Hide();
    for (auto& [size, other] : windows) {
      if (other) other->Hide();
    }
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(0, 0, width, height);
    params.flags = vz::kWindowOverrideRedirect;
    window = display.system->CreateWindow(params, &display.blank);
  }
  window->Show(false);
  display.system->Sync();
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
  return window.get();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double MeanDifference(const vz::Image& a, const vz::Image& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.width() == 0) return 255;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const size_t at = static_cast<size_t>(y) * a.width() + x;
      const uint32_t p = a.data()[at], q = b.data()[at];
      for (int shift : {0, 8, 16}) sum += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
    }
  }
  return sum / (3.0 * a.width() * a.height());
}

// Args: frame width, frame height, window width, window height.
void BM_PairSoftwareDrawVsFloor(benchmark::State& state) {
  const int fw = static_cast<int>(state.range(0)), fh = static_cast<int>(state.range(1));
  const int ww = static_cast<int>(state.range(2)), wh = static_cast<int>(state.range(3));
  vz::Window* window = WindowOfSize(ww, wh);
  if (window == nullptr) {
    state.SkipWithError("no display");
    return;
  }
  VideoDrawFactory software;
  software.create_first_choice = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
  auto* renderer = new CWinVideoRenderer(std::move(software));
  renderer->AddRef();
  auto port = std::make_unique<ViewWindowPort>(window);
  ViewWindowPort* video_window = port.get();  // owned by the renderer from here
  if (!renderer->Init(std::move(port), CWinVideoRenderer::kRenderTypeSoftware) || video_window->NativeWindow() == 0) {
    renderer->Release();
    state.SkipWithError("the software draw could not be made");
    return;
  }
  const std::string display_name = TheDisplay().server.display();
  std::unique_ptr<vz::X11ImagePresenter> floor_output =
      vz::X11ImagePresenter::Open(display_name, video_window->NativeWindow());
  std::vector<TestSample*> samples;
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 2; ++i) {
    frames.push_back(SmoothI420(fw, fh, i));
    samples.push_back(new TestSample(VideoFormat{2, fw, fh, 30.0f, 0}, frames.back()));
    samples.back()->AddRef();
  }
  std::vector<uint8_t> argb(static_cast<size_t>(fw) * fh * 4);
  auto floor_draw = [&](const std::vector<uint8_t>& f) {
    const uint8_t* y = f.data();
    const uint8_t* u = y + static_cast<size_t>(fw) * fh;
    const uint8_t* v = u + static_cast<size_t>(fw / 2) * (fh / 2);
    uint32_t* out = floor_output->Buffer(ww, wh);
    libyuv::I420ToARGB(y, fw, u, fw / 2, v, fw / 2, argb.data(), fw * 4, fw, fh);
    libyuv::ARGBScale(argb.data(), fw * 4, fw, fh, reinterpret_cast<uint8_t*>(out), ww * 4, ww, wh,
                      libyuv::kFilterNone);
    floor_output->Put(0, 0);
  };
  if (!floor_output || floor_output->Buffer(ww, wh) == nullptr || !floor_output->uses_shm()) {
    state.SkipWithError("no MIT-SHM output for the floor");
  } else {
    // The same frame through each side once, outside the timing: what the
    // window shows must be the same picture.
    renderer->DeliverSample(samples[0]);
    if (renderer->current_render_type() != CWinVideoRenderer::kRenderTypeSoftware) {
      state.SkipWithError("the draw fell back");
    }
    std::optional<vz::Image> ours_shown = vz::GrabX11Window(display_name, video_window->NativeWindow());
    floor_draw(frames[0]);
    std::optional<vz::Image> floor_shown = vz::GrabX11Window(display_name, video_window->NativeWindow());
    const double difference = ours_shown && floor_shown ? MeanDifference(*ours_shown, *floor_shown) : 255;

    std::vector<double> wall_ours, wall_floor, cpu_ours, cpu_floor;
    auto time = [](auto&& work, std::vector<double>* wall, std::vector<double>* cpu) {
      const std::clock_t c0 = std::clock();
      const auto t0 = std::chrono::steady_clock::now();
      work();
      const auto t1 = std::chrono::steady_clock::now();
      const std::clock_t c1 = std::clock();
      wall->push_back(std::chrono::duration<double>(t1 - t0).count());
      cpu->push_back(static_cast<double>(c1 - c0) / CLOCKS_PER_SEC);
      return wall->back();
    };
    int i = 0;
    for (auto _ : state) {
      ++i;
      auto ours = [&] { renderer->DeliverSample(samples[i % 2]); };
      auto floor = [&] { floor_draw(frames[i % 2]); };
      double spent = 0;
      if (i % 2) {
        spent += time(ours, &wall_ours, &cpu_ours) + time(floor, &wall_floor, &cpu_floor);
      } else {
        spent += time(floor, &wall_floor, &cpu_floor) + time(ours, &wall_ours, &cpu_ours);
      }
      state.SetIterationTime(spent);
    }
    const double wo = Median(wall_ours), wf = Median(wall_floor);
    const double co = Median(cpu_ours), cf = Median(cpu_floor);
    state.counters["ours_ms"] = wo * 1e3;
    state.counters["floor_ms"] = wf * 1e3;
    state.counters["speed_vs_floor"] = wo > 0 ? wf / wo : 0;
    state.counters["ours_cpu_ms"] = co * 1e3;
    state.counters["floor_cpu_ms"] = cf * 1e3;
    state.counters["cpu_vs_floor"] = co > 0 ? cf / co : 0;
    state.counters["mean_diff"] = difference;
  }
  floor_output.reset();
  for (TestSample* s : samples) s->Release();
  renderer->Release();
  vz::RunLoop::ForCurrentThread().RunUntilIdle();
}
BENCHMARK(BM_PairSoftwareDrawVsFloor)
    ->Name("Pair/SoftwareDrawVsFloor")
    ->ArgNames({"fw", "fh", "ww", "wh"})
    ->Args({1280, 720, 960, 540})
    ->Args({1280, 720, 1920, 1080})
    ->Args({640, 360, 960, 540})
    ->Args({640, 360, 1920, 1080})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CloseTheDisplay();
  return 0;
}
