// The hop of a received message from the transport's thread to the engine's:
// parse, post to the helper window, the engine thread's run loop wakes and
// the sink is called. One message in flight at a time, so each sample is one
// hop's latency (p50, p99). The peer is the bare hop: a task posted to the
// same kind of run loop from another thread, with nothing parsed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/run_loop.h"
#include "sharing/protocol/ds_bytes_testlib.h"
#include "sharing/transport/ds_tp_controller.h"
#include "sharing/transport/fake_media_transport_testlib.h"

namespace {

constexpr int kSamples = 2000;

class TimingSink : public IDSTpSink {
 public:
  int32_t OnTPStatusNotification(int32_t) override { return 1; }
  int32_t OnTPErrorNotification(int32_t, int32_t) override { return 1; }
  int32_t OnDSTpSharingInfo(SharingInfo*) override { return 1; }
  int32_t OnDSTpMouseInfo(CMouseEntry*) override {
    arrived();
    return 1;
  }
  int32_t OnDSTpCaches(CCacheEntry**, int32_t) override { return 1; }
  int32_t OnDSTpBlocks(CKeyframeEntry**, int32_t) override { return 1; }
  int32_t OnDSTpRequestCaches(CKeyframeEntry**, int32_t) override { return 1; }
  int32_t OnDSTpSendBacklog(int32_t) override { return 1; }
  int32_t OnDSTpCommand(DSCommandRecord*) override { return 1; }
  int32_t OnDSTpWebBinary(CVZBinaryData*) override { return 1; }
  std::function<void()> arrived;
};

// Runs `hop` from a second thread kSamples times, each after the previous
// one arrived; `arrive` is what the engine thread calls on arrival.
std::vector<double> Measure(vz::RunLoop& loop, const std::function<void()>& hop, std::function<void()>* arrive) {
  std::vector<double> samples(kSamples);
  std::atomic<int> done{0};
  std::atomic<uint64_t> sent_us{0};
  *arrive = [&] {
    samples[done.load()] = static_cast<double>(vz::MonotonicUs() - sent_us.load());
    if (done.fetch_add(1) + 1 == kSamples) loop.Quit();
  };
  std::thread sender([&] {
    for (int i = 0; i < kSamples; ++i) {
      while (done.load(std::memory_order_acquire) < i) std::this_thread::yield();
      sent_us.store(vz::MonotonicUs());
      hop();
    }
  });
  loop.Run();
  sender.join();
  std::sort(samples.begin(), samples.end());
  return samples;
}

void Report(benchmark::State& state, const std::vector<double>& samples) {
  state.counters["p50_us"] = samples[samples.size() / 2];
  state.counters["p99_us"] = samples[samples.size() * 99 / 100];
}

void BM_ReceivedMouseInfoToEngineThread(benchmark::State& state) {
  vz::RunLoop loop(vz::SystemClock());
  ds_test::FakeMediaTransport fake;
  ds_test::FakeMediaTransport::Next() = &fake;
  const TransportLibraryLoader loader = ds_test::FakeMediaTransport::Loader();
  TimingSink sink;
  DsTpOptions options;
  options.loader = &loader;
  IDSTp* tp = DSCreateTpInstance(&sink, options);
  const std::string message = ds_test::Header(80) + ds_test::kMouseInfoField;
  std::vector<double> samples;
  for (auto _ : state) {
    samples = Measure(
        loop,
        [&] {
          fake.sink->OnReceiveDataBinary(reinterpret_cast<const uint8_t*>(message.data()),
                                         static_cast<uint32_t>(message.size()));
        },
        &sink.arrived);
  }
  Report(state, samples);
  DSReleaseTpInstance(tp);
  ds_test::FakeMediaTransport::Next() = nullptr;
}
BENCHMARK(BM_ReceivedMouseInfoToEngineThread)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PeerBarePostToRunLoop(benchmark::State& state) {
  vz::RunLoop loop(vz::SystemClock());
  std::function<void()> arrive;
  std::vector<double> samples;
  for (auto _ : state) {
    samples = Measure(loop, [&] { loop.Post([&] { arrive(); }); }, &arrive);
  }
  Report(state, samples);
}
BENCHMARK(BM_PeerBarePostToRunLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
