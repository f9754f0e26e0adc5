// Run loop hot paths: how long a posted task waits before it runs (one post
// in flight per producer, so the loop sleeps and must be woken), how many
// posts a loop takes under a flood, and blocking sends between two threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/run_loop.h"

namespace {

uint64_t NowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

class LoopThread {
 public:
  LoopThread() {
    vz::Event ready(true, false);
    thread_ = std::thread([this, &ready] {
      loop_ = &vz::RunLoop::ForCurrentThread();
      ready.Set();
      loop_->Run();
    });
    ready.Wait(vz::Event::kInfinite);
  }
  ~LoopThread() {
    loop_->Quit();
    thread_.join();
  }
  vz::RunLoop& loop() { return *loop_; }

 private:
  vz::RunLoop* loop_ = nullptr;
  std::thread thread_;
};

double PercentileUs(std::vector<uint64_t>& ns, double fraction) {
  if (ns.empty()) return 0;
  const size_t index = std::min(ns.size() - 1, static_cast<size_t>(fraction * static_cast<double>(ns.size())));
  std::nth_element(ns.begin(), ns.begin() + static_cast<long>(index), ns.end());
  return static_cast<double>(ns[index]) / 1000.0;
}

// Returns once every task posted to `loop` before the call has run (a send
// would not do: sends run ahead of queued posts).
void Drain(vz::RunLoop& loop) {
  vz::Event drained(true, false);
  loop.Post([&drained] { drained.Set(); });
  drained.Wait(vz::Event::kInfinite);
}

void ReportLatency(benchmark::State& state, std::vector<uint64_t>& latencies) {
  state.counters["p50_us"] = PercentileUs(latencies, 0.50);
  state.counters["p99_us"] = PercentileUs(latencies, 0.99);
  state.SetItemsProcessed(static_cast<int64_t>(latencies.size()));
}

// Post-to-dispatch latency with range(0) producers, each waiting for its post
// to run before posting the next.
void BM_PostToDispatchLatency(benchmark::State& state) {
  const int producers = static_cast<int>(state.range(0));
  constexpr int kPostsPerProducer = 20000;
  std::vector<uint64_t> latencies;
  for (auto _ : state) {
    std::vector<uint64_t> measured;  // consumer thread only
    measured.reserve(static_cast<size_t>(producers) * kPostsPerProducer);
    LoopThread consumer;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
      threads.emplace_back([&] {
        std::atomic<bool> dispatched{false};
        for (int i = 0; i < kPostsPerProducer; ++i) {
          dispatched.store(false, std::memory_order_relaxed);
          const uint64_t posted_at = NowNs();
          consumer.loop().Post([&measured, &dispatched, posted_at] {
            measured.push_back(NowNs() - posted_at);
            dispatched.store(true, std::memory_order_release);
          });
          while (!dispatched.load(std::memory_order_acquire)) std::this_thread::yield();
        }
      });
    }
    for (auto& t : threads) t.join();
    Drain(consumer.loop());
    latencies.insert(latencies.end(), measured.begin(), measured.end());
  }
  ReportLatency(state, latencies);
}
BENCHMARK(BM_PostToDispatchLatency)->Arg(1)->Arg(4)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// range(0) producers post as fast as they can; items/s is the loop's intake,
// the percentiles include the time spent queued behind earlier posts.
void BM_PostFlood(benchmark::State& state) {
  const int producers = static_cast<int>(state.range(0));
  const int per_producer = 1000000 / producers;
  std::vector<uint64_t> latencies;
  for (auto _ : state) {
    std::vector<uint64_t> measured;
    measured.reserve(1000000);
    LoopThread consumer;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
      threads.emplace_back([&] {
        for (int i = 0; i < per_producer; ++i) {
          const uint64_t posted_at = NowNs();
          consumer.loop().Post([&measured, posted_at] { measured.push_back(NowNs() - posted_at); });
        }
      });
    }
    for (auto& t : threads) t.join();
    Drain(consumer.loop());
    latencies.insert(latencies.end(), measured.begin(), measured.end());
  }
  ReportLatency(state, latencies);
}
BENCHMARK(BM_PostFlood)->Arg(1)->Arg(4)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// Blocking sends from this thread to a loop on another; range(0) is 1 when
// the sending thread has a loop of its own (the loop-to-loop case).
void BM_SendBetweenTwoThreads(benchmark::State& state) {
  LoopThread target;
  std::unique_ptr<vz::RunLoop> own;
  if (state.range(0)) own = std::make_unique<vz::RunLoop>(vz::SystemClock());
  int64_t sends = 0;
  for (auto _ : state) {
    target.loop().Send([] {});
    ++sends;
  }
  state.SetItemsProcessed(sends);
  state.counters["sends_per_s"] = benchmark::Counter(static_cast<double>(sends), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SendBetweenTwoThreads)->Arg(0)->Arg(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
