// Mpixel/s of the two conversions on every frame (camera RGB32 to I420 for
// the encoder, I420 to RGB32 for the draw) at 720p and 1080p, beside the
// same conversions of libyuv in the same run. libyuv's "ARGB" is our
// CSP_BGRA32 (bytes B, G, R, A).
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <cstdint>
#include <vector>

#include "video/devices/color/color_space_convertor.h"
#include "video/devices/color/cpu_features.h"

namespace {

using namespace nsVZVP;

struct Frame {
  int w, h;
  std::vector<uint8_t> i420, rgb32;
  explicit Frame(int width, int height)
      : w(width), h(height), i420(static_cast<size_t>(width * height * 3 / 2)),
        rgb32(static_cast<size_t>(width * height * 4)) {
    uint32_t x = 12345;
    for (auto& b : i420) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
    for (auto& b : rgb32) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  }
  ImageDesc Planar() {
    ImageDesc d{};
    d.width = w, d.height = h, d.format = CSP_I420;
    d.plane[0] = i420.data(), d.plane[1] = i420.data() + w * h, d.plane[2] = d.plane[1] + w * h / 4;
    d.stride[0] = w, d.stride[1] = d.stride[2] = w / 2;
    return d;
  }
  ImageDesc Packed() {
    ImageDesc d{};
    d.width = w, d.height = h, d.format = CSP_BGRA32;
    d.plane[0] = d.plane[1] = d.plane[2] = rgb32.data();
    d.stride[0] = d.stride[1] = d.stride[2] = w * 4;
    return d;
  }
};

void SetRate(benchmark::State& state, const Frame& f) {
  state.counters["Mpixel/s"] =
      benchmark::Counter(static_cast<double>(f.w) * f.h * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}

uint32_t Word(int which) {
  const uint32_t all = DetectCpuFeatures();
  return which == 0 ? 0u : (which == 1 ? (all & ~static_cast<uint32_t>(kCpuAvx2)) : all);
}

// range(0), range(1): size; range(2): 0 plain, 1 SSE2, 2 everything the processor has.
void BM_Ours_I420ToRgb32(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  CColorSpaceConvertor c(Word(static_cast<int>(state.range(2))));
  ImageDesc src = f.Planar(), dst = f.Packed();
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.Convert(1, &src, &dst));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

void BM_Ours_Rgb32ToI420(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  CColorSpaceConvertor c(Word(static_cast<int>(state.range(2))));
  ImageDesc src = f.Packed(), dst = f.Planar();
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.Convert(1, &src, &dst));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

void BM_Libyuv_I420ToARGB(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int w = f.w, h = f.h;
  const uint8_t* y = f.i420.data();
  for (auto _ : state) {
    benchmark::DoNotOptimize(libyuv::I420ToARGB(y, w, y + w * h, w / 2, y + w * h * 5 / 4, w / 2, f.rgb32.data(),
                                                w * 4, w, h));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

void BM_Libyuv_ARGBToI420(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int w = f.w, h = f.h;
  uint8_t* y = f.i420.data();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        libyuv::ARGBToI420(f.rgb32.data(), w * 4, y, w, y + w * h, w / 2, y + w * h * 5 / 4, w / 2, w, h));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

void OurSizes(benchmark::internal::Benchmark* b) {
  for (int which : {0, 1, 2}) {
    b->Args({640, 360, which});
    b->Args({1280, 720, which});
    b->Args({1920, 1080, which});
  }
}

BENCHMARK(BM_Ours_I420ToRgb32)->Apply(OurSizes);
BENCHMARK(BM_Libyuv_I420ToARGB)->Args({640, 360})->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(BM_Ours_Rgb32ToI420)->Apply(OurSizes);
BENCHMARK(BM_Libyuv_ARGBToI420)->Args({640, 360})->Args({1280, 720})->Args({1920, 1080});

}  // namespace

BENCHMARK_MAIN();
