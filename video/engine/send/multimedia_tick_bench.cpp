// The shared tick on the real monotonic clock: the spread of its period
// (mean and standard deviation over 200 ticks, in microseconds) and the
// bytes a paced send controller releases per second against its bandwidth
// at 100 kbit/s, 1 Mbit/s and 4 Mbit/s.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "video/engine/send/multimedia_tick.h"
#include "video/engine/send/send_adaptor.h"
#include "video/engine/send/vz_send_controller.h"

namespace {

struct Periods {
  std::mutex lock;
  std::condition_variable done;
  std::vector<std::chrono::steady_clock::time_point> ticks;
  size_t wanted = 0;
};

void OnTick(void* owner) {
  auto* p = static_cast<Periods*>(owner);
  std::lock_guard<std::mutex> hold(p->lock);
  if (p->ticks.size() < p->wanted) p->ticks.push_back(std::chrono::steady_clock::now());
  if (p->ticks.size() >= p->wanted) p->done.notify_all();
}

void BM_TickPeriod(benchmark::State& state) {
  double mean = 0, deviation = 0;
  for (auto _ : state) {
    Periods periods;
    periods.wanted = 201;
    const int32_t id = VZSE_::RegisterMultimediaTick(10, &periods, &OnTick);
    {
      std::unique_lock<std::mutex> hold(periods.lock);
      periods.done.wait(hold, [&] { return periods.ticks.size() >= periods.wanted; });
    }
    VZSE_::UnregisterMultimediaTick(id);
    std::vector<double> gaps;
    for (size_t i = 1; i < periods.ticks.size(); ++i) {
      gaps.push_back(std::chrono::duration<double, std::micro>(periods.ticks[i] - periods.ticks[i - 1]).count());
    }
    mean = 0;
    for (double g : gaps) mean += g;
    mean /= static_cast<double>(gaps.size());
    deviation = 0;
    for (double g : gaps) deviation += (g - mean) * (g - mean);
    deviation = std::sqrt(deviation / static_cast<double>(gaps.size()));
  }
  state.counters["period_us"] = mean;
  state.counters["stddev_us"] = deviation;
}
BENCHMARK(BM_TickPeriod)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

class PassAll final : public ISendAdaptor {
 public:
  int32_t AdaptFrame(const uint8_t*, int32_t, int32_t, uint32_t, int32_t* priority) override {
    *priority = 3;
    return kAdaptSend;
  }
  int32_t AdaptPacket(uint32_t, const uint8_t*, int32_t, int32_t*) override { return kAdaptSend; }
  void SetBandwidth(uint32_t) override {}
  bool SetMaxMode(int32_t) override { return true; }
  int32_t GetMaxMode() const override { return 0; }
  void EnableDropP0(bool) override {}
  void ResetLevelThreshold(int32_t) override {}
  void SetCongestionSwitch(int32_t) override {}
  void SetCongestStatus(int32_t) override {}
  void SetEncoderParam(const vzh264::EncoderParam&) override {}
};

struct Counter final : IVzSendControllerSink {
  void OnSend(uint32_t, const uint8_t*, int32_t length) override { bytes += length; }
  void OnQueue(uint32_t, int32_t, int32_t, const uint8_t*, int32_t) override {}
  std::atomic<int64_t> bytes{0};
};

// Two seconds of a queue kept full; the second one is counted.
void BM_PacedRate(benchmark::State& state) {
  const uint32_t bandwidth = static_cast<uint32_t>(state.range(0));
  double ratio = 0;
  for (auto _ : state) {
    CVzSendController controller(std::make_unique<PassAll>());
    Counter counter;
    controller.Initalize(bandwidth, 1, true);
    controller.SetSink(&counter);
    std::vector<uint8_t> packet(1000, 1);
    QueuedPacketView view{packet.data(), 1000};
    const auto start = std::chrono::steady_clock::now();
    int64_t at_one_second = -1;
    for (;;) {
      const auto now = std::chrono::steady_clock::now();
      if (at_one_second < 0 && now - start >= std::chrono::seconds(1)) at_one_second = counter.bytes;
      if (now - start >= std::chrono::seconds(2)) break;
      while (controller.queued() < 5) controller.QueueData(1, &view, 1, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const int64_t counted = counter.bytes - at_one_second;
    controller.UnInitalize();
    ratio = static_cast<double>(counted) * 8.0 / bandwidth;
  }
  state.counters["released/bandwidth"] = ratio;
}
BENCHMARK(BM_PacedRate)->Arg(100000)->Arg(1000000)->Arg(4000000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
