// The hand-over's costs: the row copy of a changed box into the record (with
// the flip of a bottom-up image) beside libyuv's ARGB copy of the same
// bytes, and one blocking hand-over to another thread's loop.
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <atomic>
#include <thread>
#include <vector>

#include "capture/controller/capture_library.h"
#include "capture/controller/capture_testlib.h"
#include "capture/controller/ds_helper_window.h"
#include "capture/controller/sharing_base_controller.h"
#include "platform/clock.h"
#include "platform/run_loop.h"

namespace {

struct NullSink : IVzGrabProviderSink {
  int32_t OnDSKeSharingInfo(SharingInfo*) override { return 1; }
  int32_t OnDSKeMouseInfo(CaptureMouseInfo*) override { return 1; }
  int32_t OnDSKeScreenData(CaptureScreenData*) override { return 1; }
  int32_t OnDSKeSharingStatus(int32_t) override { return 1; }
};

// A box of `side` x `side` (or the whole 1920 x 1080 monitor for 0) copied
// out of a bottom-up monitor image into the record, sink on this thread.
void BM_ScreenDataCopy(benchmark::State& state) {
  vz::RunLoop loop(vz::SystemClock());
  CDsHelperWindow window;
  window.Create([](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 1; });
  NullSink sink;
  CSharingBaseController controller(&sink, &window, CaptureEnvironment{});
  const int width = 1920, height = 1080;
  controller.AllocateSendBuffer(width, height);
  std::vector<uint8_t> image(static_cast<size_t>(width) * height * 4, 0x5A);
  const int side = static_cast<int>(state.range(0));
  const VzRect monitor{0, 0, width, height};
  const VzRect box = side == 0 ? monitor : VzRect{512, 256, 512 + side, 256 + side};
  const CaptureMonitorImage source{image.data(), width, height, width * 4, true};
  for (auto _ : state) benchmark::DoNotOptimize(controller.SendScreenData(1, &monitor, 32, &box, source));
  const int64_t bytes = static_cast<int64_t>(box.right - box.left) * (box.bottom - box.top) * 4;
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ScreenDataCopy)->Arg(0)->Arg(128)->Unit(benchmark::kMicrosecond);

// The peer: libyuv copying the same box with the same flip.
void BM_LibyuvArgbCopyFlip(benchmark::State& state) {
  const int width = 1920, height = 1080;
  std::vector<uint8_t> image(static_cast<size_t>(width) * height * 4, 0x5A);
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4 + 64);
  const int side = static_cast<int>(state.range(0));
  const int w = side == 0 ? width : side, h = side == 0 ? height : side;
  const int left = side == 0 ? 0 : 512, top = side == 0 ? 0 : 256;
  // Box row `top` of a bottom-up image is stored row height - top - 1.
  const uint8_t* first = image.data() + static_cast<size_t>(height - top - 1) * width * 4 + left * 4;
  for (auto _ : state) {
    libyuv::ARGBCopy(first - static_cast<size_t>(h - 1) * width * 4, width * 4, out.data(), w * 4, w, -h);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(w) * h * 4);
}
BENCHMARK(BM_LibyuvArgbCopyFlip)->Arg(0)->Arg(128)->Unit(benchmark::kMicrosecond);

// One blocking hand-over from this thread to a loop running on another.
void BM_HandOverRoundTrip(benchmark::State& state) {
  std::atomic<vz::RunLoop*> owner_loop{nullptr};
  std::thread owner([&] {
    vz::RunLoop loop(vz::SystemClock());
    owner_loop.store(&loop);
    loop.Run();
  });
  while (owner_loop.load() == nullptr) std::this_thread::yield();
  vz::RunLoop* loop = owner_loop.load();
  int value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(loop->SendWithResult([&value] { return ++value; }));
  loop->Quit();
  owner.join();
}
BENCHMARK(BM_HandOverRoundTrip)->Unit(benchmark::kMicrosecond);

// From a change on the screen (a 1920 x 1080 double) to the sink's call with
// its box: one capture-now round, compare, copy and hand-over.
void BM_ChangeToSinkLatency(benchmark::State& state) {
  vz::RunLoop loop(vz::SystemClock());
  auto shared = std::make_shared<capture_test::SharedScreen>(1920, 1080);
  shared->With([](vz::ScreenDouble& s) {
    s.SetMonitors({{{0, 0, 1920, 1080}, "screen", true}});
    return 0;
  });
  capture_test::RecordingSink sink;
  IVzGrabProvider* provider = CaptureLibraryCreate(&sink, capture_test::DoubleEnvironment(shared));
  provider->StartCapture(nullptr, 2);
  provider->ShareMonitor(&provider->GetMonitorList()->Monitors[0], 1);
  capture_test::ServeUntil(loop, [&] {
    provider->CaptureNow();
    return !sink.screens.empty();
  });
  // Steps well past the compare's tolerance of 4 a channel.
  uint32_t colour = 0;
  for (auto _ : state) {
    const size_t before = sink.screens.size();
    shared->With([&](vz::ScreenDouble& s) {
      colour = (colour + 0x405060u) & 0x00FFFFFFu;
      s.Fill({900, 500, 16, 16}, 0xFF000000u | colour);
      return 0;
    });
    provider->CaptureNow();
    capture_test::ServeUntil(loop, [&] { return sink.screens.size() > before; });
  }
  CaptureLibraryRelease(provider);
}
BENCHMARK(BM_ChangeToSinkLatency)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
