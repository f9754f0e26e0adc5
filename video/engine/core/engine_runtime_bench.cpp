// The engine runtime's hot paths beside their nearest peers in the same run:
// a sample from the pool against malloc/free of the same size, an event
// posted to a task thread against a task posted to the platform's run loop,
// and how late a 1 ms task-thread timer fires (p50/p99).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/run_loop.h"
#include "video/engine/core/com_task_thread.h"
#include "video/engine/core/vz_video_sample_allocator.h"

namespace {

constexpr int32_t kFrame720p = 1280 * 720 * 3 / 2;

void BM_SampleAllocator_GetRelease(benchmark::State& state) {
  auto* allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  allocator->AddRef();
  for (auto _ : state) {
    IVideoSample* s = nullptr;
    allocator->GetSample(kFrame720p, &s);
    benchmark::DoNotOptimize(s);
    s->Release();
  }
  allocator->Release();
}
BENCHMARK(BM_SampleAllocator_GetRelease);

void BM_Peer_MallocFree(benchmark::State& state) {
  for (auto _ : state) {
    void* p = std::malloc(kFrame720p + 128);
    benchmark::DoNotOptimize(p);
    static_cast<volatile char*>(p)[0] = 1;
    std::free(p);
  }
}
BENCHMARK(BM_Peer_MallocFree);

class CountEvent final : public VZSE_::Event {
 public:
  explicit CountEvent(std::atomic<int>* fired) : fired_(fired) {}
  void OnEventFire() override { fired_->fetch_add(1, std::memory_order_release); }

 private:
  std::atomic<int>* fired_;
};

// 1,000 events posted, then waited for: per-event cost of post and fire.
void BM_ComTaskThread_Post1000(benchmark::State& state) {
  VZSE_::ComTaskThread thread;
  thread.Create(nullptr, 1);
  std::atomic<int> fired{0};
  int expected = 0;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) thread.GetEventQueue()->PostEvent(new CountEvent(&fired));
    expected += 1000;
    while (fired.load(std::memory_order_acquire) < expected) std::this_thread::yield();
  }
  thread.Stop();
  thread.Join();
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ComTaskThread_Post1000)->UseRealTime();

void BM_Peer_RunLoop_Post1000(benchmark::State& state) {
  vz::RunLoop* loop = nullptr;
  std::atomic<bool> ready{false};
  std::thread owner([&] {
    loop = &vz::RunLoop::ForCurrentThread();
    ready = true;
    loop->Run();
  });
  while (!ready) std::this_thread::yield();
  std::atomic<int> ran{0};
  int expected = 0;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) loop->Post([&ran] { ran.fetch_add(1, std::memory_order_release); });
    expected += 1000;
    while (ran.load(std::memory_order_acquire) < expected) std::this_thread::yield();
  }
  loop->Quit();
  owner.join();
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Peer_RunLoop_Post1000)->UseRealTime();

// How late a repeating 1 ms timer fires on a task thread, over 300 fires.
// Its expiries stay on the 1 ms grid from the first one (missed periods are
// skipped, not shifted), so the lateness of a fire is its distance past the
// last grid point.
class LatenessTimer final : public VZSE_::ITimerHandler {
 public:
  void OnTimer(const VZSE_::TimeValue&, void*) override {
    const int64_t t = VZSE_::MonotonicMicroseconds();
    late_us.push_back((t - first_due_us) % 1000);
    if (late_us.size() >= 300) done = true;
  }
  int64_t first_due_us = 0;
  std::vector<int64_t> late_us;
  std::atomic<bool> done{false};
};

class ScheduleEvent final : public VZSE_::Event {
 public:
  ScheduleEvent(VZSE_::ComTaskThread* thread, LatenessTimer* timer) : thread_(thread), timer_(timer) {}
  void OnEventFire() override {
    timer_->first_due_us = VZSE_::MonotonicMicroseconds() + 1000;
    thread_->GetTimerQueue()->Schedule(timer_, nullptr, VZSE_::TimeValue::FromMsForTesting(1), 0);
  }

 private:
  VZSE_::ComTaskThread* thread_;
  LatenessTimer* timer_;
};

void BM_ComTaskThread_TimerLateness(benchmark::State& state) {
  for (auto _ : state) {
    VZSE_::ComTaskThread thread;
    thread.Create(nullptr, 1);
    LatenessTimer timer;
    thread.GetEventQueue()->PostEvent(new ScheduleEvent(&thread, &timer));
    while (!timer.done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    thread.Stop();
    thread.Join();
    std::sort(timer.late_us.begin(), timer.late_us.end());
    state.counters["p50_late_us"] = static_cast<double>(timer.late_us[timer.late_us.size() / 2]);
    state.counters["p99_late_us"] = static_cast<double>(timer.late_us[timer.late_us.size() * 99 / 100]);
  }
}
BENCHMARK(BM_ComTaskThread_TimerLateness)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
