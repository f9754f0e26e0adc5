// Change detection of one frame beside memcmp of the same frames: the cost
// of telling an unchanged monitor from a changed one, and of a round in which
// every pixel changed.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/pixel_compare.h"
#include "capture/monitors/sharing_rgn_controller.h"
#include "capture/monitors/shared_monitor.h"
#include "platform/screen/screen_double_testlib.h"

namespace {

std::vector<uint32_t> Frame(int width, int height, uint32_t seed) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  uint32_t x = seed;
  for (uint32_t& p : pixels) {
    x = x * 1664525u + 1013904223u;
    p = 0xFF000000u | (x >> 8);
  }
  return pixels;
}

void Dimensions(benchmark::internal::Benchmark* b) {
  b->Args({1920, 1080});
  b->Args({3840, 2160});
}

// Times the compare of two w x h frames, in bytes of one frame per round.
void TimeCompare(benchmark::State& state, int w, int h, const std::vector<uint32_t>& previous,
                 const std::vector<uint32_t>& current) {
  int l, t, r, b;
  for (auto _ : state) {
    const bool changed = FindImageChange(previous.data(), current.data(), w, 0, 0, w, h, &l, &t, &r, &b);
    benchmark::DoNotOptimize(changed);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 4);
}

// The compare of an unchanged frame (every row equal).
void BM_ChangeDetectionUnchanged(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::vector<uint32_t> previous = Frame(w, h, 1);
  const std::vector<uint32_t> current = previous;
  TimeCompare(state, w, h, previous, current);
}
BENCHMARK(BM_ChangeDetectionUnchanged)->Apply(Dimensions)->Unit(benchmark::kMicrosecond);

// The peer: memcmp of the same two frames.
void BM_MemcmpUnchanged(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::vector<uint32_t> previous = Frame(w, h, 1);
  const std::vector<uint32_t> current = previous;
  for (auto _ : state) {
    const int result = std::memcmp(previous.data(), current.data(), previous.size() * 4);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 4);
}
BENCHMARK(BM_MemcmpUnchanged)->Apply(Dimensions)->Unit(benchmark::kMicrosecond);

// Every pixel changed: the compare has to find both ends of every row.
void BM_ChangeDetectionAllChanged(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::vector<uint32_t> previous = Frame(w, h, 1);
  std::vector<uint32_t> current = previous;
  for (uint32_t& p : current) p ^= 0x00808080u;
  TimeCompare(state, w, h, previous, current);
}
BENCHMARK(BM_ChangeDetectionAllChanged)->Apply(Dimensions)->Unit(benchmark::kMicrosecond);

// The compare's worst case: every pixel off by the tolerance (compositor
// noise), so every row is walked channel by channel and nothing is found.
void BM_ChangeDetectionNoise(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::vector<uint32_t> previous = Frame(w, h, 1);
  std::vector<uint32_t> current = previous;
  for (uint32_t& p : current) p = (p & 0xFFFCFCFCu) + 0x00030303u - ((p & 0x00030303u) == 0x00030303u ? 0x00030303u : 0);
  TimeCompare(state, w, h, previous, current);
}
BENCHMARK(BM_ChangeDetectionNoise)->Apply(Dimensions)->Unit(benchmark::kMicrosecond);

// A grabber of a whole w x h in-memory screen, ready for its rounds.
struct GrabberRig {
  GrabberRig(int w, int h) : screen(w, h), grabber(Monitor(w, h)) { grabber.InitMonitor(&screen); }
  static MonitorInfo Monitor(int w, int h) {
    MonitorInfo monitor{};
    monitor.MonitorId = 1;
    monitor.Rect = {0, 0, w, h};
    monitor.LogicalRect = monitor.Rect;
    monitor.BitsPerPixel = 32;
    return monitor;
  }
  vz::ScreenDouble screen;
  CSharedMonitor grabber;
};

// Whole full-compare rounds of a grabber on the in-memory screen: the copy
// from the screen in bands, the compare and the copy into the previous image.
// Before each round `change(screen, round)` draws on the screen, inside the
// timed part when `time_change`.
template <typename Change>
void TimeFullCompareRounds(benchmark::State& state, bool time_change, Change change) {
  GrabberRig rig(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  ScanContext context;
  uint32_t round = 0;
  for (auto _ : state) {
    if (!time_change) state.PauseTiming();
    change(rig.screen, ++round);
    if (!time_change) state.ResumeTiming();
    benchmark::DoNotOptimize(rig.grabber.ScanScreenChanged(true, context));
  }
}

// Every pixel changed each round (the fill itself not timed).
void BM_FullCompareRoundAllChanged(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  TimeFullCompareRounds(state, false, [&](vz::ScreenDouble& screen, uint32_t round) {
    screen.Fill({0, 0, w, h}, 0xFF000000u | (round * 0x101010u));
  });
}
BENCHMARK(BM_FullCompareRoundAllChanged)->Apply(Dimensions)->Unit(benchmark::kMillisecond);

// An unchanged screen: nothing found.
void BM_FullCompareRoundUnchanged(benchmark::State& state) {
  TimeFullCompareRounds(state, true, [](vz::ScreenDouble&, uint32_t) {});
}
BENCHMARK(BM_FullCompareRoundUnchanged)->Apply(Dimensions)->Unit(benchmark::kMillisecond);

// One pixel changed each round.
void BM_FullCompareRoundOnePixel(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  TimeFullCompareRounds(state, true, [&](vz::ScreenDouble& screen, uint32_t round) {
    screen.SetPixel(w / 2, h / 2, 0xFF000000u | round);
  });
}
BENCHMARK(BM_FullCompareRoundOnePixel)->Apply(Dimensions)->Unit(benchmark::kMillisecond);

// A sampled round on an unchanged screen: a handful of one-line reads.
void BM_SampledRoundUnchanged(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  GrabberRig rig(w, h);
  vz::ScreenDouble& screen = rig.screen;
  CSharedMonitor& grabber = rig.grabber;
  ScanContext context;
  int32_t phase = 0;
  context.has_cursor = true;
  context.cursor_x = w / 2;
  context.cursor_y = h / 2;
  context.cursor_phase = &phase;
  const int reads_before = screen.reads();
  for (auto _ : state) benchmark::DoNotOptimize(grabber.ScanScreenChanged(false, context));
  state.counters["reads_per_round"] =
      benchmark::Counter(static_cast<double>(screen.reads() - reads_before) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SampledRoundUnchanged)->Apply(Dimensions)->Unit(benchmark::kMicrosecond);

// The window walk of every round: cascaded windows over a shared one.
void BM_RegionWalk(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  vz::ScreenDouble screen(1920, 1080);
  std::vector<vz::ScreenWindow> windows;
  for (int i = 0; i < count; ++i) {
    vz::ScreenWindow w;
    w.id = 0x100 + static_cast<uint64_t>(i);
    w.bounds = {(i * 37) % 1500, (i * 23) % 800, 400, 300};
    w.pid = 100 + i;
    w.visible = true;
    windows.push_back(w);
  }
  screen.SetWindows(windows);
  CMultiMonitor monitors(1);
  monitors.Reset(&screen);
  monitors.RefreshWindows(screen);
  monitors.ShareWindow(0x100, 1, &screen);  // the bottom one, covered by all others
  CSharingRgnController regions(1);
  const CScreenRegion monitor_region = monitors.MonitorRegion();
  for (auto _ : state) benchmark::DoNotOptimize(regions.Update(monitor_region, monitors, screen, nullptr));
}
BENCHMARK(BM_RegionWalk)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
