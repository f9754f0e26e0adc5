// Every conversion into and out of I420 that the converter builds, at 720p
// and 1080p, beside the same conversion of libyuv (the peer, in the same run;
// libyuv converts with its own SIMD rows and its own coefficients, so only
// the speed compares, not the bytes). Our converter runs with everything the
// processor has (the way the engine builds it); the plain and SSE2-only
// forms of the RGB32 pair are kept for reference.
//
// The Pair/ benchmarks are the ones to read for a ratio: ours and the peer
// alternate round by round on the same buffers (see RunPair).
//
// Names: our format first, then libyuv's name for the same byte order
// (libyuv names a 32-bit format after its value read as a little-endian
// word: its "ARGB" is our CSP_BGRA32, bytes B, G, R, A; its "RAW" is our
// CSP_RGB24, bytes R, G, B; its "RGB24" our CSP_BGR24).
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "video/devices/color/color_space_convertor.h"
#include "video/devices/color/cpu_features.h"

namespace {

using namespace nsVZVP;

struct Frame {
  int w, h;
  std::vector<uint8_t> i420, packed;
  Frame(int width, int height)
      : w(width), h(height), i420(static_cast<size_t>(width) * height * 3 / 2),
        packed(static_cast<size_t>(width) * height * 4) {
    uint32_t x = 12345;
    for (auto& b : i420) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
    for (auto& b : packed) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  }
  uint8_t* Y() { return i420.data(); }
  uint8_t* U() { return i420.data() + static_cast<size_t>(w) * h; }
  uint8_t* V() { return U() + static_cast<size_t>(w) * h / 4; }
  ImageDesc Planar() {
    ImageDesc d{};
    d.width = w, d.height = h, d.format = CSP_I420;
    d.plane[0] = Y(), d.plane[1] = U(), d.plane[2] = V();
    d.stride[0] = w, d.stride[1] = d.stride[2] = w / 2;
    return d;
  }
  ImageDesc Packed(uint32_t format, int bytes) {
    ImageDesc d{};
    d.width = w, d.height = h, d.format = format;
    d.plane[0] = d.plane[1] = d.plane[2] = packed.data();
    d.stride[0] = d.stride[1] = d.stride[2] = w * bytes;
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
  return which == 0 ? 0u : (which == 1 ? (all & ~static_cast<uint32_t>(kCpuAvx2 | kCpuSsse3)) : all);
}

// Ours: range(0), range(1) the size, range(2) 0 plain, 1 SSE2 only, 2 all.
template <uint32_t kFormat, int kBytes, bool kToPlanar>
void BM_Ours(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  CColorSpaceConvertor c(Word(state.range(2) >= 0 ? static_cast<int>(state.range(2)) : 2));
  ImageDesc planar = f.Planar(), packed = f.Packed(kFormat, kBytes);
  for (auto _ : state) {
    if (kToPlanar) {
      benchmark::DoNotOptimize(c.Convert(1, &packed, &planar));
    } else {
      benchmark::DoNotOptimize(c.Convert(1, &planar, &packed));
    }
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

using ToI420Fn = int (*)(const uint8_t*, int, uint8_t*, int, uint8_t*, int, uint8_t*, int, int, int);
using FromI420Fn = int (*)(const uint8_t*, int, const uint8_t*, int, const uint8_t*, int, uint8_t*, int, int, int);

template <ToI420Fn kFn, int kBytes>
void BM_Libyuv_To(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int w = f.w, h = f.h;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kFn(f.packed.data(), w * kBytes, f.Y(), w, f.U(), w / 2, f.V(), w / 2, w, h));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

template <FromI420Fn kFn, int kBytes>
void BM_Libyuv_From(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int w = f.w, h = f.h;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kFn(f.Y(), w, f.U(), w / 2, f.V(), w / 2, f.packed.data(), w * kBytes, w, h));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

void BM_Ours_I420Copy(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Frame g(f.w, f.h);
  CColorSpaceConvertor c(Word(2));
  ImageDesc src = f.Planar(), dst = g.Planar();
  for (auto _ : state) {
    benchmark::DoNotOptimize(c.Convert(1, &src, &dst));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

void BM_Libyuv_I420Copy(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Frame g(f.w, f.h);
  const int w = f.w, h = f.h;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        libyuv::I420Copy(f.Y(), w, f.U(), w / 2, f.V(), w / 2, g.Y(), w, g.U(), w / 2, g.V(), w / 2, w, h));
    benchmark::ClobberMemory();
  }
  SetRate(state, f);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({1280, 720, -1});
  b->Args({1920, 1080, -1});
}

void AllForms(benchmark::internal::Benchmark* b) {
  for (int which : {0, 1, 2}) {
    b->Args({1280, 720, which});
    b->Args({1920, 1080, which});
  }
}

// Into I420 (the camera-to-encoder direction), each beside its peer.
BENCHMARK(BM_Ours<CSP_RGB24, 3, true>)->Name("ToI420/ours_RGB24")->Apply(Sizes);
BENCHMARK(BM_Libyuv_To<libyuv::RAWToI420, 3>)->Name("ToI420/libyuv_RAW")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_BGR24, 3, true>)->Name("ToI420/ours_BGR24")->Apply(Sizes);
BENCHMARK(BM_Libyuv_To<libyuv::RGB24ToI420, 3>)->Name("ToI420/libyuv_RGB24")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_RGBA32, 4, true>)->Name("ToI420/ours_RGBA32")->Apply(Sizes);
BENCHMARK(BM_Libyuv_To<libyuv::ABGRToI420, 4>)->Name("ToI420/libyuv_ABGR")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_BGRA32, 4, true>)->Name("ToI420/ours_BGRA32")->Apply(AllForms);
BENCHMARK(BM_Libyuv_To<libyuv::ARGBToI420, 4>)->Name("ToI420/libyuv_ARGB")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_ABGR32, 4, true>)->Name("ToI420/ours_ABGR32")->Apply(Sizes);
BENCHMARK(BM_Libyuv_To<libyuv::RGBAToI420, 4>)->Name("ToI420/libyuv_RGBA")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_ARGB32, 4, true>)->Name("ToI420/ours_ARGB32")->Apply(Sizes);
BENCHMARK(BM_Libyuv_To<libyuv::BGRAToI420, 4>)->Name("ToI420/libyuv_BGRA")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_YUY2, 2, true>)->Name("ToI420/ours_YUY2")->Apply(Sizes);
BENCHMARK(BM_Libyuv_To<libyuv::YUY2ToI420, 2>)->Name("ToI420/libyuv_YUY2")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_UYVY, 2, true>)->Name("ToI420/ours_UYVY")->Apply(Sizes);
BENCHMARK(BM_Libyuv_To<libyuv::UYVYToI420, 2>)->Name("ToI420/libyuv_UYVY")->Apply(Sizes);

// Out of I420 (the decoder-to-draw direction).
BENCHMARK(BM_Ours<CSP_RGB24, 3, false>)->Name("FromI420/ours_RGB24")->Apply(Sizes);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToRAW, 3>)->Name("FromI420/libyuv_RAW")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_BGR24, 3, false>)->Name("FromI420/ours_BGR24")->Apply(Sizes);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToRGB24, 3>)->Name("FromI420/libyuv_RGB24")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_RGBA32, 4, false>)->Name("FromI420/ours_RGBA32")->Apply(Sizes);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToABGR, 4>)->Name("FromI420/libyuv_ABGR")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_BGRA32, 4, false>)->Name("FromI420/ours_BGRA32")->Apply(AllForms);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToARGB, 4>)->Name("FromI420/libyuv_ARGB")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_ABGR32, 4, false>)->Name("FromI420/ours_ABGR32")->Apply(Sizes);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToRGBA, 4>)->Name("FromI420/libyuv_RGBA")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_ARGB32, 4, false>)->Name("FromI420/ours_ARGB32")->Apply(Sizes);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToBGRA, 4>)->Name("FromI420/libyuv_BGRA")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_YUY2, 2, false>)->Name("FromI420/ours_YUY2")->Apply(Sizes);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToYUY2, 2>)->Name("FromI420/libyuv_YUY2")->Apply(Sizes);
BENCHMARK(BM_Ours<CSP_UYVY, 2, false>)->Name("FromI420/ours_UYVY")->Apply(Sizes);
BENCHMARK(BM_Libyuv_From<libyuv::I420ToUYVY, 2>)->Name("FromI420/libyuv_UYVY")->Apply(Sizes);

// Planar to planar.
BENCHMARK(BM_Ours_I420Copy)->Name("I420Copy/ours")->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(BM_Libyuv_I420Copy)->Name("I420Copy/libyuv")->Args({1280, 720})->Args({1920, 1080});

// Pairs: ours and the peer alternate within each round on the same buffers,
// so both meet the same caches and the same load on a shared machine; the
// counters give each side's median round and speed_vs_peer = peer / ours
// (1.0 is parity, above 1 ours is faster).
template <class F>
double Seconds(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  benchmark::ClobberMemory();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double>& v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

template <class Ours, class Peer>
void RunPair(benchmark::State& state, const Frame& f, Ours&& ours, Peer&& peer) {
  std::vector<double> t_ours, t_peer;
  bool peer_first = false;
  for (auto _ : state) {
    double a = 0, b = 0;
    if (peer_first) {
      b = Seconds(peer), a = Seconds(ours);
    } else {
      a = Seconds(ours), b = Seconds(peer);
    }
    peer_first = !peer_first;
    state.SetIterationTime(a + b);
    t_ours.push_back(a), t_peer.push_back(b);
  }
  if (t_ours.empty()) return;
  const double mo = Median(t_ours), mp = Median(t_peer);
  state.counters["ours_us"] = mo * 1e6;
  state.counters["peer_us"] = mp * 1e6;
  state.counters["speed_vs_peer"] = mp / mo;
  SetRate(state, f);
}

// Both sides once before timing, the largest byte difference of their
// outputs as a counter: a few units for the same work with the peer's own
// coefficients, far more if a pair's byte orders did not match.
template <class Ours, class Peer>
int MaxDiff(std::vector<uint8_t>& out, size_t bytes, Ours&& ours, Peer&& peer) {
  ours();
  const std::vector<uint8_t> mine(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(bytes));
  peer();
  int most = 0;
  for (size_t i = 0; i < bytes; ++i) most = std::max(most, std::abs(int{mine[i]} - int{out[i]}));
  return most;
}

template <uint32_t kFormat, int kBytes, ToI420Fn kPeer>
void BM_PairTo(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  CColorSpaceConvertor c(Word(2));
  ImageDesc planar = f.Planar(), packed = f.Packed(kFormat, kBytes);
  const int w = f.w, h = f.h;
  auto ours = [&] { benchmark::DoNotOptimize(c.Convert(1, &packed, &planar)); };
  auto peer = [&] {
    benchmark::DoNotOptimize(kPeer(f.packed.data(), w * kBytes, f.Y(), w, f.U(), w / 2, f.V(), w / 2, w, h));
  };
  const int diff = MaxDiff(f.i420, f.i420.size(), ours, peer);
  RunPair(state, f, ours, peer);
  state.counters["max_diff"] = diff;
}

template <uint32_t kFormat, int kBytes, FromI420Fn kPeer>
void BM_PairFrom(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  CColorSpaceConvertor c(Word(2));
  ImageDesc planar = f.Planar(), packed = f.Packed(kFormat, kBytes);
  const int w = f.w, h = f.h;
  auto ours = [&] { benchmark::DoNotOptimize(c.Convert(1, &planar, &packed)); };
  auto peer = [&] {
    benchmark::DoNotOptimize(kPeer(f.Y(), w, f.U(), w / 2, f.V(), w / 2, f.packed.data(), w * kBytes, w, h));
  };
  const int diff = MaxDiff(f.packed, static_cast<size_t>(w) * h * kBytes, ours, peer);
  RunPair(state, f, ours, peer);
  state.counters["max_diff"] = diff;
}

void BM_PairCopy(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Frame g(f.w, f.h);
  CColorSpaceConvertor c(Word(2));
  ImageDesc src = f.Planar(), dst = g.Planar();
  const int w = f.w, h = f.h;
  RunPair(
      state, f, [&] { benchmark::DoNotOptimize(c.Convert(1, &src, &dst)); },
      [&] {
        benchmark::DoNotOptimize(
            libyuv::I420Copy(f.Y(), w, f.U(), w / 2, f.V(), w / 2, g.Y(), w, g.U(), w / 2, g.V(), w / 2, w, h));
      });
}

void PairSizes(benchmark::internal::Benchmark* b) {
  b->Args({1280, 720})->Args({1920, 1080})->UseManualTime();
}

BENCHMARK(BM_PairTo<CSP_RGB24, 3, libyuv::RAWToI420>)->Name("Pair/ToI420/RGB24_vs_RAW")->Apply(PairSizes);
BENCHMARK(BM_PairTo<CSP_BGR24, 3, libyuv::RGB24ToI420>)->Name("Pair/ToI420/BGR24_vs_RGB24")->Apply(PairSizes);
BENCHMARK(BM_PairTo<CSP_RGBA32, 4, libyuv::ABGRToI420>)->Name("Pair/ToI420/RGBA32_vs_ABGR")->Apply(PairSizes);
BENCHMARK(BM_PairTo<CSP_BGRA32, 4, libyuv::ARGBToI420>)->Name("Pair/ToI420/BGRA32_vs_ARGB")->Apply(PairSizes);
BENCHMARK(BM_PairTo<CSP_ABGR32, 4, libyuv::RGBAToI420>)->Name("Pair/ToI420/ABGR32_vs_RGBA")->Apply(PairSizes);
BENCHMARK(BM_PairTo<CSP_ARGB32, 4, libyuv::BGRAToI420>)->Name("Pair/ToI420/ARGB32_vs_BGRA")->Apply(PairSizes);
BENCHMARK(BM_PairTo<CSP_YUY2, 2, libyuv::YUY2ToI420>)->Name("Pair/ToI420/YUY2_vs_YUY2")->Apply(PairSizes);
BENCHMARK(BM_PairTo<CSP_UYVY, 2, libyuv::UYVYToI420>)->Name("Pair/ToI420/UYVY_vs_UYVY")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_RGB24, 3, libyuv::I420ToRAW>)->Name("Pair/FromI420/RGB24_vs_RAW")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_BGR24, 3, libyuv::I420ToRGB24>)->Name("Pair/FromI420/BGR24_vs_RGB24")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_RGBA32, 4, libyuv::I420ToABGR>)->Name("Pair/FromI420/RGBA32_vs_ABGR")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_BGRA32, 4, libyuv::I420ToARGB>)->Name("Pair/FromI420/BGRA32_vs_ARGB")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_ABGR32, 4, libyuv::I420ToRGBA>)->Name("Pair/FromI420/ABGR32_vs_RGBA")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_ARGB32, 4, libyuv::I420ToBGRA>)->Name("Pair/FromI420/ARGB32_vs_BGRA")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_YUY2, 2, libyuv::I420ToYUY2>)->Name("Pair/FromI420/YUY2_vs_YUY2")->Apply(PairSizes);
BENCHMARK(BM_PairFrom<CSP_UYVY, 2, libyuv::I420ToUYVY>)->Name("Pair/FromI420/UYVY_vs_UYVY")->Apply(PairSizes);
BENCHMARK(BM_PairCopy)->Name("Pair/I420Copy/I420_vs_I420")->Apply(PairSizes);

}  // namespace

BENCHMARK_MAIN();
