// A grabber's whole full-compare round on a real X server (a private Xvfb of
// 3840x2160): the read of the monitor into the grabber's image, which the
// server writes through shared memory, and the compare with the previous
// image; unchanged, and with a tenth of the monitor drawn anew before each
// round; and the sampled round that runs without a compositing manager,
// unchanged and with a reported window-sized change. Beside it the peer: memcmp of two equal frames of the monitor's
// size in memory (what telling "unchanged" costs at the least). "CPU" is
// this process's (the capture thread's) time; "server_ms" the X server's own
// CPU per round, read from its process entry; "Time" the wall clock of both.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/monitors/shared_monitor.h"
#include "platform/process_stat.h"
#include "platform/screen/screen_source.h"
#include "platform/ui/x11_root_paint_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace {

vz::XvfbServer* g_server = nullptr;

MonitorInfo Monitor(int w, int h) {
  MonitorInfo monitor{};
  monitor.MonitorId = 1;
  monitor.Rect = {0, 0, w, h};
  monitor.LogicalRect = monitor.Rect;
  monitor.BitsPerPixel = 32;
  return monitor;
}

// A desktop of sorts: bands and boxes of several colours.
void PaintDesktop(int w, int h) {
  const std::string& display = g_server->display();
  vz::FillRootRectangle(display, 0, 0, 3840, 2160, 0x204060);
  for (int i = 0; i < 24; ++i)
    vz::FillRootRectangle(display, (i * 157) % w, (i * 89) % h, 300, 200, 0x101010u * static_cast<uint32_t>(i + 1));
}

uint64_t ServerCpuMs() {
  vz::ProcessStat stat;
  return vz::ReadProcessStat(g_server->pid(), &stat) ? stat.cpu_ms : 0;
}

struct Rig {
  Rig(int w, int h) : source(vz::OpenX11ScreenSource({g_server->display(), true})), grabber(Monitor(w, h)) {
    PaintDesktop(w, h);
    ok = source && grabber.InitMonitor(source.get());
    ScanContext context;
    if (ok) grabber.ScanScreenChanged(true, context);  // the first round takes the whole monitor
  }
  std::unique_ptr<vz::ScreenSource> source;
  CSharedMonitor grabber;
  bool ok = false;
};

void Finish(benchmark::State& state, uint64_t server_before, int w, int h) {
  state.counters["server_ms"] = benchmark::Counter(static_cast<double>(ServerCpuMs() - server_before) /
                                                   static_cast<double>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * w * h * 4);
}

// Times the grabber's rounds on a monitor of the state's two ranges: the
// whole-monitor compare, or the sampled scan (with the cursor at the
// monitor's centre when `cursor`). Without `draw` the screen stays
// unchanged and no round may find a change; with it, `draw` paints a change
// (in a colour that alternates) before each round, outside the timed part,
// and every round must find it (`missed` is the error when one does not).
void TimeRounds(benchmark::State& state, bool whole_compare, bool cursor,
                const std::function<void(Rig& rig, uint32_t colour)>& draw, const char* missed) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Rig rig(w, h);
  if (!rig.ok) return state.SkipWithError("no grabber on the X server");
  ScanContext context;
  int32_t phase = 0;
  if (!whole_compare) context.cursor_phase = &phase;
  if (cursor) {
    context.has_cursor = true;
    context.cursor_x = w / 2;
    context.cursor_y = h / 2;
  }
  uint32_t colour = 0x112233;
  const uint64_t server_before = ServerCpuMs();
  int changed = 0;
  for (auto _ : state) {
    if (draw) {
      state.PauseTiming();
      colour ^= 0x00FF00;
      draw(rig, colour);
      state.ResumeTiming();
    }
    changed += rig.grabber.ScanScreenChanged(whole_compare, context);
  }
  if (!draw && changed != 0) state.SkipWithError("an unchanged screen reported a change");
  if (draw && changed != static_cast<int>(state.iterations())) state.SkipWithError(missed);
  Finish(state, server_before, w, h);
}

void BM_X11RoundUnchanged(benchmark::State& state) { TimeRounds(state, true, false, nullptr, nullptr); }
BENCHMARK(BM_X11RoundUnchanged)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

// The round without a compositing manager: the sampled scan (the cursor's
// row, five spread rows and a column, each read from the server) on an
// unchanged screen.
void BM_X11SampledRoundUnchanged(benchmark::State& state) { TimeRounds(state, false, true, nullptr, nullptr); }
BENCHMARK(BM_X11SampledRoundUnchanged)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

// A tenth of the monitor (full-width rows) drawn in another colour before
// each round, outside the timed part.
void BM_X11RoundTenthChanged(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  TimeRounds(
      state, true, false,
      [&](Rig&, uint32_t colour) { vz::FillRootRectangle(g_server->display(), 0, h / 2, w, h / 10, colour); },
      "a drawn tenth was not found");
}
BENCHMARK(BM_X11RoundTenthChanged)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

// The sampled round with drawing reported: a window-sized box (400 x 300)
// drawn anew before each round, outside the timed part, and handed to the
// grabber as the display server reports it; the round reads and compares
// the box, grows and copies it.
void BM_X11SampledRoundReported(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const VzRect box{w - 500, h - 400, w - 100, h - 100};
  TimeRounds(
      state, false, false,
      [&](Rig& rig, uint32_t colour) {
        vz::FillRootRectangle(g_server->display(), box.left, box.top, 400, 300, colour);
        rig.grabber.AddDamage({box});
      },
      "a reported box was not found");
}
BENCHMARK(BM_X11SampledRoundReported)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

// The peer: memcmp of two equal frames of the monitor's size.
void BM_MemcmpFrame(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  std::vector<uint32_t> a(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint32_t>(i * 2654435761u);
  const std::vector<uint32_t> b = a;
  for (auto _ : state) benchmark::DoNotOptimize(std::memcmp(a.data(), b.data(), a.size() * 4));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * w * h * 4);
}
BENCHMARK(BM_MemcmpFrame)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  vz::XvfbServer server;
  std::string why;
  if (!server.Start(&why, 3840, 2160)) {
    std::fprintf(stderr, "no X server: %s\n", why.c_str());
    return 1;
  }
  g_server = &server;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
